#pragma once

#include "support/EngineLayers.h"

#include <limits>

namespace morsello
{
// Turns a layer's audio memory non-finite, as a fault in its arithmetic would: every sample of
// its lines, every one-pole memory and held sample, and the framework reverb's own buffers
// (reached by feeding it NaN, as they are private), and the tonal oscillator's phase, the only
// memory the ring modulator and the orbit have. The delay-line kinds' phase is left alone: it
// sets read positions, and advances by increments worked out from the settings, never from the
// audio. Between blocks only.
namespace poisoned
{
inline constexpr auto kNaN = std::numeric_limits<float>::quiet_NaN();

inline void fill (DelayLine& line) noexcept
{
    for (int i = 0; i < line.getLength(); ++i)
        line[i] = kNaN;
}

inline void poison (BreadState& state) noexcept
{
    for (auto& line : state.buffers)
        fill (line);

    state.filterMemory = { kNaN, kNaN };
    state.driveMemory = { kNaN, kNaN };
}

inline void poison (EffectSlot& slot) noexcept
{
    for (auto& line : slot.delayLines.lines)
        fill (line);

    for (auto& line : slot.tonal.resonatorLines)
        fill (line);

    slot.loFi.heldSample = { kNaN, kNaN };
    slot.smear.memory = { kNaN, kNaN };
    slot.tonal.toneState = { kNaN, kNaN };

    slot.tonal.phase = (double) kNaN;

    // Longer than the reverb's longest line at any rate the tests use, so that every sample
    // of it is NaN.
    for (int pass = 0; pass < 64; ++pass)
    {
        float left[256], right[256];

        for (int i = 0; i < 256; ++i)
            left[i] = right[i] = kNaN;

        slot.reverb.processStereo (left, right, 256);
    }
}

// The memory a kind runs on: a bread kind's in both bread layers, a filling kind's in the filling.
inline void poisonKind (MorselloEngine& engine, bool isBread) noexcept
{
    auto& layers = EngineLayerAccess::layersOf (engine);

    if (! isBread)
    {
        poison (layers.filling);
        return;
    }

    poison (layers.bread1);
    poison (layers.bread2);
    poison (layers.bread1Slot);
    poison (layers.bread2Slot);
}
} // namespace poisoned
} // namespace morsello
