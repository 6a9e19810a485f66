#pragma once

#include <algorithm>

namespace morsello
{
// What every layer kind shares, whichever processor runs it.

// Every kind but the reverb bounds its output, so no layer hands the next more than +-2.
// A NaN passes (neither comparison holds); the pipeline's output guard deals with it.
inline float clampToTwo (float y) noexcept
{
    return y < -2.0f ? -2.0f : (y > 2.0f ? 2.0f : y);
}

// A layer's output: its input moved towards its wet value by `amount` (0 dry, 1 wet), bounded.
inline float mixLayer (float dry, float wet, float amount) noexcept
{
    return clampToTwo (dry + amount * (wet - dry));
}

// The length of the delay lines of the bread states and effect slots: 4 s of audio, and never
// fewer than 4096 samples.
inline int layerDelayLength (double sampleRate) noexcept
{
    return std::max (4096, (int) (4.0 * sampleRate));
}
} // namespace morsello
