#pragma once

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
    // Requires a length above 0.
    float readInterpolated (float position) const noexcept;

private:
    std::vector<float> samples;
};
