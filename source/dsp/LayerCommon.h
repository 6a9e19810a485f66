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

// An oversampled layer's last steps on a chunk back at its rate: the one-pole low-pass
// memory += coefficient * (wet - memory) over wet[0..n) in place, its recursion alone so that the
// memory stays in a register, then output[i] = mixLayer (dry[i], wet[i], amount).
inline void smoothThenMix (float* wet, int n, float coefficient, float& memory, const float* dry, float amount, float* output) noexcept
{
    auto state = memory;

    for (int i = 0; i < n; ++i)
    {
        state += coefficient * (wet[i] - state);
        wet[i] = state;
    }

    memory = state;

    for (int i = 0; i < n; ++i)
        output[i] = mixLayer (dry[i], wet[i], amount);
}

// The length of the delay lines of the bread states and effect slots: 4 s of audio, and never
// fewer than 4096 samples.
inline int layerDelayLength (double sampleRate) noexcept
{
    return std::max (4096, (int) (4.0 * sampleRate));
}
} // namespace morsello
