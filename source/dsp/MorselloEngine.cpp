#include "dsp/MorselloEngine.h"

#include "dsp/BreadLayer.h"
#include "dsp/ChunkFrames.h"
#include "dsp/VectorMath.h"

#include <algorithm>
#include <cmath>

namespace morsello
{
namespace
{
// The framework's decibel conversion with its default floor of -100 dB, in single precision.
float outputGainFor (float decibels) noexcept
{
    return juce::Decibels::decibelsToGain (decibels);
}

// Change of a setting beyond which the settings count as a jump (strictly greater).
constexpr float kKindThreshold = 0.1f;
constexpr float kKnobThreshold = 0.12f;

// The dry signal of a channel that has no dry copy, one chunk of the finishing stage long.
constexpr ChunkValues kSilence {};
} // namespace

void MorselloEngine::prepare (double newSampleRate, int maximumBlockSize, int numChannels, const EngineSettings& settings)
{
    sampleRate = newSampleRate;

    layers.bread1.prepare (newSampleRate);
    layers.bread2.prepare (newSampleRate);

    layers.filling.prepare (newSampleRate);
    layers.bread1Slot.prepare (newSampleRate);
    layers.bread2Slot.prepare (newSampleRate);

    outputLimiter.releaseCoefficient = (float) std::exp (-1.0 / (newSampleRate * 0.15));

    toastRamp.setRampLength ((int) std::floor (newSampleRate * 0.06));
    biteRamp.setRampLength ((int) std::floor (newSampleRate * 0.06));
    outputGainRamp.setRampLength ((int) std::floor (newSampleRate * 0.03));

    const auto length = std::max (1, maximumBlockSize);

    if (dryBuffer.getNumSamples() != length || dryBuffer.getNumChannels() != numChannels)
        dryBuffer.setSize (numChannels, length);

    // "high": the toast and the padding for every prepared channel, and the input's past as
    // far back as the longest chain of oversampled stages reaches.
    toastStage.prepare (oversampling::kToastStages, numChannels);
    highLatency = latencyOf (Quality::high);
    padding.prepare (highLatency, numChannels);
    dryHistory.prepare (highLatency, numChannels);
    dryCrossfadeLength = std::max (1, (int) std::floor (newSampleRate * 0.015));

    latestSettings = settings;
    guardFirings = 0;
    reset();
}

int MorselloEngine::latencyOf (Quality quality)
{
    if (quality != Quality::high)
        return 0;

    // The longest chain: a bread kind's, the filling's and the other bread's worst, then the
    // toast. The latencies do not depend on the rate, so any rate finds them.
    static const int longest = []
    {
        auto stageLatency = [] (int stages, int workDelay = 0)
        {
            Oversampler oversampler;
            oversampler.prepare (stages, 0, workDelay);
            return oversampler.getLatency();
        };

        const auto tonal = std::max (stageLatency (oversampling::kRingModStages),
                                     stageLatency (oversampling::kWavefoldStages, oversampling::kWavefoldDelay));
        const auto bread = std::max (tonal, stageLatency (oversampling::kDriveStages));
        return 2 * bread + tonal + stageLatency (oversampling::kToastStages);
    }();

    return longest;
}

std::size_t MorselloEngine::getHighQualityBytes() const noexcept
{
    auto bytes = toastStage.getAllocatedBytes() + padding.getAllocatedBytes()
                 + dryHistory.getAllocatedBytes() + layers.bread1.highDrive.getAllocatedBytes()
                 + layers.bread2.highDrive.getAllocatedBytes();

    for (const auto* slot : { &layers.bread1Slot, &layers.filling, &layers.bread2Slot })
        bytes += slot->tonal.highRingMod.getAllocatedBytes() + slot->tonal.highWavefold.getAllocatedBytes();

    return bytes;
}

// Sets every layer to the quality in use and the dry side's delay to match.
void MorselloEngine::applyQuality() noexcept
{
    const auto high = qualityInUse == Quality::high;
    layers.bread1.highQuality = layers.bread2.highQuality = high;
    layers.bread1Slot.highQuality = layers.filling.highQuality = layers.bread2Slot.highQuality = high;
    dryDelay = high ? highLatency : 0;
}

void MorselloEngine::reset() noexcept
{
    hasSettings = false;
    transition = {};
    outputLimiter.gain = 1.0f;

    // The ramps start at rest on the present values.
    toastRamp.setCurrentAndTargetValue (latestSettings[ParameterIndex::toast]);
    biteRamp.setCurrentAndTargetValue (latestSettings[ParameterIndex::bite]);
    outputGainRamp.setCurrentAndTargetValue (outputGainFor (latestSettings[ParameterIndex::output]));

    layers.bread1.reset();
    layers.bread2.reset();

    layers.filling.restart();
    layers.bread1Slot.restart();
    layers.bread2Slot.restart();

    qualityInUse = requestedQuality;
    applyQuality();
    previousDryDelay = dryDelay;
    dryCrossfadeRemaining = 0;
    toastStage.reset();
    padding.reset();
    dryHistory.reset();

    meters.clear();
}

// The three layers' memories, which a jump in the settings (once the fade has reached 0) and a
// recovery from a non-finite layer clear; the transition, ramps and limiter run on.
void MorselloEngine::clearLayers() noexcept
{
    layers.bread1.reset();
    layers.bread2.reset();

    layers.filling.reset();
    layers.bread1Slot.reset();
    layers.bread2Slot.reset();

    toastStage.reset();
    padding.reset();
}

void MorselloEngine::process (juce::AudioBuffer<float>& buffer, const EngineSettings& settings) noexcept
{
    const juce::ScopedNoDenormals noDenormals;

    const auto numSamples = buffer.getNumSamples();
    const auto pieceLength = dryBuffer.getNumSamples();

    if (numSamples <= 0 || pieceLength == 0)
        return;

    if (numSamples <= pieceLength)
    {
        processPiece (buffer, settings);
        return;
    }

    // A block longer than prepared is processed in consecutive pieces that refer to the
    // caller's memory; each piece is a block of its own (metering, settings, transition, ramps).
    for (int start = 0; start < numSamples; start += pieceLength)
    {
        juce::AudioBuffer<float> piece (buffer.getArrayOfWritePointers(),
                                        buffer.getNumChannels(),
                                        start,
                                        std::min (pieceLength, numSamples - start));
        processPiece (piece, settings);
    }
}

void MorselloEngine::processPiece (juce::AudioBuffer<float>& block, const EngineSettings& settings) noexcept
{
    const auto numChannels = block.getNumChannels();
    const auto numSamples = block.getNumSamples();

    // A non-finite input sample would settle in the layers' memories and delay lines and
    // silence the output until the next reset; it enters as silence instead. A finite one far
    // beyond any signal level (such as a damaged buffer's bits read as floats, up to 3.4e38)
    // could overflow a layer's arithmetic into the same state, so it enters at kInputLimit.
    for (int channel = 0; channel < numChannels; ++channel)
    {
        auto* samples = block.getWritePointer (channel);

        for (int i = 0; i < numSamples; ++i)
            samples[i] = std::isfinite (samples[i]) ? std::clamp (samples[i], -kInputLimit, kInputLimit) : 0.0f;
    }

    for (int channel = 0; channel < std::min (numChannels, 2); ++channel)
        meters.raise (channel, block.getMagnitude (channel, 0, numSamples));

    for (int channel = 0; channel < std::min (numChannels, dryBuffer.getNumChannels()); ++channel)
        dryBuffer.copyFrom (channel, 0, block, channel, 0, numSamples);

    delayDry (block);
    latestSettings = settings;
    adopt (settings);
    runLayers (block);

    if (qualityInUse == Quality::high)
        alignLayers (block);

    toastRamp.setTargetValue (settingsInUse[ParameterIndex::toast]);
    biteRamp.setTargetValue (settingsInUse[ParameterIndex::bite]);
    outputGainRamp.setTargetValue (outputGainFor (settingsInUse[ParameterIndex::output]));

    const auto guardFired = finish (block);

    for (int channel = 0; channel < std::min (numChannels, 2); ++channel)
        meters.raise (2 + channel, block.getMagnitude (channel, 0, numSamples));

    if (guardFired)
        recoverLayers();
}

// A layer whose memory has turned non-finite would feed the guard non-finite samples in every
// later block, and the channel would stay silent until the next jump in the settings. Whichever
// layer it started in, the same block has carried it through the layers after it, so all three
// start afresh (what a jump clears). The processed signal then fades in as after a jump, while
// the dry part of the bite sounds at once.
void MorselloEngine::recoverLayers() noexcept
{
    clearLayers();
    transition.fade = 0.0f;
    ++guardFirings;
}

// Small moves are taken at once; a jump of a kind or knob holds the old settings while the
// processed signal fades out, then clears the layers and takes the new ones.
void MorselloEngine::adopt (const EngineSettings& fresh) noexcept
{
    if (! hasSettings)
    {
        settingsInUse = fresh;
        hasSettings = true;
    }

    for (int index = 0; index < toIndex (ParameterIndex::output); ++index)
    {
        const auto threshold = index <= toIndex (ParameterIndex::fillingType) ? kKindThreshold : kKnobThreshold;

        if (std::abs (fresh[index] - settingsInUse[index]) > threshold)
            transition.pending = true;
    }

    if (requestedQuality != qualityInUse)
        transition.pending = true;

    if (transition.pending && transition.fade <= 0.0f)
    {
        clearLayers();
        meters.clear();
        transition.pending = false;
        settingsInUse = fresh;

        if (requestedQuality != qualityInUse)
        {
            // The dry side now plays from its other delay; it crossfades there from the old one.
            previousDryDelay = dryDelay;
            qualityInUse = requestedQuality;
            applyQuality();
            dryCrossfadeRemaining = dryCrossfadeLength;
        }
    }
    else if (! transition.pending)
    {
        settingsInUse = fresh;
    }

    // The output gain is never held back by a transition.
    settingsInUse[ParameterIndex::output] = fresh[ParameterIndex::output];
}

// Keeps the input's recent past, and in "high" (or while the dry side crossfades after a change
// of quality) replaces the dry copy with the input as late as the processed signal will arrive.
// In "standard" at rest the dry copy stays the block's input itself.
void MorselloEngine::delayDry (juce::AudioBuffer<float>& block) noexcept
{
    const auto numChannels = std::min (block.getNumChannels(), dryHistory.getNumChannels());
    const auto numSamples = block.getNumSamples();
    ChunkValues earlier {};

    for (int start = 0; start < numSamples; start += kChunkLength)
    {
        const auto n = std::min (kChunkLength, numSamples - start);
        const auto remaining = dryCrossfadeRemaining;
        const auto rewrite = dryDelay != 0 || remaining > 0;

        for (int channel = 0; channel < numChannels; ++channel)
        {
            dryHistory.write (channel, block.getReadPointer (channel, start), n);

            if (! rewrite)
                continue;

            auto* const dry = dryBuffer.getWritePointer (channel, start);
            dryHistory.read (channel, dry, n, dryDelay);

            if (remaining <= 0)
                continue;

            // From the old delay's signal to the new one's, linearly.
            dryHistory.read (channel, earlier.data(), n, previousDryDelay);

            for (int i = 0; i < n; ++i)
            {
                const auto share = (float) std::max (0, remaining - i) / (float) dryCrossfadeLength;
                dry[i] = dry[i] + share * (earlier[(size_t) i] - dry[i]);
            }
        }

        dryCrossfadeRemaining = std::max (0, remaining - n);
    }
}

// "high": delays each channel's processed signal by what its oversampled layers did not, so
// that it reaches the toast a fixed time after its input whatever the kinds.
void MorselloEngine::alignLayers (juce::AudioBuffer<float>& block) noexcept
{
    const auto& s = settingsInUse;
    const auto breadKind = juce::roundToInt (s[ParameterIndex::breadType]);
    const auto fillingKind = (EffectKind) juce::roundToInt (s[ParameterIndex::fillingType]);
    const auto layerLatency = breadLayerLatency (layers.bread1, layers.bread1Slot, breadKind)
                              + EffectEngine::latencyOf (layers.filling, fillingKind)
                              + breadLayerLatency (layers.bread2, layers.bread2Slot, breadKind);
    const auto numChannels = std::min (block.getNumChannels(), padding.getNumChannels());
    const auto numSamples = block.getNumSamples();

    for (int channel = 0; channel < numChannels; ++channel)
    {
        // The layers run channels 0 and 1 only; the others pass them undelayed.
        const auto delay = highLatency - toastStage.getLatency() - (channel < 2 ? layerLatency : 0);

        for (int start = 0; start < numSamples; start += kChunkLength)
            padding.process (channel, block.getWritePointer (channel, start), std::min (kChunkLength, numSamples - start), delay);
    }
}

// "high": tanh (D s) / D at the toast's top rate, in place of the standard toast's samples; each
// top-rate sample takes D of the base sample it is made in, both to multiply and to divide, so
// the curve stays the standard one while the drive ramps.
void MorselloEngine::toastHighQuality (int channel, float* samples, const float* drive, int n) noexcept
{
    std::array<float, kChunkLength * Oversampler::kMaxFactor> fast, gains;
    auto& oversampler = toastStage.oversampler;

    oversampler.up (channel, samples, n, fast.data());
    VectorMath::toastCurve (drive, n, oversampler.getFactor(), gains.data(), fast.data());
    oversampler.down (channel, fast.data(), n, samples);
}

void MorselloEngine::runLayers (juce::AudioBuffer<float>& block) noexcept
{
    const auto& s = settingsInUse;
    const auto breadKind = juce::roundToInt (s[ParameterIndex::breadType]);
    const auto breadMode = static_cast<BreadMode> (juce::roundToInt (s[ParameterIndex::breadMode]));
    const auto fillingKind = juce::roundToInt (s[ParameterIndex::fillingType]);

    const BreadKnobs left { s[ParameterIndex::left1], s[ParameterIndex::left2], s[ParameterIndex::left3] };
    const BreadKnobs right = breadTwoKnobs (breadMode, left, { s[ParameterIndex::right1], s[ParameterIndex::right2], s[ParameterIndex::right3] });

    runBreadLayer (block, layers.bread1, layers.bread1Slot, breadKind, left);
    EffectEngine::process (block, layers.filling, (EffectKind) fillingKind,
                           { s[ParameterIndex::fill1], s[ParameterIndex::fill2], s[ParameterIndex::fill3], s[ParameterIndex::fill4] });
    runBreadLayer (block, layers.bread2, layers.bread2Slot, breadKind, right);
}

// Returns whether the output guard replaced any sample with silence.
bool MorselloEngine::finish (juce::AudioBuffer<float>& block) noexcept
{
    const auto numChannels = block.getNumChannels();
    const auto numSamples = block.getNumSamples();
    const auto dryChannels = dryBuffer.getNumChannels();

    auto* const* channels = block.getArrayOfWritePointers();
    const auto* const* dry = dryBuffer.getArrayOfReadPointers();

    const auto fadeOutStep = (float) (1.0 / (sampleRate * 0.015));
    const auto fadeInStep = (float) (1.0 / (sampleRate * 0.12));
    const auto fadingOut = transition.pending;
    const auto release = outputLimiter.releaseCoefficient;

    auto fade = transition.fade;
    auto limiterGain = outputLimiter.gain;
    bool guardFired = false;

    // The block is finished in chunks, in passes that each do one kind of work: the ramps (no
    // audio involved), then per channel the toast's tanh calls alone and the vectorisable mix,
    // then the limiter's recursion over the channels' peaks. Every sample still sees the same
    // operations in the same order as one sample-by-sample loop would give it.
    // The block is taken in chunks of the layers' length, whose per-sample values live on the stack.
    ChunkValues bite, drive, gain, peak, limiter, gains;
    const auto high = qualityInUse == Quality::high;
    const auto toastChannels = high ? std::min (numChannels, toastStage.oversampler.getNumChannels()) : 0;

    for (int start = 0; start < numSamples; start += kChunkLength)
    {
        const auto n = std::min (kChunkLength, numSamples - start);

        biteRamp.fill (bite.data(), n);
        toastRamp.fill (drive.data(), n);
        outputGainRamp.fill (gain.data(), n);

        // A fade at rest (fully in, nothing pending) stays at 1, and multiplying by 1 changes
        // no value, so that case skips the fade's serial steps and the loop vectorises.
        if (! fadingOut && fade == 1.0f)
        {
            for (size_t i = 0; i < (size_t) n; ++i)
            {
                drive[i] = drive[i] * 4.5f + 1.0f;
                peak[i] = 0.0f;
            }
        }
        else
        {
            for (int i = 0; i < n; ++i)
            {
                fade = fadingOut ? std::max (fade - fadeOutStep, 0.0f)
                                 : std::min (fade + fadeInStep, 1.0f);

                bite[(size_t) i] *= fade;
                drive[(size_t) i] = drive[(size_t) i] * 4.5f + 1.0f;
                peak[(size_t) i] = 0.0f;
            }
        }

        for (int channel = 0; channel < numChannels; ++channel)
        {
            auto* const samples = channels[channel] + start;
            // A channel without a dry copy (more channels than prepared) mixes against silence.
            const auto* const drySamples = channel < dryChannels ? dry[channel] + start : kSilence.data();
            // The toast, tanh (D s) / D, at the base rate or (in "high") oversampled.
            if (channel < toastChannels)
                toastHighQuality (channel, samples, drive.data(), n);
            else
                VectorMath::toastCurve (drive.data(), n, 1, gains.data(), samples);

            for (int i = 0; i < n; ++i)
            {
                const auto s = (size_t) i;
                const auto mixed = (1.0f - bite[s]) * drySamples[i] + samples[i] * bite[s];
                // |mixed| <= the largest float is false for infinities and NaN alike.
                const auto finite = std::abs (mixed) <= std::numeric_limits<float>::max();
                const auto result = finite ? mixed * gain[s] : 0.0f;

                guardFired |= ! finite;
                samples[i] = result;
                peak[s] = std::max (peak[s], std::abs (result));
            }
        }

        // Only the limiter's gain runs from sample to sample. When it already equals the
        // target, (gain - target) * release + target is the target itself, so that case skips
        // the arithmetic (and the recursion's latency). A chunk whose gains all stay at 1 has
        // every sample within the ceiling already: multiplying by 1 and clamping change nothing.
        bool limiting = false;

        for (int i = 0; i < n; ++i)
        {
            const auto p = peak[(size_t) i];
            const auto target = p > kLimiterCeiling ? kLimiterCeiling / p : 1.0f;

            if (limiterGain > target)
                limiterGain = target;
            else if (limiterGain != target)
                limiterGain = (limiterGain - target) * release + target;

            limiter[(size_t) i] = limiterGain;
            limiting = limiting || limiterGain != 1.0f;
        }

        if (! limiting)
            continue;

        // ceiling / peak * peak can land one rounding step above the ceiling; the clamp keeps
        // the promise that nothing leaves above -1 dBFS.
        for (int channel = 0; channel < numChannels; ++channel)
        {
            auto* const samples = channels[channel] + start;

            for (int i = 0; i < n; ++i)
                samples[i] = juce::jlimit (-kLimiterCeiling, kLimiterCeiling, samples[i] * limiter[(size_t) i]);
        }
    }

    transition.fade = fade;
    outputLimiter.gain = limiterGain;
    return guardFired;
}
} // namespace morsello
