#include "dsp/VectorMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using namespace morsello;

namespace
{
int64_t orderedBits (float x)
{
    int32_t bits;
    std::memcpy (&bits, &x, sizeof bits);
    return bits < 0 ? (int64_t) std::numeric_limits<int32_t>::min() - bits : bits;
}

int64_t orderedBits (double x)
{
    int64_t bits;
    std::memcpy (&bits, &x, sizeof bits);
    return bits < 0 ? std::numeric_limits<int64_t>::min() - bits : bits;
}

template <typename T>
int64_t ulpsApart (T a, T b)
{
    const auto d = orderedBits (a) - orderedBits (b);
    return d < 0 ? -d : d;
}

// One of the kernels' functions, with the range the engine feeds it, the correctly rounded
// value (from long double) and the largest distance from it the vector library may have.
template <typename T>
struct FunctionCase
{
    using InPlace = void (*) (T*, int) noexcept;

    const char* name;
    InPlace VectorMath::Functions::*kernel;
    InPlace engineCall;
    T (*platform)
    (T);
    long double (*exact) (long double);
    T low, high;
    int64_t ulpBound;
    // Beside a multiple of pi a double sine's result is tiny and its last places are the
    // argument's rounding; there an absolute error this small counts as exact (the engine
    // rounds such a value to float, or adds it to 0.5).
    T absoluteFloor = 0;
};

float platformTanh (float x) { return std::tanh (x); }
float platformSin (float x) { return std::sin (x); }
float platformAsin (float x) { return std::asin (x); }
float platformSqrt (float x) { return std::sqrt (x); }
double platformSinDouble (double x) { return std::sin (x); }
long double exactTanh (long double x) { return tanhl (x); }
long double exactSin (long double x) { return sinl (x); }
long double exactAsin (long double x) { return asinl (x); }
long double exactSqrt (long double x) { return sqrtl (x); }

// The bounds are 1 ulp for every function but the square root (exact). The float sine and
// arcsine are worked out in double precision and rounded: the library's float versions miss by
// 2 ulp (the sine for a handful of values, the arcsine for about 1.5 % of them).
// The toast's and the drive's tanh (up to 5.5 or 19 times a loud signal), the wavefold's sine
// (16 times a loud signal plus the bias) and arcsine, the granular weights' square roots, and the
// oscillators' double sines (angles up to 3 pi, channel 1 running half a cycle ahead).
const std::vector<FunctionCase<float>> floatCases {
    { "tanh", &VectorMath::Functions::tanhFloat, VectorMath::tanhInPlace, platformTanh, exactTanh, -40.0f, 40.0f, 1 },
    { "sin", &VectorMath::Functions::sinFloat, VectorMath::sinInPlace, platformSin, exactSin, -40.0f, 40.0f, 1 },
    { "asin", &VectorMath::Functions::asinFloat, VectorMath::asinInPlace, platformAsin, exactAsin, -1.0f, 1.0f, 1 },
    { "sqrt", &VectorMath::Functions::sqrtFloat, VectorMath::sqrtInPlace, platformSqrt, exactSqrt, 0.0f, 1.0f, 0 },
};

const std::vector<FunctionCase<double>> doubleCases {
    { "sin (double)", &VectorMath::Functions::sinDouble, VectorMath::sinInPlace, platformSinDouble, exactSin, 0.0, 3.0 * 3.14159265358979323846, 1, 1.0e-28 },
};

// Runs `check` on every float case, then on every double case.
template <typename Check>
void forEveryCase (Check check)
{
    for (const auto& c : floatCases)
        check (c);

    for (const auto& c : doubleCases)
        check (c);
}

template <typename T>
std::vector<T> sweep (const FunctionCase<T>& c, size_t count)
{
    std::vector<T> values (count);

    for (size_t i = 0; i < count; ++i)
        values[i] = c.low + (c.high - c.low) * (T) ((double) i / (double) (count - 1));

    return values;
}

// Against the correctly rounded value over the whole range the engine uses, and against the
// platform's function; then runs of every length around the vector widths: each value is
// what the long run gave it (the tails see the same operations) and nothing past the end is
// written.
template <typename T>
void checkAccuracy (const FunctionCase<T>& c)
{
    SCOPED_TRACE (std::string (c.name) + ", " + VectorMath::instructionSet());
    const auto input = sweep (c, 1000001);
    auto values = input;
    c.engineCall (values.data(), (int) values.size());
    int64_t largest = 0, largestFromPlatform = 0;

    for (size_t i = 0; i < values.size(); ++i)
    {
        const auto exact = (T) c.exact ((long double) input[i]);
        const auto platform = c.platform (input[i]);

        if (std::abs (values[i] - exact) > c.absoluteFloor)
            largest = std::max (largest, ulpsApart (values[i], exact));

        if (std::abs (values[i] - platform) > c.absoluteFloor)
            largestFromPlatform = std::max (largestFromPlatform, ulpsApart (values[i], platform));
    }

    std::printf ("%s (%s): %lld ulp from correctly rounded, %lld from the platform's function\n", c.name,
                 VectorMath::instructionSet(), (long long) largest, (long long) largestFromPlatform);
    EXPECT_LE (largest, c.ulpBound);
    EXPECT_LE (largestFromPlatform, c.ulpBound + 1);

    for (int count = 0; count <= 70; ++count)
    {
        const auto offset = (size_t) count * 7919;
        std::vector<T> run (input.begin() + (long) offset, input.begin() + (long) offset + count);
        run.push_back ((T) 42);
        c.engineCall (run.data(), count);

        for (int i = 0; i < count; ++i)
            ASSERT_EQ (run[(size_t) i], values[offset + (size_t) i]) << "count " << count << ", value " << i;

        ASSERT_EQ (run.back(), (T) 42) << "count " << count << " wrote past the end";
    }
}

TEST (VectorMath, EachFunctionStaysWithinItsBoundOfTheCorrectlyRoundedValue)
{
    forEveryCase ([] (const auto& c)
                  { checkAccuracy (c); });
}

// The recorded golden output must not depend on the processor: every kernel this one can run
// gives the same bits (the library's polynomials are evaluated in the same operations).
template <typename T>
void checkSameBits (const FunctionCase<T>& c)
{
    SCOPED_TRACE (c.name);
    auto sse2 = sweep (c, 200003);
    auto avx2 = sse2, avx512 = sse2;
    (VectorMath::Kernels::sse2().*c.kernel) (sse2.data(), (int) sse2.size());

    if (__builtin_cpu_supports ("avx2"))
    {
        (VectorMath::Kernels::avx2().*c.kernel) (avx2.data(), (int) avx2.size());
        EXPECT_EQ (std::memcmp (avx2.data(), sse2.data(), sse2.size() * sizeof (T)), 0);
    }

    if (__builtin_cpu_supports ("avx512f"))
    {
        (VectorMath::Kernels::avx512().*c.kernel) (avx512.data(), (int) avx512.size());
        EXPECT_EQ (std::memcmp (avx512.data(), sse2.data(), sse2.size() * sizeof (T)), 0);
    }
}

TEST (VectorMath, EveryInstructionSetGivesTheSameBits)
{
    forEveryCase ([] (const auto& c)
                  { checkSameBits (c); });
}

template <typename T>
void checkScalarPath (const FunctionCase<T>& c)
{
    SCOPED_TRACE (c.name);
    const auto input = sweep (c, 1001);
    auto values = input;
    VectorMath::useScalarPath (true);
    c.engineCall (values.data(), (int) values.size());
    EXPECT_STREQ (VectorMath::instructionSet(), "scalar");
    VectorMath::useScalarPath (false);

    for (size_t i = 0; i < values.size(); ++i)
        ASSERT_EQ (values[i], c.platform (input[i])) << input[i];
}

TEST (VectorMath, ScalarPathIsThePlatformFunction)
{
    forEveryCase ([] (const auto& c)
                  { checkScalarPath (c); });
}
} // namespace
