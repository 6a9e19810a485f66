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

    // output[m] += taps[0] * input[m] + ... + taps[numTaps - 1] * input[m + numTaps - 1], each
    // sum taken in the taps' order from output[m], so every width gives the same bits. Four
    // batches of outputs at a time keep four independent additions in flight.
    static void firAdd (const float* input, const float* taps, int numTaps, float* output, int count) noexcept
    {
        using Batch = xsimd::batch<float, Arch>;
        constexpr int width = (int) Batch::size;
        int m = 0;

        for (; m + 4 * width <= count; m += 4 * width)
        {
            auto a0 = Batch::load_unaligned (output + m);
            auto a1 = Batch::load_unaligned (output + m + width);
            auto a2 = Batch::load_unaligned (output + m + 2 * width);
            auto a3 = Batch::load_unaligned (output + m + 3 * width);
            const auto* x = input + m;

            for (int k = 0; k < numTaps; ++k)
            {
                const Batch tap (taps[k]);
                a0 = a0 + tap * Batch::load_unaligned (x + k);
                a1 = a1 + tap * Batch::load_unaligned (x + k + width);
                a2 = a2 + tap * Batch::load_unaligned (x + k + 2 * width);
                a3 = a3 + tap * Batch::load_unaligned (x + k + 3 * width);
            }

            a0.store_unaligned (output + m);
            a1.store_unaligned (output + m + width);
            a2.store_unaligned (output + m + 2 * width);
            a3.store_unaligned (output + m + 3 * width);
        }

        for (; m + width <= count; m += width)
        {
            auto a = Batch::load_unaligned (output + m);

            for (int k = 0; k < numTaps; ++k)
                a = a + Batch (taps[k]) * Batch::load_unaligned (input + m + k);

            a.store_unaligned (output + m);
        }

        for (; m < count; ++m)
        {
            auto a = output[m];

            for (int k = 0; k < numTaps; ++k)
                a = a + taps[k] * input[m + k];

            output[m] = a;
        }
    }

    // The triangle fold's periodic antiderivative (trianglefold::antiderivative in
    // TriangleFold.h, the same operations in the same order).
    static void foldAntiderivativeDouble (double* values, int count) noexcept
    {
        applyInPlace<Arch> (values, count, [] (auto u)
                            {
                                using Batch = decltype (u);
                                constexpr double pi = 3.14159265358979323846;
                                const auto t = u + Batch (0.5 * pi);
                                const auto r = t - Batch (2.0 * pi) * xsimd::floor (t * Batch (0.5 / pi));
                                const auto q = xsimd::min (r, Batch (2.0 * pi) - r);
                                return xsimd::copysign (Batch (0.5) * q * (Batch (pi) - q), r - Batch (pi));
                            });
    }

    // The fold's averages over each step (VectorMath::foldAveragesDouble): the difference
    // quotient and the fold at the midpoint (trianglefold::fold, the same operations) for a
    // batch of steps, each step taking the one it needs.
    static void foldAveragesDouble (const double* arguments, const double* antiderivatives, double* averages, int count) noexcept
    {
        using Batch = xsimd::batch<double, Arch>;
        constexpr int width = (int) Batch::size;
        constexpr double pi = 3.14159265358979323846;

        auto average = [] (Batch previous, Batch next, Batch previousIntegral, Batch nextIntegral)
        {
            const auto step = next - previous;
            const auto close = xsimd::abs (step) < Batch (trianglefold::kSmallestStep);
            const auto quotient = (nextIntegral - previousIntegral) / xsimd::select (close, Batch (1.0), step);
            const auto t = Batch (0.5) * (previous + next) + Batch (0.5 * pi);
            const auto r = t - Batch (2.0 * pi) * xsimd::floor (t * Batch (0.5 / pi));
            const auto midpoint = xsimd::min (r, Batch (2.0 * pi) - r) - Batch (0.5 * pi);
            return xsimd::select (close, midpoint, quotient);
        };

        int i = 0;

        for (; i + width <= count; i += width)
            average (Batch::load_unaligned (arguments + i), Batch::load_unaligned (arguments + i + 1),
                     Batch::load_unaligned (antiderivatives + i), Batch::load_unaligned (antiderivatives + i + 1))
                .store_unaligned (averages + i);

        for (; i < count; ++i)
        {
            const auto step = arguments[i + 1] - arguments[i];
            averages[i] = std::abs (step) < trianglefold::kSmallestStep
                              ? trianglefold::fold (0.5 * (arguments[i] + arguments[i + 1]))
                              : (antiderivatives[i + 1] - antiderivatives[i]) / step;
        }
    }

    static constexpr Functions functions (const char* name) noexcept
    {
        return { tanhFloat, sinFloat, asinFloat, sqrtFloat, sinDouble, firAdd, foldAntiderivativeDouble, foldAveragesDouble, name };
    }
};
} // namespace VectorMath::Kernels
} // namespace morsello
