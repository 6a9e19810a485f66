#include "support/EditorFixture.h"

#include "look/Palette.h"

#include <cmath>

using namespace morsello;

namespace
{
// Meter geometry at 1672 x 941, where the design grid is the window: the input meter's bars
// start at x 84 and are 272 wide (28 segments of 9.71 px), the L row is centred near y 690 and
// the R row near y 715; the output meter is 1266 px further right.
constexpr float barLeft = 84.0f;
constexpr float barWidth = 272.0f;
constexpr int rowY[2] { 690, 715 };
constexpr int outputOffset = 1266;

juce::Colour pixelOfSegment (const juce::Image& image, int firstChannel, int row, int segment)
{
    const auto x = barLeft + barWidth * (float) segment / 28.0f + 4.0f;
    return image.getPixelAt ((int) x + (firstChannel == 2 ? outputOffset : 0), rowY[row]);
}

bool isLit (juce::Colour c)
{
    return juce::jmax (c.getRed(), c.getGreen(), c.getBlue()) > 150;
}

bool isDark (juce::Colour c)
{
    return juce::jmax (c.getRed(), c.getGreen(), c.getBlue()) < 70;
}

// The hold marker is 2 px wide at the held peak's place on the bar, kept inside the bar's end.
juce::Colour markerPixel (const juce::Image& image, float heldPeak)
{
    const auto x = barLeft + juce::jmin (meterFraction (heldPeak) * barWidth, barWidth - 2.0f);
    return image.getPixelAt ((int) x + 1, rowY[0]);
}

int countLit (const juce::Image& image, int firstChannel, int row)
{
    int lit = 0;

    for (int j = 0; j < 28; ++j)
    {
        const auto c = pixelOfSegment (image, firstChannel, row, j);
        EXPECT_TRUE (isLit (c) || isDark (c)) << "segment " << j << " is neither lit nor dark: " << c.toDisplayString (true);
        lit += isLit (c) ? 1 : 0;
    }

    return lit;
}

class MeterTest : public EditorTest
{
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        editor->setSize (1672, 941);
    }

    void tickWith (std::array<float, 4> peaks)
    {
        for (int c = 0; c < 4; ++c)
            processor.getLevelMeters().raise (c, peaks[(size_t) c]);

        access->tick();
    }

    juce::Image snapshot() { return editor->createComponentSnapshot (editor->getLocalBounds()); }
};
} // namespace

// A single 0.5 peak on the left input: the bar falls by 0.86 per tick from the first tick, the
// held peak stays for 36 ticks and then falls by 0.94 per tick.
TEST_F (MeterTest, SinglePeakIsHeldThenFalls)
{
    tickWith ({ 0.5f, 0.0f, 0.0f, 0.0f });

    struct Row
    {
        int tick; // ticks since the peak's tick
        float heldPeak;
        const char* text;
    };

    const Row rows[] { { 0, 0.5f, "-6.0 dB" }, { 1, 0.5f, "-6.0 dB" }, { 35, 0.5f, "-6.0 dB" }, { 36, 0.5f, "-6.0 dB" }, { 37, 0.47f, "-6.6 dB" }, { 38, 0.4418f, "-7.1 dB" } };

    int tick = 0;

    for (const auto& row : rows)
    {
        for (; tick < row.tick; ++tick)
            tickWith ({});

        const auto& m = editor->getMeterState();
        EXPECT_NEAR (m.heldPeak[0], row.heldPeak, 1.0e-6f) << "tick " << row.tick;
        EXPECT_EQ (meterPeakText (juce::jmax (m.heldPeak[0], m.heldPeak[1])), row.text) << "tick " << row.tick;
        EXPECT_NEAR (m.displayLevel[0], 0.5 * std::pow (0.86, row.tick), 1.0e-5) << "tick " << row.tick;
        EXPECT_EQ (m.clipTicks[0], 0);
    }
}

