#include "dsp/EffectSlot.h"

#include "dsp/LayerCommon.h"

void EffectSlot::prepare (double newSampleRate)
{
    const auto delayLength = layerDelayLength (newSampleRate);

    for (auto& line : delay)
        line.prepare (delayLength);

    sampleRate = newSampleRate;

    for (auto& line : resonatorLine)
        line.prepare ((int) (0.1 * newSampleRate) + 8);

    restart();
}

void EffectSlot::restart() noexcept
{
    reset();
    noiseState = kInitialNoiseState;

    // A new reverb's parameters, with its smoothing at rest on them. The rate sizes the reverb's
    // buffers; at the rate they already have, nothing is allocated.
    reverb.setParameters ({});
    reverb.setSampleRate (sampleRate);
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
