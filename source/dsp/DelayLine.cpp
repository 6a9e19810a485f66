#include "dsp/DelayLine.h"

#include <algorithm>

namespace morsello
{
void DelayLine::prepare (int length)
{
    const auto size = (std::size_t) std::max (0, length);

    // Refilling keeps whatever capacity the line had, so a line prepared for a lower rate than
    // before would go on holding the longer line's memory; it gets storage of its own length.
    if (samples.capacity() == size)
        samples.assign (size, 0.0f);
    else
        std::vector<float> (size, 0.0f).swap (samples);
}

void DelayLine::clear() noexcept
{
    std::fill (samples.begin(), samples.end(), 0.0f);
}
} // namespace morsello
