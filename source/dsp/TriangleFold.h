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

    // A second antiderivative (of antiderivative()), a function of the distance q alone as that
    // one is antisymmetric about pi; periodic too, as antiderivative() has no mean over a period,
    // so bounded by pi^3 / 12.
    inline double secondAntiderivative (double u) noexcept
    {
        const auto r = periodPosition (u);
        const auto q = std::min (r, 2.0 * kPi - r);
        return q * q * (2.0 * q - 3.0 * kPi) * (1.0 / 12.0);
    }

    // Which straight piece of the triangle u lies on: the corners sit at pi/2 + k pi.
    inline double pieceOf (double u) noexcept
    {
        return floorOf ((u - 0.5 * kPi) * (1.0 / kPi));
    }

    // antiderivative() averaged over [a, b]: secondAntiderivative()'s difference quotient, or,
    // for a step shorter than kShortStep, where that quotient would lose the digits the second
    // average needs, Simpson's rule on each side of the corner between a and b (if any), which
    // is exact there as antiderivative() is a parabola on each piece.
    inline constexpr double kShortStep = 1.0e-3;

    inline double meanOfAntiderivative (double a, double b) noexcept
    {
        const auto step = b - a;

        if (std::abs (step) >= kShortStep)
            return (secondAntiderivative (b) - secondAntiderivative (a)) / step;

        auto simpson = [] (double from, double to)
        { return (antiderivative (from) + 4.0 * antiderivative (0.5 * (from + to)) + antiderivative (to)) * (1.0 / 6.0); };

        const auto pieceA = pieceOf (a), pieceB = pieceOf (b);

        if (pieceA == pieceB)
            return simpson (a, b);

        const auto corner = 0.5 * kPi + kPi * std::max (pieceA, pieceB);
        return ((corner - a) * simpson (a, corner) + (b - corner) * simpson (corner, b)) / step;
    }

    // The fold averaged twice over the last three arguments (second-order antiderivative
    // anti-aliasing): twice the second divided difference of secondAntiderivative(), which lags
    // the arguments by one sample and leaves the corners' harmonics two orders weaker than the
    // fold itself does. Where all three lie on one straight piece that is exactly the fold of
    // their mean. Over a corner, the divided difference as one quotient; where a step is short
    // or the arguments go out and back to nearly where they were, averagedTwiceNearby().
    inline constexpr double kSmallestOuterStep = 1.0e-6;
    inline constexpr double kSmallestReach = 1.0e-5;

    // Over a corner with a short step: the divided difference from meanOfAntiderivative(); for
    // an outer step below kSmallestOuterStep its limit as the outer points meet, and where the
    // middle point is within kSmallestReach of them too, the fold of the mean (in error by at
    // most about kSmallestReach, and only where a corner lies that close).
    inline double averagedTwiceNearby (double x0, double x1, double x2) noexcept
    {
        const auto outer = x2 - x0;

        if (std::abs (outer) >= kSmallestOuterStep)
            return 2.0 * (meanOfAntiderivative (x1, x2) - meanOfAntiderivative (x0, x1)) / outer;

        const auto centre = 0.5 * (x0 + x2);
        const auto reach = centre - x1;

        if (std::abs (reach) < kSmallestReach)
            return fold ((x0 + x1 + x2) * (1.0 / 3.0));

        return 2.0 / reach * (antiderivative (centre) + (secondAntiderivative (x1) - secondAntiderivative (centre)) / reach);
    }

    // Whether averagedTwice() takes averagedTwiceNearby() for arguments over a corner.
    inline bool isNearby (double step1, double step2, double outer) noexcept
    {
        return std::abs (step1) < kShortStep || std::abs (step2) < kShortStep || std::abs (outer) < kSmallestOuterStep;
    }

    inline double averagedTwice (double x0, double x1, double x2) noexcept
    {
        const auto low = std::min (std::min (x0, x1), x2);
        const auto high = std::max (std::max (x0, x1), x2);

        if (pieceOf (low) == pieceOf (high))
            return fold ((x0 + x1 + x2) * (1.0 / 3.0));

        const auto step1 = x1 - x0, step2 = x2 - x1, outer = x2 - x0;

        if (isNearby (step1, step2, outer))
            return averagedTwiceNearby (x0, x1, x2);

        const auto rise1 = secondAntiderivative (x1) - secondAntiderivative (x0);
        const auto rise2 = secondAntiderivative (x2) - secondAntiderivative (x1);
        return 2.0 * (rise2 * step1 - rise1 * step2) / (step1 * step2 * outer);
    }
} // namespace trianglefold
} // namespace morsello
