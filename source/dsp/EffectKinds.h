#pragma once

#include "dsp/EffectSlot.h"

#include <juce_audio_basics/juce_audio_basics.h>

// The effect engine's two families, which EffectEngine::process dispatches to. Each runs one
// kind in place on channels 0 and 1 of the block.
namespace effectkinds
{
// Granular, delay, lo-fi and smear, on the slot's delay lines.
void processDelayLineKind (juce::AudioBuffer<float>& block, EffectSlot& slot, EffectKind kind,
                           float k1, float k2, float k3, float amount, double sampleRate) noexcept;

// The framework's reverb, whose own wet and dry levels are the whole mix.
void processReverb (juce::AudioBuffer<float>& block, EffectSlot& slot, float k1, float k2, float k3, float amount) noexcept;

// Ring mod, wavefold, resonator and orbit, on the slot's oscillator and comb lines.
void processTonalKind (juce::AudioBuffer<float>& block, EffectSlot& slot, EffectKind kind,
                       float k1, float k2, float k3, float amount) noexcept;
} // namespace effectkinds
