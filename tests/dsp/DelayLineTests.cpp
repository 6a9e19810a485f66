#include "dsp/DelayLine.h"

#include <gtest/gtest.h>

using namespace morsello;

namespace
{
// A line of 8 samples holding 10, 11, ..., 17, so every read names its neighbours.
DelayLine makeNumberedLine()
{
    DelayLine line;
    line.prepare (8);

    for (int i = 0; i < 8; ++i)
        line[i] = 10.0f + (float) i;

    return line;
}

struct ReadCase
{
    float position;
    float expected;
};

class DelayLineReadTest : public testing::TestWithParam<ReadCase>
{
};

TEST_P (DelayLineReadTest, WrapsAndInterpolates)
{
    const auto line = makeNumberedLine();
    const auto& c = GetParam();
    EXPECT_FLOAT_EQ (line.readInterpolated (c.position), c.expected) << "position " << c.position;
}

INSTANTIATE_TEST_SUITE_P (Positions, DelayLineReadTest,
                          testing::Values (ReadCase { 0.0f, 10.0f },
                                           ReadCase { 2.25f, 12.25f },
                                           // The sample after the last is sample 0.
                                           ReadCase { 7.5f, 17.0f + (10.0f - 17.0f) * 0.5f },
                                           // Negative positions count back from the end.
                                           ReadCase { -1.0f, 17.0f },
                                           ReadCase { -0.25f, 17.0f + (10.0f - 17.0f) * 0.75f },
                                           ReadCase { -9.0f, 17.0f },
                                           // One length or more past the end wraps to the start.
                                           ReadCase { 8.0f, 10.0f },
                                           ReadCase { 19.5f, 13.5f }));

TEST (DelayLine, FarPositionsStillReturnASampleFromTheLine)
{
    // Positions this large would leave the wrapping loops crawling (or, beyond the float step
    // of the length, never finishing); the read must still come back with a value in range.
    const auto line = makeNumberedLine();

    for (const auto position : { 1.0e9f, -3.0e12f, 4.0e15f })
    {
        const auto value = line.readInterpolated (position);
        EXPECT_GE (value, 10.0f) << "position " << position;
        EXPECT_LE (value, 17.0f) << "position " << position;
    }
}
} // namespace
