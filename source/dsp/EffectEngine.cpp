#include "dsp/EffectEngine.h"

#include <algorithm>

void EffectSlot::prepare (double newSampleRate)
{
    const auto delayLength = std::max (4096, (int) (4.0 * newSampleRate));

    for (auto& line : delay)
        line.prepare (delayLength);

    reverb.setSampleRate (newSampleRate);
    sampleRate = newSampleRate;

    for (auto& line : resonatorLine)
        line.prepare ((int) (0.1 * newSampleRate) + 8);

    resetTonal();
}

void EffectSlot::reset() noexcept
{
    writeIndex = 0;
    lfoPhase = 0.0;
    heldSample = {};
    holdCountdown = {};
    smearState = {};

    for (auto& line : delay)
        line.clear();

    reverb.reset();
    resetTonal();
    lastTonalKind = -1;
}

void EffectSlot::resetTonal() noexcept
{
    tonalPhase = 0.0;
    tonalIndex = 0;
    toneState = {};

    for (auto& line : resonatorLine)
        line.clear();
}

// The kinds arrive with the audio engine; until then the engine passes its block unchanged.
void EffectEngine::process (juce::AudioBuffer<float>&, EffectSlot&, EffectKind, float, float, float, float, double) noexcept {}
