#include "dsp/BreadLayer.h"
#include "processor/PluginProcessor.h"
#include "support/ParameterValues.h"

#include <gtest/gtest.h>

using namespace morsello;

namespace
{
TEST (ParameterSet, LayoutMatchesTheTable)
{
    struct Expected
    {
        const char* id;
        const char* name;
        bool isChoice;
        float start, end, interval, defaultValue;
        const char* label;
    };

    const Expected table[] {
        { "breadType", "Bread type", true, 0, 12, 1, 0, "" },
        { "breadMode", "Bread mode", true, 0, 2, 1, 0, "" },
        { "fillingType", "Filling type", true, 0, 8, 1, 0, "" },
        { "left1", "left1", false, 0, 1, 0.001f, 0.5f, "" },
        { "left2", "left2", false, 0, 1, 0.001f, 0.5f, "" },
        { "left3", "left3", false, 0, 1, 0.001f, 0.5f, "" },
        { "right1", "right1", false, 0, 1, 0.001f, 0.5f, "" },
        { "right2", "right2", false, 0, 1, 0.001f, 0.5f, "" },
        { "right3", "right3", false, 0, 1, 0.001f, 0.5f, "" },
        { "fill1", "fill1", false, 0, 1, 0.001f, 0.5f, "" },
        { "fill2", "fill2", false, 0, 1, 0.001f, 0.5f, "" },
        { "fill3", "fill3", false, 0, 1, 0.001f, 0.5f, "" },
        { "fill4", "fill4", false, 0, 1, 0.001f, 0.5f, "" },
        { "toast", "toast", false, 0, 1, 0.001f, 0.5f, "" },
        { "bite", "bite", false, 0, 1, 0.001f, 0.5f, "" },
        { "output", "Output", false, -18, 6, 0.1f, 0, "dB" },
    };

    MorselloAudioProcessor processor;
    const auto& parameters = processor.getParameters();
    ASSERT_EQ (parameters.size(), 16);

    for (int i = 0; i < 16; ++i)
    {
        const auto& expected = table[i];
        SCOPED_TRACE (expected.id);

        auto* parameter = dynamic_cast<juce::RangedAudioParameter*> (parameters[i]);
        ASSERT_NE (parameter, nullptr);

        EXPECT_EQ (juce::String (kParameterIds[(size_t) i]), expected.id);
        EXPECT_EQ (parameter->getParameterID(), expected.id);
        EXPECT_EQ (parameter->getVersionHint(), 1);
        EXPECT_EQ (parameter->getName (100), expected.name);
        EXPECT_EQ (parameter->getLabel(), expected.label);
        EXPECT_EQ (dynamic_cast<juce::AudioParameterChoice*> (parameter) != nullptr, expected.isChoice);
        EXPECT_TRUE (parameter->isAutomatable());
        EXPECT_FALSE (parameter->isMetaParameter());
        EXPECT_FALSE (parameter->isOrientationInverted());
        EXPECT_EQ (parameter->getCategory(), juce::AudioProcessorParameter::genericParameter);

        const auto& range = parameter->getNormalisableRange();
        EXPECT_FLOAT_EQ (range.start, expected.start);
        EXPECT_FLOAT_EQ (range.end, expected.end);
        EXPECT_FLOAT_EQ (range.interval, expected.interval);
        EXPECT_FLOAT_EQ (range.skew, 1.0f);
        EXPECT_FALSE (range.symmetricSkew);
        EXPECT_FLOAT_EQ (parameter->convertFrom0to1 (parameter->getDefaultValue()), expected.defaultValue);
    }
}

TEST (ParameterSet, ChoiceListsHoldTheKindsAndModes)
{
    EXPECT_EQ (kBreadTypeNames, juce::StringArray ({ "filter", "drive", "chorus", "echo", "granular", "reverb", "delay",
                                                     "lo-fi", "smear", "ring mod", "wavefold", "resonator", "orbit" }));
    EXPECT_EQ (kFillingTypeNames, juce::StringArray ({ "granular", "reverb", "delay", "lo-fi", "smear",
                                                       "ring mod", "wavefold", "resonator", "orbit" }));
    EXPECT_EQ (kBreadModeNames, juce::StringArray ({ "link", "mirror", "free" }));

    // The engine counts the same kinds and modes as the lists name.
    EXPECT_EQ (kBreadTypeNames.size(), kNumBreadTypes);
    EXPECT_EQ (kFillingTypeNames.size(), kNumFillingTypes);
    EXPECT_EQ (kBreadModeNames.size(), kNumBreadModes);

    // A bread kind that runs in the effect engine runs the filling kind of the same name.
    for (int kind = 0; kind < kBreadTypeNames.size(); ++kind)
    {
        if (runsInEffectEngine (kind))
        {
            EXPECT_EQ (kFillingTypeNames[(int) kBreadRoutes[(size_t) kind].effectKind], kBreadTypeNames[kind]) << kind;
        }
    }
}

TEST (ParameterSet, SetParameterValueSnapsToLegalValues)
{
    struct Case
    {
        const char* id;
        float requested, stored;
    };

    const Case cases[] {
        { "breadMode", 2.6f, 2.0f },
        { "breadMode", -1.0f, 0.0f },
        { "breadMode", 1.4f, 1.0f },
        { "breadType", 40.0f, 12.0f },
        { "fillingType", 4.6f, 5.0f },
        { "left1", 1.7f, 1.0f },
        { "left1", -0.3f, 0.0f },
        { "left2", 0.12349f, 0.123f },
        { "left2", 0.12351f, 0.124f },
        { "output", -30.0f, -18.0f },
        { "output", 9.0f, 6.0f },
        { "output", -3.04f, -3.0f },
        { "output", -3.06f, -3.1f },
    };

    MorselloAudioProcessor processor;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.id) + " <- " + juce::String (c.requested));
        processor.setParameterValue (c.id, c.requested);
        EXPECT_NEAR (rawValue (processor, c.id), c.stored, 1.0e-5f);
    }
}

TEST (ParameterSet, UnknownIdChangesNothing)
{
    MorselloAudioProcessor processor;
    juce::MemoryBlock before, after;
    processor.getStateInformation (before);

    processor.setParameterValue ("nonsense", 0.3f);
    processor.setParameterValue ("", 0.3f);
    processor.setParameterValue ("Left1", 0.3f); // IDs are case-sensitive

    processor.getStateInformation (after);
    EXPECT_EQ (before, after);
}
} // namespace
