#pragma once

#include "dsp/BreadProcessor.h"
#include "dsp/EffectEngine.h"
#include "dsp/EngineSettings.h"

#include <array>

namespace morsello
{
// Where a bread layer runs. The first four bread kinds (filter, drive, chorus, echo) have a
// processor of their own; every later kind is one of the effect engine's kinds, which a bread
// runs with its first two knobs as k1 and k2, 0.5 as k3 and its third knob as the wet amount.

// The knobs bread 2 is given: its own only in "free" (and for any unknown mode); "link" copies
// bread 1's, "mirror" turns bread 1's first two knobs around and keeps the third.
inline BreadKnobs breadTwoKnobs (BreadMode breadMode, const BreadKnobs& left, const BreadKnobs& right) noexcept
{
    if (breadMode == BreadMode::link)
        return left;

    if (breadMode == BreadMode::mirror)
        return { 1.0f - left[0], 1.0f - left[1], left[2] };

    return right;
}

// One bread kind's place: its own processor's kind, or the effect engine's kind and third value.
struct BreadRoute
{
    bool inEffectEngine;
    BreadType processorKind; // BreadProcessor's kind, when not in the effect engine
    EffectKind effectKind; // when in the effect engine
    float k3;
};

// Every bread kind's route, by its breadType index.
inline constexpr std::array<BreadRoute, kNumBreadTypes> kBreadRoutes { {
    { false, BreadType::filter, {}, 0.0f },
    { false, BreadType::drive, {}, 0.0f },
    { false, BreadType::chorus, {}, 0.0f },
    { false, BreadType::echo, {}, 0.0f },
    { true, {}, EffectKind::granular, 0.5f },
    { true, {}, EffectKind::reverb, 0.5f },
    { true, {}, EffectKind::delay, 0.5f },
    { true, {}, EffectKind::loFi, 0.5f },
    { true, {}, EffectKind::smear, 0.5f },
    { true, {}, EffectKind::ringMod, 0.5f },
    { true, {}, EffectKind::wavefold, 0.5f },
    { true, {}, EffectKind::resonator, 0.5f },
    { true, {}, EffectKind::orbit, 0.5f },
} };

// The route of a bread kind, or nothing for a value the parameter never gives.
inline const BreadRoute* breadRouteFor (int breadKind) noexcept
{
    return (unsigned int) breadKind < kBreadRoutes.size() ? &kBreadRoutes[(size_t) breadKind] : nullptr;
}

inline bool runsInEffectEngine (int breadKind) noexcept
{
    const auto* route = breadRouteFor (breadKind);
    return route != nullptr && route->inEffectEngine;
}

// Runs one bread layer in place on the block, in whichever processor its kind belongs to. The
// layer keeps a state for each: only the one its kind uses is touched.
inline void runBreadLayer (juce::AudioBuffer<float>& block, BreadState& state, EffectSlot& slot, int breadKind,
                           const BreadKnobs& knobs) noexcept
{
    const auto* route = breadRouteFor (breadKind);

    if (route == nullptr)
        return;

    if (route->inEffectEngine)
        EffectEngine::process (block, slot, route->effectKind, { knobs[0], knobs[1], route->k3, knobs[2] });
    else
        BreadProcessor::process (block, state, route->processorKind, knobs);
}

// The delay a bread layer of this kind adds in its quality (the oversampled kinds' in "high").
inline int breadLayerLatency (const BreadState& state, const EffectSlot& slot, int breadKind) noexcept
{
    const auto* route = breadRouteFor (breadKind);

    if (route == nullptr)
        return 0;

    return route->inEffectEngine ? EffectEngine::latencyOf (slot, route->effectKind)
                                 : BreadProcessor::latencyOf (state, route->processorKind);
}
} // namespace morsello