TEST_F (MeterTest, FullScaleLightsEverySegmentAndShowsClipFor45Ticks)
{
    tickWith ({ 1.0f, 1.0f, 0.0f, 0.0f });

    auto image = snapshot();
    EXPECT_EQ (countLit (image, 0, 0), 28);
    EXPECT_EQ (countLit (image, 0, 1), 28);
    EXPECT_EQ (meterPeakText (editor->getMeterState().heldPeak[0]), "0.0 dB");

    // The hold marker: orangered while clipping is shown, cream afterwards, wherever the
    // falling held peak has taken it.
    const auto marker = [&]
    { return markerPixel (snapshot(), editor->getMeterState().heldPeak[0]); };
    EXPECT_EQ (marker(), juce::Colours::orangered);

    for (int tick = 1; tick <= 44; ++tick)
        tickWith ({});

    EXPECT_EQ (editor->getMeterState().clipTicks[0], 1);
    EXPECT_EQ (marker(), juce::Colours::orangered) << "44 ticks after the last full-scale peak";

    tickWith ({});
    EXPECT_EQ (editor->getMeterState().clipTicks[0], 0);
    EXPECT_EQ (marker(), Palette::cream) << "45 ticks after the last full-scale peak";
}

TEST (MeterDisplay, ClipStartsAt0999AndEachNewPeakRestartsTheCount)
{
    struct Case
    {
        float peak;
        int clipTicks;
    };

    for (const auto& c : { Case { 0.999f, 45 }, Case { 1.5f, 45 }, Case { 0.9989f, 0 }, Case { 0.5f, 0 } })
    {
        MeterDisplayState m;
        m.update (0, c.peak);
        EXPECT_EQ (m.clipTicks[0], c.clipTicks) << c.peak;
    }

    MeterDisplayState m;
    m.update (0, 1.0f);

    for (int i = 0; i < 20; ++i)
        m.update (0, 0.0f);

    m.update (0, 0.9995f);
    EXPECT_EQ (m.clipTicks[0], 45);
}

TEST_F (MeterTest, SilenceShowsNothing)
{
    for (int tick = 0; tick < 3; ++tick)
        tickWith ({});

    const auto image = snapshot();

    for (int firstChannel : { 0, 2 })
    {
        for (int row : { 0, 1 })
        {
            EXPECT_EQ (countLit (image, firstChannel, row), 0) << "meter " << firstChannel << " row " << row;

            // No hold marker at the bar's left end either.
            const auto left = image.getPixelAt ((int) barLeft + (firstChannel == 2 ? outputOffset : 0), rowY[row]);
            EXPECT_TRUE (isDark (left)) << left.toDisplayString (true);
        }
    }

    EXPECT_EQ (meterPeakText (editor->getMeterState().heldPeak[0]), "-inf dB");
    EXPECT_EQ (meterPeakText (editor->getMeterState().heldPeak[3]), "-inf dB");
}

// A mono signal reaches channel 0 and 2 only: the L rows move, the R rows stay dark, and the
// peak texts follow the L channel.
TEST_F (MeterTest, MonoMovesOnlyTheLeftRows)
{
    tickWith ({ 0.5f, 0.0f, 0.25f, 0.0f });

    const auto image = snapshot();

    // -6.0 dB fills 0.8997 of the bar: segments 0..25 light; -12.0 dB fills 0.7993: 0..22.
    EXPECT_EQ (countLit (image, 0, 0), 26);
    EXPECT_EQ (countLit (image, 0, 1), 0);
    EXPECT_EQ (countLit (image, 2, 0), 23);
    EXPECT_EQ (countLit (image, 2, 1), 0);

    const auto& m = editor->getMeterState();
    EXPECT_EQ (meterPeakText (juce::jmax (m.heldPeak[0], m.heldPeak[1])), "-6.0 dB");
    EXPECT_EQ (meterPeakText (juce::jmax (m.heldPeak[2], m.heldPeak[3])), "-12.0 dB");
}

TEST (MeterDisplay, FractionMapsMinus60To0DecibelsOntoTheBar)
{
    struct Case
    {
        float level, fraction;
    };

    for (const auto& c : { Case { 0.0f, 0.0f }, Case { -0.5f, 0.0f }, Case { 0.001f, 0.0f }, Case { 0.0005f, 0.0f },
                           Case { 0.01f, 1.0f / 3.0f }, Case { 1.0f, 1.0f }, Case { 4.0f, 1.0f } })
        EXPECT_NEAR (meterFraction (c.level), c.fraction, 1.0e-6f) << c.level;

    // Anything above -60 dB lights the first segment.
    EXPECT_GT (meterFraction (0.0011f), 0.0f);
}
