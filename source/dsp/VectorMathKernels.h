#pragma once

// The vector kernels, written once for any instruction set. Each VectorMath*.cpp file compiles
// them for one instruction set, with that set's compiler flags; nothing else may include this.

#include "dsp/TriangleFold.h"
#include "dsp/VectorMath.h"

#include <xsimd/xsimd.hpp>

#include <cstddef>

namespace morsello
{
namespace VectorMath::Kernels
{
// values[i] = function (values[i]) in batches of Computed values, the set's width for that type:
// a float run may be worked on as doubles (converted exactly on the way in, rounded to nearest
// on the way out). The tail goes through a full batch too, so that every value sees the same
// operations wherever it sits in the run.
template <typename Arch, typename Computed, typename T, typename Function>
inline void applyInPlaceAs (T* values, int count, Function function) noexcept
{
    using Batch = xsimd::batch<Computed, Arch>;
    constexpr int width = (int) Batch::size;
    int i = 0;

    for (; i + width <= count; i += width)
        function (Batch::load_unaligned (values + i)).store_unaligned (values + i);

    if (i < count)
    {
        alignas (64) T tail[Batch::size] {};

        for (int k = 0; i + k < count; ++k)
            tail[(std::size_t) k] = values[i + k];

        function (Batch::load_aligned (tail)).store_aligned (tail);

        for (int k = 0; i + k < count; ++k)
            values[i + k] = tail[(std::size_t) k];
    }
}

template <typename Arch, typename T, typename Function>
inline void applyInPlace (T* values, int count, Function function) noexcept
{
    applyInPlaceAs<Arch, T> (values, count, function);
}

template <typename Arch>
struct For
{
    static void tanhFloat (float* values, int count) noexcept
    {
        applyInPlace<Arch> (values, count, [] (auto x)
                            { return xsimd::tanh (x); });
    }

    // The library's float sine and arcsine miss by 2 ulp now and then; its double ones stay
    // within 1 double ulp, which rounded to float is within 1 float ulp (nearly always the
    // correctly rounded value).
    static void sinFloat (float* values, int count) noexcept
    {
        applyInPlaceAs<Arch, double> (values, count, [] (auto x)
                                      { return xsimd::sin (x); });
    }

    static void asinFloat (float* values, int count) noexcept
    {
        applyInPlaceAs<Arch, double> (values, count, [] (auto x)
                                      { return xsimd::asin (x); });
    }

    static void sqrtFloat (float* values, int count) noexcept
    {
        applyInPlace<Arch> (values, count, [] (auto x)
                            { return xsimd::sqrt (x); });
    }

    static void sinDouble (double* values, int count) noexcept
    {
        applyInPlace<Arch> (values, count, [] (auto x)
                            { return xsimd::sin (x); });
    }

