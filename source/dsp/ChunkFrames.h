#pragma once

#include "dsp/DelayLine.h"

#include <array>
#include <cstddef>

namespace morsello
{
// What every chunked layer loop shares. The layers take a block in chunks of kChunkLength
// samples: first the values a chunk's samples share across channels (oscillator values, read
// points, write positions), then each channel through the chunk. Per-chunk values live in
// arrays of this length on the stack.

inline constexpr int kChunkLength = 64;

using ChunkValues = std::array<float, kChunkLength>;

// One step of an oscillator phase in cycles, kept in [0, 1) for increments below 1.
inline double advancePhase (double phase, double increment) noexcept
{
    phase += increment;

    if (phase >= 1.0)
        phase -= 1.0;

    return phase;
}

// A chunk's read points, field by field so that loops filling them can be vectorised. (The
// resonator, whose loop is not vectorised, keeps whole DelayLine::ReadPoint values instead.)
struct ChunkReadPoints
{
    std::array<int, kChunkLength> index {}, next {};
    ChunkValues fraction {};

    void set (std::size_t i, DelayLine::ReadPoint point) noexcept
    {
        index[i] = point.index;
        next[i] = point.next;
        fraction[i] = point.fraction;
    }

    DelayLine::ReadPoint operator[] (std::size_t i) const noexcept { return { index[i], next[i], fraction[i] }; }
};

// Whether reads between `nearest` and `farthest` samples behind the write position can reach
// neither a sample written earlier in the same chunk nor, around the line, one the chunk is
// about to write. Such a kind may do all of a chunk's reads before any of its writes. A margin
// of a few samples covers the rounding of float positions.
inline bool chunkReadsOnlyOlderSamples (double nearest, double farthest, int length) noexcept
{
    constexpr double margin = 4.0;
    return nearest >= kChunkLength + margin && farthest <= length - kChunkLength - margin;
}
} // namespace morsello
