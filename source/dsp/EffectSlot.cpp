#include "dsp/EffectSlot.h"

#include "dsp/LayerCommon.h"

namespace morsello
{
void DelayLinesState::reset() noexcept
{
    writeIndex = 0;
    lfoPhase = 0.0;

    for (auto& line : lines)
        line.clear();
}

void LoFiState::reset() noexcept
{
    heldSample = {};
    holdCountdown = {};
}

bool TonalState::enter (EffectKind kind) noexcept
{
    // A zero-length block still counts as a call of its kind.
    if (lastKind != kind)
        reset();

    lastKind = kind;
    return resonatorLines[0].getLength() > 0;
}

void TonalState::reset() noexcept
{
    phase = 0.0;
    resonatorIndex = 0;
    toneState = {};

    for (auto& line : resonatorLines)
        line.clear();

    highRingMod.reset();
    highWavefold.reset();
    lastFoldArguments = {};
    foldArgumentKnown = false;
}

void EffectSlot::prepare (double newSampleRate)
{
    const auto delayLength = layerDelayLength (newSampleRate);

    for (auto& line : delayLines.lines)
        line.prepare (delayLength);

    sampleRate = newSampleRate;

    for (auto& line : tonal.resonatorLines)
        line.prepare ((int) (0.1 * newSampleRate) + 8);

    tonal.highRingMod.prepare (oversampling::kRingModStages, 2);
    tonal.highWavefold.prepare (oversampling::kWavefoldStages, 2, oversampling::kWavefoldDelay);

    restart();
}

void EffectSlot::restart() noexcept
{
    reset();
    loFi.noiseState = LoFiState::kInitialNoiseState;

    // A new reverb's parameters, with its smoothing at rest on them. The rate sizes the reverb's
    // buffers; at the rate they already have, nothing is allocated.
    reverb.setParameters ({});
    reverb.setSampleRate (sampleRate);
}

void EffectSlot::reset() noexcept
{
    delayLines.reset();
    loFi.reset();
    smear = {};
    reverb.reset();
    tonal.reset();
    tonal.lastKind.reset();
}
} // namespace morsello
