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
