#include "recipes/ChefsChoice.h"
#include "processor/PluginProcessor.h"
#include "support/GestureRecorder.h"
#include "support/ParameterValues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

using namespace morsello;

namespace
{
// Hands out a fixed list of outputs, so the rare redraw of the bounded integer can be forced.
struct ScriptedEngine
{
    std::uint32_t operator()()
    {
        return outputs.at (next++);
    }

    std::vector<std::uint32_t> outputs;
    size_t next = 0;
};

// The default-seeded generator's first outputs: 3499211612, 581869302, 3890346734, 3586334585,
// 545404204, 4161255391, 3922919429, ...
constexpr std::uint32_t defaultSeed = 5489;

TEST (ChefsChoiceDraws, BoundedIntegerMatchesHandComputedResults)
{
    // Without a redraw the result is floor (x * n / 2^32) of one output.
    struct Case
    {
        std::uint32_t n;
        std::array<std::uint32_t, 6> expected;
    };

    const Case cases[] {
        { 13, { 10, 1, 11, 10, 1, 12 } },
        { 9, { 7, 1, 8, 7, 1, 8 } },
        { 3, { 2, 0, 2, 2, 0, 2 } },
    };

    for (const auto& c : cases)
    {
        std::mt19937 engine { defaultSeed };

        for (size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_EQ (ChefsChoice::drawBelow (engine, c.n), c.expected[i]) << "n " << c.n << ", draw " << i;
    }

    // n = 3 * 2^30: the low half is (3x mod 4) * 2^30 and the threshold (2^32 - n) mod n is 2^30,
    // so exactly the outputs divisible by 4 are redrawn, and a result is floor (3x / 4).
    // 3499211612 and 545404204 are divisible by 4; 581869302 (low half 2^31 < n) enters the
    // check but is kept.
    {
        std::mt19937 engine { defaultSeed };
        const std::uint32_t n = 3u << 30;

        EXPECT_EQ (ChefsChoice::drawBelow (engine, n), 436401976u);  // 581869302 after a redraw
        EXPECT_EQ (ChefsChoice::drawBelow (engine, n), 2917760050u); // 3890346734
        EXPECT_EQ (ChefsChoice::drawBelow (engine, n), 2689750938u); // 3586334585
        EXPECT_EQ (ChefsChoice::drawBelow (engine, n), 3120941543u); // 4161255391 after a redraw
        EXPECT_EQ (engine(), 3922919429u) << "six outputs should have been used";
    }

    // Small n with crafted outputs: for n = 13 the threshold is 2^32 mod 13 = 9. Outputs 0 and
    // 330382100 give low halves 0 and 4 (redrawn); 2^31 gives high 6.
    {
        ScriptedEngine engine { { 0u, 330382100u, 1u << 31 } };
        EXPECT_EQ (ChefsChoice::drawBelow (engine, 13), 6u);
        EXPECT_EQ (engine.next, 3u);
    }

    // 2973438898 * 13 = 9 * 2^32 + 10: a low half below n but not below the threshold is kept.
    {
        ScriptedEngine engine { { 2973438898u, 0u } };
        EXPECT_EQ (ChefsChoice::drawBelow (engine, 13), 9u);
        EXPECT_EQ (engine.next, 1u);
    }

    std::mt19937 engine { defaultSeed };
    EXPECT_EQ (ChefsChoice::uniformInteger (engine, -6, 6), 4); // -6 + 10
    EXPECT_EQ (ChefsChoice::uniformInteger (engine, 100, 100), 100);
}

TEST (ChefsChoiceDraws, KnobValueUsesTheTop24BitsInSinglePrecision)
{
    struct Case
    {
        std::uint32_t output;
        float expected;
    };

    const Case cases[] {
        { 0x00000000u, 0.12f },
        { 0x000000ffu, 0.12f }, // the low 8 bits play no part
        { 0x00000100u, 0.12000004202127457f },
        { 0x80000000u, 0.5f },
        { 0xffffffffu, 0.8799999356269836f }, // the top stays below 0.88f
        { 3499211612u, 0.7391899824142456f },
    };

    for (const auto& c : cases)
        EXPECT_EQ (ChefsChoice::knobValue (c.output), c.expected) << c.output;
}

TEST (ChefsChoiceClick, KnownSeedGivesTheHandComputedRecipesInOrder)
{
    MorselloAudioProcessor processor;
    processor.applyFactoryRecipe (9);
    processor.setParameterValue ("output", -4.2f);
    const auto outputBefore = rawValue (processor, "output");

    GestureRecorder recorder;
    processor.addListener (&recorder);
    processor.getRandomGenerator().seed (defaultSeed);

    // Choices from outputs 0..2 (the filling before the mode), knobs from outputs 3..14 and
    // 18..29, each knob value snapped to its 0.001 step.
    struct Click
    {
        int breadType, fillingType, breadMode;
        std::array<int, 12> knobThousandths; // left1..3, right1..3, fill1..4, toast, bite
    };

    const Click clicks[] {
        { 10, 1, 2, { 755, 217, 856, 814, 288, 601, 354, 194, 536, 332, 263, 536 } },
        { 12, 8, 2, { 853, 855, 240, 672, 858, 866, 847, 203, 489, 727, 728, 346 } },
    };

    for (const auto& click : clicks)
    {
        recorder.events.clear();
        EXPECT_EQ (ChefsChoice::randomise (processor), "chef's choice");

        const auto values = parameterValues (processor);
        EXPECT_EQ (values[toIndex (ParameterIndex::breadType)], (float) click.breadType);
        EXPECT_EQ (values[toIndex (ParameterIndex::fillingType)], (float) click.fillingType);
        EXPECT_EQ (values[toIndex (ParameterIndex::breadMode)], (float) click.breadMode);

        for (int k = 0; k < 12; ++k)
            EXPECT_NEAR (values[(size_t) (firstKnobIndex + k)], (float) click.knobThousandths[(size_t) k] * 0.001f, 1.0e-6f)
                << kParameterIds[(size_t) (firstKnobIndex + k)];

        EXPECT_EQ (values[toIndex (ParameterIndex::output)], outputBefore);

        // One gesture per parameter, the three choices first with the filling before the mode.
        const auto expected = GestureRecorder::gesturesFor ({ "breadType", "fillingType", "breadMode", "left1", "left2", "left3",
                                                              "right1", "right2", "right3", "fill1", "fill2", "fill3", "fill4",
                                                              "toast", "bite" });

        EXPECT_EQ (recorder.events.joinIntoString (", "), expected.joinIntoString (", "));

        EXPECT_EQ (processor.getCurrentProgram(), 9);
    }

    processor.removeListener (&recorder);
}

// Chi-square statistic of counts against a uniform expectation.
double chiSquare (const std::vector<int>& counts, int total)
{
    const auto expected = (double) total / (double) counts.size();
    double sum = 0.0;

    for (const auto count : counts)
        sum += ((double) count - expected) * ((double) count - expected) / expected;

    return sum;
}

TEST (ChefsChoiceClick, ManyClicksStayInBandAndSpreadEvenly)
{
    MorselloAudioProcessor processor;
    processor.setParameterValue ("output", 3.5f);
    const auto outputBefore = rawValue (processor, "output");
    processor.getRandomGenerator().seed (20261210u);

    std::vector<int> breadCounts ((size_t) kBreadTypeNames.size()),
        fillingCounts ((size_t) kFillingTypeNames.size()),
        modeCounts ((size_t) kBreadModeNames.size());
    float lowestKnob = 1.0f, highestKnob = 0.0f;
    int misplacedKnobs = 0, misplacedChoices = 0;

    constexpr int clicks = 6000;

    for (int click = 0; click < clicks; ++click)
    {
        ChefsChoice::randomise (processor);
        const auto values = parameterValues (processor);

        auto count = [&misplacedChoices] (std::vector<int>& counts, float value)
        {
            const auto index = (int) value;

            if ((float) index != value || index < 0 || index >= (int) counts.size())
                ++misplacedChoices;
            else
                ++counts[(size_t) index];
        };

        count (breadCounts, values[toIndex (ParameterIndex::breadType)]);
        count (fillingCounts, values[toIndex (ParameterIndex::fillingType)]);
        count (modeCounts, values[toIndex (ParameterIndex::breadMode)]);

        for (int index = firstKnobIndex; index <= lastKnobIndex; ++index)
        {
            const auto value = values[(size_t) index];
            const auto thousandths = value * 1000.0f;

            if (value < 0.12f - 1.0e-6f || value > 0.88f + 1.0e-6f || std::abs (thousandths - std::round (thousandths)) > 1.0e-3f)
                ++misplacedKnobs;

            lowestKnob = std::min (lowestKnob, value);
            highestKnob = std::max (highestKnob, value);
        }

        ASSERT_EQ (values[toIndex (ParameterIndex::output)], outputBefore) << "click " << click;
    }

    EXPECT_EQ (misplacedKnobs, 0);
    EXPECT_EQ (misplacedChoices, 0);

    // Both ends of the band are reached (each end step is about 1 in 1500 draws).
    EXPECT_NEAR (lowestKnob, 0.12f, 1.0e-6f);
    EXPECT_NEAR (highestKnob, 0.88f, 1.0e-6f);

    // Loose bounds, far above the 99.9th percentiles (32.9, 26.1, 13.8 for 12, 8 and 2 degrees of
    // freedom): they catch a kind that never or rarely comes up, not ordinary scatter.
    EXPECT_LT (chiSquare (breadCounts, clicks), 40.0);
    EXPECT_LT (chiSquare (fillingCounts, clicks), 35.0);
    EXPECT_LT (chiSquare (modeCounts, clicks), 20.0);

    for (const auto* counts : { &breadCounts, &fillingCounts, &modeCounts })
        for (size_t i = 0; i < counts->size(); ++i)
            EXPECT_GT ((*counts)[i], 0) << "index " << i << " never drawn";
}

TEST (ChefsChoiceClick, TwoInstancesDrawDifferentRecipes)
{
    MorselloAudioProcessor first, second;

    ChefsChoice::randomise (first);
    ChefsChoice::randomise (second);

    // Fifteen values agreeing by chance is far less likely than one in 10^30.
    EXPECT_NE (parameterValues (first), parameterValues (second));
}
} // namespace
