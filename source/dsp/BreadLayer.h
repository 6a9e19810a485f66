#pragma once

#include "dsp/BreadProcessor.h"
#include "dsp/EffectEngine.h"
#include "dsp/EngineSettings.h"

#include <array>

// Where a bread layer runs. The first four bread kinds (filter, drive, chorus, echo) have a
// processor of their own; every later kind is one of the effect engine's kinds, which a bread
// runs with its first two knobs as k1 and k2, 0.5 as k3 and its third knob as the wet amount.

using BreadKnobs = std::array<float, 3>;

// The knobs bread 2 is given: its own only in "free" (and for any unknown mode); "link" copies
// bread 1's, "mirror" turns bread 1's first two knobs around and keeps the third.
inline BreadKnobs breadTwoKnobs (int breadMode, const BreadKnobs& left, const BreadKnobs& right) noexcept
{
    if (breadMode == linkMode)
        return left;

    if (breadMode == mirrorMode)
        return { 1.0f - left[0], 1.0f - left[1], left[2] };

    return right;
}

inline bool runsInEffectEngine (int breadKind) noexcept { return breadKind >= firstEngineBread; }

// The effect engine's kind and third value for a bread kind that runs there.
struct EffectEngineRoute
{
    EffectKind kind;
    float k3;
};

inline EffectEngineRoute effectEngineRouteFor (int breadKind) noexcept
{
    return { (EffectKind) (breadKind - firstEngineBread), 0.5f };
}

// Runs one bread layer in place on the block, in whichever processor its kind belongs to. The
// layer keeps a state for each: only the one its kind uses is touched.
inline void runBreadLayer (juce::AudioBuffer<float>& block, BreadState& state, EffectSlot& slot, int breadKind,
                           const BreadKnobs& knobs, double sampleRate) noexcept
{
    if (! runsInEffectEngine (breadKind))
    {
        BreadProcessor::process (block, state, breadKind, knobs[0], knobs[1], knobs[2], sampleRate);
        return;
    }

    const auto route = effectEngineRouteFor (breadKind);
    EffectEngine::process (block, slot, route.kind, knobs[0], knobs[1], route.k3, knobs[2], sampleRate);
}
