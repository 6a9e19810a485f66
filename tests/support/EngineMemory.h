#pragma once

// What one engine needs on the heap at a rate, worked out from the sizes its parts give their
// buffers, and what the C library reports as in use, for tests that measure the difference.

#include <malloc.h>

#include <algorithm>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer the allocations are the sanitizer's, which the C library does not see.
// Its header is not installed with gcc's runtime.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace morsello::engine_memory
{
// Bytes the C library hands out at the moment: small blocks from its arenas plus the large
// blocks it maps on their own (the delay lines are all large enough to be mapped). Under
// AddressSanitizer, the bytes its allocator holds for the program.
inline std::size_t heapInUse() noexcept
{
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const auto info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

// The framework's reverb sizes eight combs and four all-passes per channel from tunings given
// at 44.1 kHz, the second channel's 23 samples longer, in integer arithmetic on the whole rate.
inline std::size_t reverbFloats (double sampleRate) noexcept
{
    constexpr int combTunings[] { 1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617 };
    constexpr int allPassTunings[] { 556, 441, 341, 225 };
    constexpr int stereoSpread = 23;
    const auto rate = (int) sampleRate;
    std::size_t floats = 0;

    for (const auto tuning : combTunings)
        floats += (std::size_t) ((rate * tuning) / 44100 + (rate * (tuning + stereoSpread)) / 44100);

    for (const auto tuning : allPassTunings)
        floats += (std::size_t) ((rate * tuning) / 44100 + (rate * (tuning + stereoSpread)) / 44100);

    return floats;
}

struct Needed
{
    std::size_t delayLines; // the breads' lines and the three slots' delay lines
    std::size_t combLines;  // the three slots' resonator lines
    std::size_t reverbs;    // the three slots' reverbs
    std::size_t dryCopy;    // the engine's copy of the dry block

    std::size_t total() const noexcept { return delayLines + combLines + reverbs + dryCopy; }
};

// Two bread states and three effect slots, each with two channels' lines of max (4096, 4 s)
// samples; each slot also holds two comb lines of 0.1 s + 8 samples and a reverb. All of
// them are sized whichever kinds are chosen, so that a change of kind never allocates.
inline Needed neededBytes (double sampleRate, int maximumBlockSize, int numChannels) noexcept
{
    const auto delayLength = (std::size_t) std::max (4096, (int) (4.0 * sampleRate));
    const auto combLength = (std::size_t) ((int) (0.1 * sampleRate) + 8);

    return { (2 + 3) * 2 * delayLength * sizeof (float),
             3 * 2 * combLength * sizeof (float),
             3 * reverbFloats (sampleRate) * sizeof (float),
             (std::size_t) numChannels * (std::size_t) std::max (1, maximumBlockSize) * sizeof (float) };
}
} // namespace morsello::engine_memory
