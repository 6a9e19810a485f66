#pragma once

#include "dsp/EffectSlot.h"

#include <juce_audio_basics/juce_audio_basics.h>

namespace morsello
{
// The effect engine's kinds, one function each, which EffectEngine::process dispatches to. Each
// runs its kind in place on channels 0 and 1 of the block, on its own part of a prepared slot,
// at the slot's rate.
namespace effectkinds
{
// On the slot's delay lines (DelayLineKinds.cpp).
void runGranular (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept;
void runDelay (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept;
void runLoFi (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept;
void runSmear (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept;

// The framework's reverb, whose own wet and dry levels are the whole mix.
void runReverb (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept;

// On the slot's oscillator and comb lines (TonalKinds.cpp).
void runRingMod (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept;
void runWavefold (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept;
void runResonator (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept;
void runOrbit (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept;
} // namespace effectkinds
} // namespace morsello
