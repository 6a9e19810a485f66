#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

// A fixed-length circular buffer of float samples. The owner keeps its own write position and
// writes at it directly; reads wrap any finite position and interpolate linearly.
// Storage is sized only by prepare(), never while processing.
class DelayLine
{
public:
    // Gives the line `length` samples, all zero.
    void prepare (int length);

    // Zeroes every sample; the length stays.
    void clear() noexcept;

    int getLength() const noexcept { return (int) samples.size(); }

    float& operator[] (int index) noexcept { return samples[(std::size_t) index]; }
    float operator[] (int index) const noexcept { return samples[(std::size_t) index]; }

    // Position in samples, any finite value: wrapped into [0, length) and interpolated between
    // the sample at its integer part and the next one (the one after the last is sample 0).
    // Requires a length above 0. Inline because every delay-based kind calls it per sample.
    float readInterpolated (float position) const noexcept
    {
        const auto size = (int) samples.size();
        const auto length = (float) size;

        // Callers reach at most one length either way; a position far beyond that would make
        // the wrapping loops below crawl (or, once a length is below the position's float step,
        // never end), so it is folded first.
        if (std::abs (position) > 16.0f * length)
            position = std::fmod (position, length);

        // Wrapping by repeated addition, in float, is part of the line's defined arithmetic:
        // the rounding of position + length is what every reader of the line agrees on.
        while (position < 0.0f)
            position += length;

        while (position >= length)
            position -= length;

        const auto i = (int) position;
        const auto next = i + 1 == size ? 0 : i + 1;
        const auto a = samples[(std::size_t) i];
        const auto b = samples[(std::size_t) next];
        return a + (b - a) * (position - (float) i);
    }

private:
    std::vector<float> samples;
};
