#pragma once

// The wavefold's triangle in closed form, for the high quality mode (and its vector kernel).

#include <algorithm>
#include <cmath>

namespace morsello
{
// The wavefold's fold asin (sin (u)) in closed form: a triangle wave of period 2 pi between
// -pi/2 and pi/2, rising through 0 at u = 0.
namespace trianglefold
{
    inline constexpr double kPi = 3.14159265358979323846;

    // floor (x) for |x| below 2^31, by a truncating conversion (one instruction on any x86-64
    // processor, for two values at once, where std::floor is a library call without SSE4.1).
    // The wavefold's arguments stay far within: at most 16 times the input limit of 1e6, over
    // 2 pi.
    inline double floorOf (double x) noexcept
    {
        const auto truncated = (double) (int) x; // |x| < 2^31: the fold's argument periods
        return truncated > x ? truncated - 1.0 : truncated;
    }

    // Where u sits in its period, counted from the trough at u = -pi/2: [0, 2 pi).
    inline double periodPosition (double u) noexcept
    {
        const auto t = u + 0.5 * kPi;
        return t - 2.0 * kPi * floorOf (t * (0.5 / kPi));
    }

    // The triangle is symmetric about r = pi (r from periodPosition), so it is a function of
    // the distance q = min (r, 2 pi - r) alone, and its antiderivative from the trough is
    // antisymmetric about pi. Written with min and copysign, neither has a branch that the
    // folds' many corners would make the processor mispredict.
    inline double fold (double u) noexcept
    {
        const auto r = periodPosition (u);
        return std::min (r, 2.0 * kPi - r) - 0.5 * kPi;
    }

    // An antiderivative of fold(), periodic (a period's integral is 0) and so bounded by
    // pi^2 / 8 whatever u is, which keeps the differences below accurate far from 0.
    inline double antiderivative (double u) noexcept
    {
        const auto r = periodPosition (u);
        const auto q = std::min (r, 2.0 * kPi - r);
        return std::copysign (0.5 * q * (kPi - q), r - kPi);
    }

    // The fold averaged over the straight line from `previous` to `u` (first-order
    // antiderivative anti-aliasing): the antiderivative's difference quotient, or the fold at
    // the midpoint where the two are too close for the quotient to be accurate. (The wavefold
    // computes the same in two passes over a chunk.)
    inline constexpr double kSmallestStep = 1.0e-6;

    inline double averaged (double previous, double u) noexcept
    {
        const auto step = u - previous;

        if (std::abs (step) < kSmallestStep)
            return fold (0.5 * (previous + u));

        return (antiderivative (u) - antiderivative (previous)) / step;
    }
} // namespace trianglefold
} // namespace morsello
