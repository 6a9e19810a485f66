#include "dsp/DelayLine.h"

#include <algorithm>

void DelayLine::prepare (int length)
{
    samples.assign ((size_t) std::max (0, length), 0.0f);
}

void DelayLine::clear() noexcept
{
    std::fill (samples.begin(), samples.end(), 0.0f);
}

float DelayLine::readInterpolated (float position) const noexcept
{
    const auto length = (float) samples.size();

    while (position < 0.0f)
        position += length;

    while (position >= length)
        position -= length;

    const auto i = (int) position;
    const auto a = samples[(size_t) i];
    const auto b = samples[(size_t) ((i + 1) % (int) samples.size())];
    return a + (b - a) * (position - (float) i);
}
