#pragma once

#include "dsp/EffectSlot.h"

#include <juce_audio_basics/juce_audio_basics.h>

// The nine kinds of the effect engine, run on a slot.
struct EffectEngine
{
    // Runs one kind in place on channels 0 and 1 of the block. k1..k3 and amount are 0..1;
    // sampleRate is the processor's current rate. Allocates nothing, locks nothing.
    static void process (juce::AudioBuffer<float>& block, EffectSlot& slot, EffectKind kind,
                         float k1, float k2, float k3, float amount, double sampleRate) noexcept;
};
