#include "processor/state/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace morsello;

// Ordinary number texts read exactly as the framework's own conversion reads them (the values a
// host chunk or recipe file held before the checked reader came in must not move by a bit).
TEST (NumberText, ReadsOrdinaryTextLikeTheFramework)
{
    const char* texts[] {
        "0.6800000071525574", "0.68", "1", "-18", "12", "2.6", "-3", "0", "-0", "+0.25", " \t0.5",
        ".5", "5.", "1e3", "1E-3", "2.5e+2", "0.5abc", "7 8", "abc", "", "-", "--1", "1e", "1e+",
        "0x7f", "99999999999", "1e39", "-1e39", "1e-45", "123456789012345678901234567890",
        "1e308", "1e-300",
    };

    for (const auto* text : texts)
        EXPECT_EQ (NumberText::readNumber (text), juce::String (text).getDoubleValue()) << '"' << text << '"';
}

// Long exponents (on which the framework's conversion overflows an int), magnitudes beyond a
// double's range and the non-finite words. The last two cases are read exactly, where the
// framework's conversion reads 0 (it counts zeros after the point among the 17 digits it keeps,
// and gives no value below 1e-308).
TEST (NumberText, ReadsExtremeTextWithoutOverflow)
{
    const auto inf = std::numeric_limits<double>::infinity();
    const struct
    {
        const char* text;
        double expected;
    } cases[] {
        { "0E3900000154972076", 0.0 },
        { "1e400", inf },
        { "-1e400", -inf },
        { "0.001e309", 1e306 },
        { "1e-400", 0.0 },
        { "-1e-400", -0.0 },
        { "1e99999999999999999999999", inf },
        { "1e-99999999999999999999999", 0.0 },
        { "123456789e-99999999999999", 0.0 },
        { "inf", inf },
        { "-INF", -inf },
        { "Infinity", inf },
        { "0.000000000000000000000000000001234", 1.234e-30 },
        { "4.9e-324", 4.9e-324 },
    };

    for (const auto& c : cases)
    {
        const auto value = NumberText::readNumber (c.text);
        EXPECT_EQ (value, c.expected) << c.text;
        EXPECT_EQ (std::signbit (value), std::signbit (c.expected)) << c.text;
    }

    EXPECT_TRUE (std::isnan (NumberText::readNumber ("nan")));
    EXPECT_TRUE (std::isnan (NumberText::readNumber (" -NaN")));
}

TEST (NumberText, IndexIsPlainDigitsWithinTheirCount)
{
    const struct
    {
        const char* text;
        int expected;
    } cases[] {
        { "0", 0 }, { "7", 7 }, { "15", 15 }, { "07", 7 }, { "123", -1 }, { "", -1 }, { "-1", -1 },
        { "+1", -1 }, { " 1", -1 }, { "1 ", -1 }, { "1a", -1 }, { "a", -1 }, { "1.0", -1 },
    };

    for (const auto& c : cases)
        EXPECT_EQ (NumberText::readIndex (c.text, 2), c.expected) << '"' << c.text << '"';
}
