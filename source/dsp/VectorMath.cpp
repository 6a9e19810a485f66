#include "dsp/VectorMath.h"

#include "dsp/TriangleFold.h"

#include <xsimd/config/xsimd_cpuid.hpp>

#include <cmath>

namespace morsello
{
namespace VectorMath
{
namespace
{
    template <typename T, T (*function) (T)>
    void scalarInPlace (T* values, int count) noexcept
    {
        for (int i = 0; i < count; ++i)
            values[i] = function (values[i]);
    }

    float scalarTanh (float x) { return std::tanh (x); }
    float scalarSin (float x) { return std::sin (x); }
    float scalarAsin (float x) { return std::asin (x); }
    float scalarSqrt (float x) { return std::sqrt (x); }
    double scalarSinDouble (double x) { return std::sin (x); }
    double scalarFoldAntiderivative (double x) { return trianglefold::antiderivative (x); }

    void scalarFirAdd (const float* input, const float* taps, int numTaps, float* output, int count) noexcept
    {
        for (int m = 0; m < count; ++m)
        {
            auto a = output[m];

            for (int k = 0; k < numTaps; ++k)
                a = a + taps[k] * input[m + k];

            output[m] = a;
        }
    }

    void scalarFoldAverages (const double* arguments, const double* antiderivatives, double* averages, int count) noexcept
    {
        for (int i = 0; i < count; ++i)
        {
            const auto step = arguments[i + 1] - arguments[i];
            averages[i] = std::abs (step) < trianglefold::kSmallestStep
                              ? trianglefold::fold (0.5 * (arguments[i] + arguments[i + 1]))
                              : (antiderivatives[i + 1] - antiderivatives[i]) / step;
        }
    }

    // Asks the processor once which instruction sets it has (cpuid, and the operating system's
    // support for the wider registers).
    const Functions& chooseVectorKernels() noexcept
    {
        const auto available = xsimd::available_architectures();

        if (available.avx512f)
            return Kernels::avx512();

        if (available.avx2)
            return Kernels::avx2();

        return Kernels::sse2();
    }

    const Functions& vectorKernels = chooseVectorKernels();
    const Functions* current = &vectorKernels;
} // namespace

const Functions& Kernels::scalar() noexcept
{
    static constexpr Functions functions { scalarInPlace<float, scalarTanh>, scalarInPlace<float, scalarSin>,
                                           scalarInPlace<float, scalarAsin>, scalarInPlace<float, scalarSqrt>,
                                           scalarInPlace<double, scalarSinDouble>, scalarFirAdd,
                                           scalarInPlace<double, scalarFoldAntiderivative>, scalarFoldAverages, "scalar" };
    return functions;
}

void tanhInPlace (float* values, int count) noexcept { current->tanhFloat (values, count); }
void sinInPlace (float* values, int count) noexcept { current->sinFloat (values, count); }
void asinInPlace (float* values, int count) noexcept { current->asinFloat (values, count); }
void sqrtInPlace (float* values, int count) noexcept { current->sqrtFloat (values, count); }
void sinInPlace (double* values, int count) noexcept { current->sinDouble (values, count); }

void firAdd (const float* input, const float* taps, int numTaps, float* output, int count) noexcept
{
    current->firAdd (input, taps, numTaps, output, count);
}

void foldAntiderivativeInPlace (double* values, int count) noexcept
{
    current->foldAntiderivativeDouble (values, count);
}

void foldAveragesDouble (const double* arguments, const double* antiderivatives, double* averages, int count) noexcept
{
    current->foldAveragesDouble (arguments, antiderivatives, averages, count);
}

const char* instructionSet() noexcept
{
    return current->name;
}

void useScalarPath (bool scalar) noexcept
{
    current = scalar ? &Kernels::scalar() : &vectorKernels;
}
} // namespace VectorMath
} // namespace morsello
