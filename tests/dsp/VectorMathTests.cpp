#include "dsp/VectorMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

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