    // A symmetric filter's correlation (VectorMath::firSymmetric): taps[k] times the pair of
    // inputs k and numTaps - 1 - k (added first), summed in two halves, the even k in the taps'
    // order from output[m] (or 0) and the odd k from 0, which halves the chain of additions
    // each output waits on; then the halves' sum, then the middle tap's product for an odd
    // count. Four batches of outputs at a time keep eight independent sums in flight.
    static void firSymmetric (const float* input, const float* taps, int numTaps, float* output, int count, bool accumulate) noexcept
    {
        using Batch = xsimd::batch<float, Arch>;
        constexpr int width = (int) Batch::size;
        const auto pairs = numTaps / 2;
        const auto last = numTaps - 1;
        const auto hasMiddle = numTaps % 2 != 0;
        int m = 0;

        auto start = [&] (int at)
        { return accumulate ? Batch::load_unaligned (output + at) : Batch (0.0f); };

        auto pair = [last] (const float* x, int k)
        { return Batch::load_unaligned (x + k) + Batch::load_unaligned (x + last - k); };

        for (; m + 4 * width <= count; m += 4 * width)
        {
            const float* x[4] { input + m, input + m + width, input + m + 2 * width, input + m + 3 * width };
            Batch even[4] { start (m), start (m + width), start (m + 2 * width), start (m + 3 * width) };
            Batch odd[4] { Batch (0.0f), Batch (0.0f), Batch (0.0f), Batch (0.0f) };
            int k = 0;

            for (; k + 1 < pairs; k += 2)
            {
                const Batch evenTap (taps[k]), oddTap (taps[k + 1]);

                for (int b = 0; b < 4; ++b)
                {
                    even[b] = even[b] + evenTap * pair (x[b], k);
                    odd[b] = odd[b] + oddTap * pair (x[b], k + 1);
                }
            }

            for (int b = 0; b < 4; ++b)
            {
                if (k < pairs)
                    even[b] = even[b] + Batch (taps[k]) * pair (x[b], k);

                even[b] = even[b] + odd[b];

                if (hasMiddle)
                    even[b] = even[b] + Batch (taps[pairs]) * Batch::load_unaligned (x[b] + pairs);

                even[b].store_unaligned (output + m + b * width);
            }
        }

        for (; m + width <= count; m += width)
        {
            const auto* x = input + m;
            auto even = start (m), odd = Batch (0.0f);

            for (int k = 0; k < pairs; ++k)
            {
                if (k % 2 == 0)
                    even = even + Batch (taps[k]) * pair (x, k);
                else
                    odd = odd + Batch (taps[k]) * pair (x, k);
            }

            even = even + odd;

            if (hasMiddle)
                even = even + Batch (taps[pairs]) * Batch::load_unaligned (x + pairs);

            even.store_unaligned (output + m);
        }

        for (; m < count; ++m)
        {
            const auto* x = input + m;
            auto even = accumulate ? output[m] : 0.0f, odd = 0.0f;

            for (int k = 0; k < pairs; ++k)
            {
                if (k % 2 == 0)
                    even = even + taps[k] * (x[k] + x[last - k]);
                else
                    odd = odd + taps[k] * (x[k] + x[last - k]);
            }

            even = even + odd;

            if (hasMiddle)
                even = even + taps[pairs] * x[pairs];

            output[m] = even;
        }
    }

    // Two runs of n values woven into one, and one run of 2 n values parted into its even and
    // odd places (plain loops: the compiler vectorises them with this file's instruction set).
    static void interleave (const float* even, const float* odd, float* output, int n) noexcept
    {
        for (int m = 0; m < n; ++m)
        {
            output[2 * m] = even[m];
            output[2 * m + 1] = odd[m];
        }
    }

    static void deinterleave (const float* input, float* even, float* odd, int n) noexcept
    {
        for (int m = 0; m < n; ++m)
        {
            even[m] = input[2 * m];
            odd[m] = input[2 * m + 1];
        }
    }

    // The wavefold's arguments at the top rate, drive * input + bias in float and then as
    // doubles, with their second antiderivatives (trianglefold::secondAntiderivative, the same
    // operations in the same order).
    static void foldArguments (const float* input, int count, float drive, float bias, double* arguments, double* integrals) noexcept
    {
        for (int i = 0; i < count; ++i)
            integrals[i] = arguments[i] = (double) (drive * input[i] + bias);

        applyInPlace<Arch> (integrals, count, [] (auto u)
                            {
                                using Batch = decltype (u);
                                constexpr double pi = trianglefold::kPi;
                                const auto t = u + Batch (0.5 * pi);
                                const auto r = t - Batch (2.0 * pi) * xsimd::floor (t * Batch (0.5 / pi));
                                const auto q = xsimd::min (r, Batch (2.0 * pi) - r);
                                return q * q * (Batch (2.0) * q - Batch (3.0 * pi)) * Batch (1.0 / 12.0);
                            });
    }

