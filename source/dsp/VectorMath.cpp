#include "dsp/VectorMath.h"

#include <xsimd/config/xsimd_cpuid.hpp>

#include <cmath>

namespace VectorMath
{
namespace Kernels
{
    void tanhInPlaceSse2 (float* values, int count) noexcept;
    void tanhInPlaceAvx2 (float* values, int count) noexcept;
    void tanhInPlaceAvx512 (float* values, int count) noexcept;
} // namespace Kernels

namespace
{
    void tanhInPlaceScalar (float* values, int count) noexcept
    {
        for (int i = 0; i < count; ++i)
            values[i] = std::tanh (values[i]);
    }

    struct Dispatch
    {
        void (*tanhInPlace) (float*, int) noexcept;
        const char* name;
    };

    // Asks the processor once which instruction sets it has (cpuid, and the operating system's
    // support for the wider registers).
    Dispatch chooseVectorKernels() noexcept
    {
        const auto available = xsimd::available_architectures();

        if (available.avx512f)
            return { Kernels::tanhInPlaceAvx512, "avx512" };

        if (available.avx2)
            return { Kernels::tanhInPlaceAvx2, "avx2" };

        return { Kernels::tanhInPlaceSse2, "sse2" };
    }

    const Dispatch vectorKernels = chooseVectorKernels();
    const Dispatch scalarFunctions { tanhInPlaceScalar, "scalar" };
    const Dispatch* current = &vectorKernels;
} // namespace

void tanhInPlace (float* values, int count) noexcept
{
    current->tanhInPlace (values, count);
}

const char* instructionSet() noexcept
{
    return current->name;
}

void useScalarPath (bool scalar) noexcept
{
    current = scalar ? &scalarFunctions : &vectorKernels;
}
} // namespace VectorMath
