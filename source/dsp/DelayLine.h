#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace morsello
{
// A fixed-length circular buffer of float samples. The owner keeps its own write position and
// writes at it directly; reads wrap any finite position and interpolate linearly.
// Storage is sized only by prepare(), never while processing.
class DelayLine
{
public:
    // A line is moved with the state that holds it, never copied: a copy would allocate and
    // leave two states writing lines they believe to be one.
    DelayLine() = default;
    DelayLine (DelayLine&&) noexcept = default;
    DelayLine& operator= (DelayLine&&) noexcept = default;
    DelayLine (const DelayLine&) = delete;
    DelayLine& operator= (const DelayLine&) = delete;

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
        // Wrapping by repeated addition, in float, is part of the line's defined arithmetic: the
        // rounding of position + length is what every reader of the line agrees on. Every caller
        // reads within one length either way, where one step does what the repeated ones would;
        // anything else takes the general path.
        const auto length = (float) samples.size();
        auto wrapped = position;

        if (wrapped < 0.0f)
            wrapped += length;

        if (wrapped >= length)
            wrapped -= length;

        if (! (wrapped >= 0.0f && wrapped < length))
            wrapped = wrapFar (position, length);

        return readPointAt (wrapped);
    }

    // The same for a position known to lie in [-length, 2 length), with the same wrap written
    // without branches, so that a loop of these can be vectorised.
    ReadPoint readPointWithinOneLength (float position) const noexcept
    {
        return readPointAt (wrapOnce (position, (float) samples.size()));
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
    // For a position in [-length, 2 length): one conditional add or subtract gives what the
    // repeated ones would (a tiny negative position can round up to the length itself, which
    // the subtraction then takes to 0).
    static float wrapOnce (float position, float length) noexcept
    {
        const auto raised = addWhere (position < 0.0f, position, length);
        return addWhere (raised >= length, raised, -length);
    }

    // x + amount where the condition holds, else x itself. Adding -0 leaves every float as it
    // is, so the sum is formed either way and only the addend is chosen; choosing it on the
    // bits keeps the compiler from turning the choice back into a branch around the addition
    // (which it may not then vectorise, the addition being able to raise a float exception).
    static float addWhere (bool condition, float x, float amount) noexcept
    {
        const auto mask = condition ? ~0u : 0u;
        const auto addend = ((bitsOf (amount) & mask) | (bitsOf (-0.0f) & ~mask));
        return x + floatOf (addend);
    }

    static uint32_t bitsOf (float x) noexcept
    {
        uint32_t bits;
        std::memcpy (&bits, &x, sizeof (bits));
        return bits;
    }

    static float floatOf (uint32_t bits) noexcept
    {
        float x;
        std::memcpy (&x, &bits, sizeof (x));
        return x;
    }

    ReadPoint readPointAt (float wrapped) const noexcept
    {
        const auto i = (int) wrapped;
        return { i, i + 1 == (int) samples.size() ? 0 : i + 1, wrapped - (float) i };
    }

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
} // namespace morsello