    // The fold averaged twice over each three arguments in a row (trianglefold::averagedTwice),
    // less `offset`, over pi, as floats (VectorMath::foldSecondAverages). A batch works both
    // common cases, the fold of the mean on one straight piece and the one quotient over a
    // corner, and takes each value's; a batch with a rare value that needs averagedTwiceNearby()
    // is worked again one by one.
    static void foldSecondAverages (const double* arguments, const double* integrals, double offset, double* averages, float* output, int count) noexcept
    {
        using Batch = xsimd::batch<double, Arch>;
        constexpr int width = (int) Batch::size;
        constexpr double pi = trianglefold::kPi;

        auto fold = [] (Batch u)
        {
            const auto t = u + Batch (0.5 * pi);
            const auto r = t - Batch (2.0 * pi) * xsimd::floor (t * Batch (0.5 / pi));
            return xsimd::min (r, Batch (2.0 * pi) - r) - Batch (0.5 * pi);
        };

        auto piece = [] (Batch u)
        { return xsimd::floor ((u - Batch (0.5 * pi)) * Batch (1.0 / pi)); };

        int i = 0;

        for (; i + width <= count; i += width)
        {
            const auto x0 = Batch::load_unaligned (arguments + i);
            const auto x1 = Batch::load_unaligned (arguments + i + 1);
            const auto x2 = Batch::load_unaligned (arguments + i + 2);
            const auto low = xsimd::min (xsimd::min (x0, x1), x2);
            const auto high = xsimd::max (xsimd::max (x0, x1), x2);
            const auto onePiece = piece (low) == piece (high);
            const auto ofMean = fold ((x0 + x1 + x2) * Batch (1.0 / 3.0));

            const auto step1 = x1 - x0, step2 = x2 - x1, outer = x2 - x0;
            const auto f0 = Batch::load_unaligned (integrals + i);
            const auto f1 = Batch::load_unaligned (integrals + i + 1);
            const auto f2 = Batch::load_unaligned (integrals + i + 2);
            const auto rise1 = f1 - f0, rise2 = f2 - f1;
            const auto nearby = ! onePiece
                                && (xsimd::abs (step1) < Batch (trianglefold::kShortStep) || xsimd::abs (step2) < Batch (trianglefold::kShortStep)
                                    || xsimd::abs (outer) < Batch (trianglefold::kSmallestOuterStep));
            // Nearby or on one piece, the quotient is not used: divide by 1 there instead.
            const auto divisor = xsimd::select (onePiece || nearby, Batch (1.0), step1 * step2 * outer);
            const auto quotient = Batch (2.0) * (rise2 * step1 - rise1 * step2) / divisor;
            xsimd::select (onePiece, ofMean, quotient).store_unaligned (averages + i);

            // The scalar function gives every other value of the batch the same bits.
            if (xsimd::any (nearby))
                for (int k = i; k < i + width; ++k)
                    averages[k] = trianglefold::averagedTwice (arguments[k], arguments[k + 1], arguments[k + 2]);
        }

        for (; i < count; ++i)
            averages[i] = trianglefold::averagedTwice (arguments[i], arguments[i + 1], arguments[i + 2]);

        for (i = 0; i < count; ++i)
            output[i] = (float) ((averages[i] - offset) * (1.0 / pi));
    }

    // The mean of tanh over [z0, z1] for a batch of steps (VectorMath::driveAverages): log cosh's
    // difference over the step, written as log1p (2 a b / (1 - a b)) with a = tanh (midpoint) and
    // b = tanh (step / 2), which has no difference of nearly equal values in it, so that a quiet
    // signal keeps its digits in float; tanh of the point itself for no step; and for a step of
    // kLongTanhStep or more (where a b may round to 1), |z| and log1p (exp (-2 |z|)) apart.
    static xsimd::batch<float, Arch> tanhMean (xsimd::batch<float, Arch> z0, xsimd::batch<float, Arch> z1) noexcept
    {
        using Batch = xsimd::batch<float, Arch>;
        const auto step = z1 - z0;
        const auto none = step == Batch (0.0f);
        const auto a = xsimd::tanh (Batch (0.5f) * (z0 + z1));
        const auto b = xsimd::tanh (Batch (0.5f) * step);
        const auto product = a * b;
        const auto quotient = xsimd::log1p (Batch (2.0f) * product / (Batch (1.0f) - product)) / xsimd::select (none, Batch (1.0f), step);
        const auto longStep = xsimd::abs (step) >= Batch (kLongTanhStep);

        if (! xsimd::any (longStep))
            return xsimd::select (none, a, quotient);

        auto tail = [] (Batch z)
        { return xsimd::log1p (xsimd::exp (Batch (-2.0f) * xsimd::abs (z))); };

        const auto apart = ((xsimd::abs (z1) - xsimd::abs (z0)) + (tail (z1) - tail (z0))) / xsimd::select (none, Batch (1.0f), step);
        return xsimd::select (none, a, xsimd::select (longStep, apart, quotient));
    }

