#pragma once

// The vector kernels, written once for any instruction set. Each VectorMath*.cpp file compiles
// them for one instruction set, with that set's compiler flags; nothing else may include this.

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

    static constexpr Functions functions (const char* name) noexcept
    {
        return { tanhFloat, sinFloat, asinFloat, sqrtFloat, sinDouble, name };
    }
};
} // namespace VectorMath::Kernels
} // namespace morsello
