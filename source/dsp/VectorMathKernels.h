#pragma once

// The vector kernels, written once for any instruction set. Each VectorMath*.cpp file compiles
// them for one instruction set, with that set's compiler flags; nothing else may include this.

#include <xsimd/xsimd.hpp>

#include <cstddef>

namespace VectorMath::Kernels
{
template <typename Arch>
void tanhInPlace (float* values, int count) noexcept
{
    using Batch = xsimd::batch<float, Arch>;
    constexpr int width = (int) Batch::size;
    int i = 0;

    for (; i + width <= count; i += width)
        xsimd::tanh (Batch::load_unaligned (values + i)).store_unaligned (values + i);

    if (i < count)
    {
        // The tail goes through a full batch so that every value sees the same function.
        alignas (64) float tail[Batch::size] {};

        for (int k = 0; i + k < count; ++k)
            tail[(std::size_t) k] = values[i + k];

        xsimd::tanh (Batch::load_aligned (tail)).store_aligned (tail);

        for (int k = 0; i + k < count; ++k)
            values[i + k] = tail[(std::size_t) k];
    }
}
} // namespace VectorMath::Kernels
