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

    // Where a read falls: the sample at the integer part of the wrapped position, the one after
    // it (the one after the last is sample 0) and the fraction between them. Lines of the same
    // length share read points, so a position that several lines read is wrapped only once.
    struct ReadPoint
    {
        int index, next;
        float fraction;
    };

    // Position in samples, any finite value, wrapped into [0, length). Requires a length above 0.
    // Inline because every delay-based kind calls it per sample.
    ReadPoint readPointFor (float position) const noexcept
    {
        const auto size = (int) samples.size();
        const auto length = (float) size;

        // Wrapping by repeated addition, in float, is part of the line's defined arithmetic: the
        // rounding of position + length is what every reader of the line agrees on. Every caller
        // reads within one length either way, where one conditional add or subtract does what
        // the repeated ones would (a tiny negative position can round up to the length itself,
        // which the subtraction then takes to 0); anything else takes the general path.
        auto wrapped = position;

        if (wrapped < 0.0f)
            wrapped += length;

        if (wrapped >= length)
            wrapped -= length;

        if (! (wrapped >= 0.0f && wrapped < length))
            wrapped = wrapFar (position, length);

        const auto i = (int) wrapped;
        return { i, i + 1 == size ? 0 : i + 1, wrapped - (float) i };
    }

    // The linear interpolation at a read point of this line (or of one of the same length).
    float read (ReadPoint point) const noexcept
    {
        const auto a = samples[(std::size_t) point.index];
        const auto b = samples[(std::size_t) point.next];
        return a + (b - a) * point.fraction;
    }

    float readInterpolated (float position) const noexcept { return read (readPointFor (position)); }

private:
    // The repeated wrapping for positions more than a length outside the line.
    static float wrapFar (float position, float length) noexcept
    {
        // A position far beyond the line would make the wrapping loops crawl (or, once a length
        // is below the position's float step, never end), so it is folded first.
        if (std::abs (position) > 16.0f * length)
            position = std::fmod (position, length);

        while (position < 0.0f)
            position += length;

        while (position >= length)
            position -= length;

        return position;
    }

    std::vector<float> samples;
};
