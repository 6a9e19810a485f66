#pragma once

#include "dsp/BreadProcessor.h"
#include "dsp/EffectEngine.h"
#include "dsp/EngineSettings.h"
#include "dsp/EngineStages.h"
#include "dsp/HighQuality.h"

#include <juce_audio_basics/juce_audio_basics.h>

namespace morsello
{
// The whole sound of The Morsello: bread 1, the filling and bread 2, then the toast, the dry and
// wet bite, the output gain and the peak limiter, with the meters of what goes in and comes out.
// It owns all of its state and needs nothing of the plug-in around it, so a console program or a
// test can run it as the plug-in does.
//
// prepare() sizes everything and may allocate; reset() and process() run on the audio thread
// (or while no block is processed) and neither allocate nor lock.
class MorselloEngine
{
public:
    // Sizes the delay lines for the rate and the dry copy for blocks of up to maximumBlockSize
    // samples on numChannels channels, then resets. The ramps start at rest on `settings`.
    void prepare (double sampleRate, int maximumBlockSize, int numChannels, const EngineSettings& settings);

    // Returns to the state that prepare() left: layers, meters, transition and limiter cleared,
    // the ramps at rest on the last settings given, and the next block's settings adopted at once.
    void reset() noexcept;

    // Processes the block in place. A block longer than prepared runs in consecutive pieces,
    // each a block of its own. Before the first prepare (and for an empty block) nothing changes.
    void process (juce::AudioBuffer<float>& buffer, const EngineSettings& settings) noexcept;

    // The quality the next blocks are to run in. A change is taken as a jump in the settings
    // is: the processed signal fades out through the dry one, the layers are cleared, the new
    // quality is taken and fades in, while the dry signal crossfades to its new delay. Before
    // the first block after prepare() or reset() it is taken at once. Audio thread (or while no
    // block runs); allocates nothing.
    void setQuality (Quality quality) noexcept { requestedQuality = quality; }
    Quality getQualityInUse() const noexcept { return qualityInUse; }

    // The delay of the output behind the input in the quality in use, in samples: 0 in
    // "standard", latencyOf (Quality::high) in "high".
    int getLatency() const noexcept { return qualityInUse == Quality::high ? highLatency : 0; }

    // The delay a quality gives, whatever the rate (the oversamplers' filters scale with it).
    // The first call designs the filters to find it (it allocates): message thread.
    static int latencyOf (Quality quality);

    // The bytes that prepare() allocated for "high" (oversamplers, their delayed dry sides, the
    // padding and the input's past). They are held in either quality, so that a change of
    // quality allocates nothing.
    std::size_t getHighQualityBytes() const noexcept;

    // The peak meters, which the audio thread raises and a display takes.
    LevelMeters& getMeters() noexcept { return meters; }

    // For inspection between blocks.
    const EngineSettings& getSettingsInUse() const noexcept { return settingsInUse; }
    bool hasSettingsInUse() const noexcept { return hasSettings; }
    const TransitionState& getTransition() const noexcept { return transition; }
    int getMaximumBlockSize() const noexcept { return dryBuffer.getNumSamples(); }

    // How many pieces since prepare() had a sample that the output guard replaced with silence
    // (and so had their layers recovered). Finite input never gets there; tests and the fuzzer
    // read it to prove that.
    int getGuardFirings() const noexcept { return guardFirings; }

    // The three layers' states, to examine between blocks.
    struct Layers
    {
        BreadState bread1, bread2;
        EffectSlot bread1Slot, filling, bread2Slot;
    };

    const Layers& getLayers() const noexcept { return layers; }

private:
    // The tests' one way to disturb a layer between blocks (tests/support/EngineLayers.h), as a
    // fault in the arithmetic would; nothing else changes a layer from outside.
    friend struct EngineLayerAccess;

    void processPiece (juce::AudioBuffer<float>& block, const EngineSettings& settings) noexcept;
    void adopt (const EngineSettings& fresh) noexcept;
    void clearLayers() noexcept;
    void runLayers (juce::AudioBuffer<float>& block) noexcept;
    bool finish (juce::AudioBuffer<float>& block) noexcept;
    void recoverLayers() noexcept;
    void applyQuality() noexcept;
    void delayDry (juce::AudioBuffer<float>& block) noexcept;
    void alignLayers (juce::AudioBuffer<float>& block) noexcept;
    void toastHighQuality (int channel, float* samples, const float* drive, int n) noexcept;

    double sampleRate = 44100.0;
    Layers layers;
    juce::AudioBuffer<float> dryBuffer;
    EngineSettings settingsInUse, latestSettings;
    bool hasSettings = false;
    TransitionState transition;
    LinearRamp biteRamp, outputGainRamp, toastRamp;
    OutputLimiter outputLimiter;
    LevelMeters meters;
    int guardFirings = 0;

    // The quality: asked for, and in use (changed at a jump's clearing point).
    Quality requestedQuality = Quality::standard, qualityInUse = Quality::standard;
    // "high": the toast's oversampler, each channel's padding up to the fixed latency, and the
    // input's recent past, from which the dry side of the bite is read as late as the processed
    // side arrives (kept in both qualities, so that a change can crossfade the dry side from
    // one delay to the other).
    OversampledStage toastStage;
    LatencyDelay padding, dryHistory;
    int highLatency = 0;
    int dryDelay = 0, previousDryDelay = 0;   // samples
    int dryCrossfadeLength = 1, dryCrossfadeRemaining = 0;
};
} // namespace morsello
