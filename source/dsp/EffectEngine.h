#pragma once

#include "dsp/EffectSlot.h"

#include <juce_audio_basics/juce_audio_basics.h>

namespace morsello
{
// The nine kinds of the effect engine, run on a slot.
struct EffectEngine
{
    // Runs one kind in place on channels 0 and 1 of the block at the slot's rate. An
    // unprepared slot, or a kind outside the nine, leaves block and slot alone. Allocates
    // nothing, locks nothing.
    static void process (juce::AudioBuffer<float>& block, EffectSlot& slot, EffectKind kind, const EffectKnobs& knobs) noexcept;

    // The delay that running `kind` adds in the slot's quality, in samples: the oversampled
    // ring mod's or wavefold's in "high", else 0.
    static int latencyOf (const EffectSlot& slot, EffectKind kind) noexcept;
};
} // namespace morsello
