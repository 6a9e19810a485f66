// The effect engine: the dispatch of a kind to its family.

#include "dsp/EffectEngine.h"

#include "dsp/EffectKinds.h"

void EffectEngine::process (juce::AudioBuffer<float>& block, EffectSlot& slot, EffectKind kind,
                            float k1, float k2, float k3, float amount, double sampleRate) noexcept
{
    // The parameters never produce another value; anything else leaves block and slot alone.
    if ((int) kind < 0 || (int) kind >= kNumEffectKinds)
        return;

    if (slot.delay[0].getLength() == 0)
        return;

    if ((int) kind >= kFirstTonalKind)
    {
        effectkinds::processTonalKind (block, slot, kind, k1, k2, k3, amount);
        return;
    }

    // The next tonal call must start from a reset tonal state.
    slot.lastTonalKind = -1;

    if (kind == EffectKind::reverb)
        effectkinds::processReverb (block, slot, k1, k2, k3, amount);
    else
        effectkinds::processDelayLineKind (block, slot, kind, k1, k2, k3, amount, sampleRate);
}
