// The effect engine: the dispatch of a kind to its function.

#include "dsp/EffectEngine.h"

#include "dsp/EffectKinds.h"

namespace morsello
{
void EffectEngine::process (juce::AudioBuffer<float>& block, EffectSlot& slot, EffectKind kind, const EffectKnobs& knobs) noexcept
{
    if (! slot.isPrepared())
        return;

    using namespace effectkinds;

    switch (kind)
    {
        // The tonal kinds keep their state only from one call of the same kind to the next.
        case EffectKind::ringMod:
            runRingMod (block, slot, knobs);
            return;
        case EffectKind::wavefold:
            runWavefold (block, slot, knobs);
            return;
        case EffectKind::resonator:
            runResonator (block, slot, knobs);
            return;
        case EffectKind::orbit:
            runOrbit (block, slot, knobs);
            return;

        // Any other kind in between makes the next tonal call start afresh.
        case EffectKind::granular:
            slot.tonal.lastKind.reset();
            runGranular (block, slot, knobs);
            return;
        case EffectKind::reverb:
            slot.tonal.lastKind.reset();
            runReverb (block, slot, knobs);
            return;
        case EffectKind::delay:
            slot.tonal.lastKind.reset();
            runDelay (block, slot, knobs);
            return;
        case EffectKind::loFi:
            slot.tonal.lastKind.reset();
            runLoFi (block, slot, knobs);
            return;
        case EffectKind::smear:
            slot.tonal.lastKind.reset();
            runSmear (block, slot, knobs);
            return;
    }

    // The parameters never produce another value; anything else leaves block and slot alone.
}

int EffectEngine::latencyOf (const EffectSlot& slot, EffectKind kind) noexcept
{
    if (! slot.highQuality)
        return 0;

    if (kind == EffectKind::ringMod)
        return slot.tonal.highRingMod.getLatency();

    if (kind == EffectKind::wavefold)
        return slot.tonal.highWavefold.getLatency();

    return 0;
}
} // namespace morsello
