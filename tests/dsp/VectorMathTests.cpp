#include "dsp/VectorMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace VectorMath::Kernels
{
void tanhInPlaceSse2 (float* values, int count) noexcept;
void tanhInPlaceAvx2 (float* values, int count) noexcept;
void tanhInPlaceAvx512 (float* values, int count) noexcept;
} // namespace VectorMath::Kernels

namespace
{
int32_t orderedBits (float x)
{
    int32_t bits;
    std::memcpy (&bits, &x, sizeof bits);
    return bits < 0 ? std::numeric_limits<int32_t>::min() - bits : bits;
}

// Across the range the toast feeds it (drive up to 5.5 times a clamped signal, and beyond), and in
// runs of every length around the vector widths, so that the tails are covered too.
TEST (VectorMath, TanhStaysWithinTwoUnitsInTheLastPlaceOfTheScalarFunction)
{
    for (int count = 0; count <= 70; ++count)
    {
        SCOPED_TRACE ("count " + std::to_string (count) + ", " + VectorMath::instructionSet());
        std::vector<float> values ((size_t) count + 1, 42.0f);

        for (int i = 0; i < count; ++i)
            values[(size_t) i] = -12.0f + 24.0f * (float) i / 70.0f + 1.0e-3f * (float) count;

        const auto input = values;
        VectorMath::tanhInPlace (values.data(), count);

        for (int i = 0; i < count; ++i)
            EXPECT_LE (std::abs (orderedBits (values[(size_t) i]) - orderedBits (std::tanh (input[(size_t) i]))), 2) << input[(size_t) i];

        EXPECT_EQ (values.back(), 42.0f) << "wrote past the end";
    }

    std::vector<float> many (1000001);
    int32_t largest = 0;

    for (size_t i = 0; i < many.size(); ++i)
        many[i] = -10.0f + 20.0f * (float) i / 1.0e6f;

    const auto input = many;
    VectorMath::tanhInPlace (many.data(), (int) many.size());

    for (size_t i = 0; i < many.size(); ++i)
        largest = std::max (largest, std::abs (orderedBits (many[i]) - orderedBits (std::tanh (input[i]))));

    EXPECT_LE (largest, 2);
}

// The recorded golden output must not depend on the processor: every kernel this one can run
// gives the same bits (the library's polynomials are evaluated in the same operations).
TEST (VectorMath, EveryInstructionSetGivesTheSameBits)
{
    std::vector<float> sse2 (200003);

    for (size_t i = 0; i < sse2.size(); ++i)
        sse2[i] = -9.0f + 18.0f * (float) i / 200000.0f;

    auto avx2 = sse2, avx512 = sse2;
    VectorMath::Kernels::tanhInPlaceSse2 (sse2.data(), (int) sse2.size());

    if (__builtin_cpu_supports ("avx2"))
    {
        VectorMath::Kernels::tanhInPlaceAvx2 (avx2.data(), (int) avx2.size());
        EXPECT_EQ (std::memcmp (avx2.data(), sse2.data(), sse2.size() * sizeof (float)), 0);
    }

    if (__builtin_cpu_supports ("avx512f"))
    {
        VectorMath::Kernels::tanhInPlaceAvx512 (avx512.data(), (int) avx512.size());
        EXPECT_EQ (std::memcmp (avx512.data(), sse2.data(), sse2.size() * sizeof (float)), 0);
    }
}

TEST (VectorMath, ScalarPathIsThePlatformFunction)
{
    std::vector<float> values { -3.0f, -0.5f, 0.0f, 1.0e-20f, 0.7f, 9.0f };
    const auto input = values;
    VectorMath::useScalarPath (true);
    VectorMath::tanhInPlace (values.data(), (int) values.size());
    EXPECT_STREQ (VectorMath::instructionSet(), "scalar");
    VectorMath::useScalarPath (false);

    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ (values[i], std::tanh (input[i]));
}
} // namespace