    // finish (mean) for each i in [0, count) and the mean of tanh over [arguments[i],
    // arguments[i + 1]], the tail through a whole batch as in applyInPlaceAs.
    template <typename Finish>
    static void forEachTanhMean (const float* arguments, int count, float* output, Finish finish) noexcept
    {
        using Batch = xsimd::batch<float, Arch>;
        constexpr int width = (int) Batch::size;
        int i = 0;

        for (; i + width <= count; i += width)
            finish (tanhMean (Batch::load_unaligned (arguments + i), Batch::load_unaligned (arguments + i + 1))).store_unaligned (output + i);

        if (i < count)
        {
            alignas (64) float z[Batch::size + 1] {};

            for (int k = 0; i + k <= count; ++k)
                z[k] = arguments[i + k];

            alignas (64) float result[Batch::size] {};
            finish (tanhMean (Batch::load_unaligned (z), Batch::load_unaligned (z + 1))).store_aligned (result);

            for (int k = 0; i + k < count; ++k)
                output[i + k] = result[k];
        }
    }

    // The toast's curve (VectorMath::toastCurve).
    static void toastCurve (const float* drives, int n, int factor, float* gains, float* samples) noexcept
    {
        const auto count = n * factor;

        for (int i = 0; i < n; ++i)
            for (int k = i * factor; k < (i + 1) * factor; ++k)
                gains[k] = drives[i];

        for (int k = 0; k < count; ++k)
            samples[k] = gains[k] * samples[k];

        tanhFloat (samples, count);

        for (int k = 0; k < count; ++k)
            samples[k] = samples[k] / gains[k];
    }

    // The high quality ring mod's product at the top rate (VectorMath::ringModProducts).
    static void ringModProducts (const double* phases, int n, int factor, double fastIncrement, double offset, float shape, double* angles, float* shaped, float* samples) noexcept
    {
        constexpr double twoPi = 2.0 * trianglefold::kPi;
        const auto count = n * factor;

        for (int i = 0; i < n; ++i)
            for (int j = 0; j < factor; ++j)
                angles[i * factor + j] = twoPi * (phases[i] + j * fastIncrement + offset);

        sinDouble (angles, count);

        for (int k = 0; k < count; ++k)
            shaped[k] = 5.0f * (float) angles[k];

        tanhFloat (shaped, count);

        for (int k = 0; k < count; ++k)
        {
            const auto sine = (float) angles[k];
            samples[k] = (sine + shape * (shaped[k] - sine)) * samples[k];
        }
    }

    // The high quality drive's averaged curve (VectorMath::driveAverages).
    static void driveAverages (const float* input, int count, float offset, float gain, float offsetShape, float* arguments, float* output) noexcept
    {
        using Batch = xsimd::batch<float, Arch>;

        for (int i = 0; i < count; ++i)
            arguments[i + 1] = (input[i] + offset) * gain;

        forEachTanhMean (arguments, count, output, [offsetShape, gain] (Batch mean)
                         { return (mean - Batch (offsetShape)) / Batch (gain); });
    }

    static constexpr Functions functions (const char* name) noexcept
    {
        return { tanhFloat, sinFloat, asinFloat, sqrtFloat, sinDouble, firSymmetric, interleave, deinterleave, foldArguments, foldSecondAverages, driveAverages, ringModProducts, toastCurve, name };
    }
};
} // namespace VectorMath::Kernels
} // namespace morsello
