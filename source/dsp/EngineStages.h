#pragma once

// The engine's own stages around the layers: meters, transition, ramps and limiter.

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>

namespace morsello
{
// Peak levels shared with the editor: 0/1 input of channels 0/1, 2/3 output of channels 0/1.
// The audio thread only raises them; the editor takes them by exchange with 0.
struct LevelMeters
{
    std::array<std::atomic<float>, 4> peaks {};

    // Lock-free raise: keeps the larger of the stored value and `peak`.
    void raise (int index, float peak) noexcept
    {
        auto& meter = peaks[(size_t) index];
        auto seen = meter.load();

        while (peak > seen && ! meter.compare_exchange_weak (seen, peak))
        {
        }
    }

    float take (int index) noexcept { return peaks[(size_t) index].exchange (0.0f); }

    void clear() noexcept
    {
        for (auto& meter : peaks)
            meter.exchange (0.0f);
    }
};

// A jump in the settings fades the processed signal out (15 ms), resets the engine, then fades
// the new settings in (120 ms).
struct TransitionState
{
    bool pending = false; // a jump waits for the fade to reach 0
    float fade = 1.0f;    // share of the processed signal that the bite stage lets through
};

// Peak limiter with instant attack and a one-pole release towards unity.
struct OutputLimiter
{
    float releaseCoefficient = 0.999f;
    float gain = 1.0f;
};

// A linear ramp with the framework's SmoothedValue behaviour, whose "same target" test is
// tolerant: a target within the smallest normal float, or within 2^-23 of the larger magnitude,
// of the present one leaves a running ramp alone.
class LinearRamp
{
public:
    // Ramp length in samples; like SmoothedValue::reset it also ends any running ramp.
    void setRampLength (int numSamples) noexcept
    {
        rampLength = numSamples;
        setCurrentAndTargetValue (target);
    }

    void setCurrentAndTargetValue (float newValue) noexcept
    {
        current = target = newValue;
        countdown = 0;
    }

    void setTargetValue (float newValue) noexcept
    {
        if (isSameTarget (newValue))
            return;

        if (rampLength <= 0)
        {
            setCurrentAndTargetValue (newValue);
            return;
        }

        target = newValue;
        countdown = rampLength;
        step = (target - current) / (float) countdown;
    }

    float getNextValue() noexcept
    {
        if (countdown <= 0)
            return target;

        --countdown;

        if (countdown > 0)
            current += step;
        else
            current = target;

        return current;
    }

    // The next `count` values, as that many getNextValue() calls would give them; a ramp at
    // rest skips the per-sample bookkeeping.
    void fill (float* values, int count) noexcept
    {
        if (countdown <= 0)
        {
            std::fill (values, values + count, target);
            return;
        }

        for (int i = 0; i < count; ++i)
            values[i] = getNextValue();
    }

    bool isSmoothing() const noexcept { return countdown > 0; }

private:
    bool isSameTarget (float newValue) const noexcept
    {
        if (! (std::isfinite (newValue) && std::isfinite (target)))
            return newValue == target;

        const auto difference = std::abs (newValue - target);
        return difference <= std::numeric_limits<float>::min()
               || difference <= std::numeric_limits<float>::epsilon() * std::max (std::abs (newValue), std::abs (target));
    }

    float current = 0.0f, target = 0.0f, step = 0.0f;
    int countdown = 0, rampLength = 0;
};

// -1 dBFS: the single-precision value of 10^(-1/20).
inline constexpr float kLimiterCeiling = 0.89125097f;

// The largest input magnitude the layers are given: 120 dB above full scale, far beyond any
// signal, and far enough below the largest float that no layer's arithmetic can overflow.
inline constexpr float kInputLimit = 1.0e6f;
} // namespace morsello
