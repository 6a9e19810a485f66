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

    // The mean of tanh over [z0, z1], in the kernels' way with the platform's functions.
    float scalarTanhMean (float z0, float z1) noexcept
    {
        const auto step = z1 - z0;

        if (step == 0.0f)
            return std::tanh (0.5f * (z0 + z1));

        if (std::abs (step) >= kLongTanhStep)
        {
            auto tail = [] (float z)
            { return std::log1p (std::exp (-2.0f * std::abs (z))); };

            return ((std::abs (z1) - std::abs (z0)) + (tail (z1) - tail (z0))) / step;
        }

        const auto product = std::tanh (0.5f * (z0 + z1)) * std::tanh (0.5f * step);
        return std::log1p (2.0f * product / (1.0f - product)) / step;
    }

    void scalarDriveAverages (const float* input, int count, float offset, float gain, float offsetShape, float* arguments, float* output) noexcept
    {
        for (int i = 0; i < count; ++i)
        {
            arguments[i + 1] = (input[i] + offset) * gain;
            output[i] = (scalarTanhMean (arguments[i], arguments[i + 1]) - offsetShape) / gain;
        }
    }

    void scalarRingModProducts (const double* phases, int n, int factor, double fastIncrement, double offset, float shape, double*, float*, float* samples) noexcept
    {
        constexpr double twoPi = 2.0 * trianglefold::kPi;

        for (int i = 0; i < n; ++i)
            for (int j = 0; j < factor; ++j)
            {
                const auto sine = (float) std::sin (twoPi * (phases[i] + j * fastIncrement + offset));
                auto& sample = samples[i * factor + j];
                sample = (sine + shape * (std::tanh (5.0f * sine) - sine)) * sample;
            }
    }

    void scalarToastCurve (const float* drives, int n, int factor, float*, float* samples) noexcept
    {
        for (int k = 0; k < n * factor; ++k)
            samples[k] = std::tanh (drives[k / factor] * samples[k]) / drives[k / factor];
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
    // The platform's functions wherever a kernel calls a maths function; the filters, the
    // weaving and the fold (arithmetic alone, the same bits either way) are the SSE2 kernels'.
    static const Functions functions = []
    {
        auto chosen = Kernels::sse2();
        chosen.tanhFloat = scalarInPlace<float, scalarTanh>;
        chosen.sinFloat = scalarInPlace<float, scalarSin>;
        chosen.asinFloat = scalarInPlace<float, scalarAsin>;
        chosen.sqrtFloat = scalarInPlace<float, scalarSqrt>;
        chosen.sinDouble = scalarInPlace<double, scalarSinDouble>;
        chosen.driveAverages = scalarDriveAverages;
        chosen.ringModProducts = scalarRingModProducts;
        chosen.toastCurve = scalarToastCurve;
        chosen.name = "scalar";
        return chosen;
    }();

    return functions;
}

void tanhInPlace (float* values, int count) noexcept { current->tanhFloat (values, count); }
void sinInPlace (float* values, int count) noexcept { current->sinFloat (values, count); }
void asinInPlace (float* values, int count) noexcept { current->asinFloat (values, count); }
void sqrtInPlace (float* values, int count) noexcept { current->sqrtFloat (values, count); }
void sinInPlace (double* values, int count) noexcept { current->sinDouble (values, count); }

void firSymmetric (const float* input, const float* taps, int numTaps, float* output, int count, bool accumulate) noexcept
{
    current->firSymmetric (input, taps, numTaps, output, count, accumulate);
}

void interleave (const float* even, const float* odd, float* output, int n) noexcept
{
    current->interleave (even, odd, output, n);
}

void deinterleave (const float* input, float* even, float* odd, int n) noexcept
{
    current->deinterleave (input, even, odd, n);
}

void foldArguments (const float* input, int count, float drive, float bias, double* arguments, double* integrals) noexcept
{
    current->foldArguments (input, count, drive, bias, arguments, integrals);
}

void foldSecondAverages (const double* arguments, const double* integrals, double offset, double* averages, float* output, int count) noexcept
{
    current->foldSecondAverages (arguments, integrals, offset, averages, output, count);
}

void driveAverages (const float* input, int count, float offset, float gain, float offsetShape, float* arguments, float* output) noexcept
{
    current->driveAverages (input, count, offset, gain, offsetShape, arguments, output);
}

void ringModProducts (const double* phases, int n, int factor, double fastIncrement, double offset, float shape, double* angles, float* shaped, float* samples) noexcept
{
    current->ringModProducts (phases, n, factor, fastIncrement, offset, shape, angles, shaped, samples);
}

void toastCurve (const float* drives, int n, int factor, float* gains, float* samples) noexcept
{
    current->toastCurve (drives, n, factor, gains, samples);
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
