#include "processor/PluginProcessor.h"
#include "processor/programs/FactoryRecipes.h"
#include "support/GestureRecorder.h"
#include "support/ParameterValues.h"

#include <gtest/gtest.h>

using namespace morsello;

namespace
{
// The recipe book as published, transcribed apart from the code's table so that a slip in
// either shows up: values in kParameterIds order, without the output.
struct PublishedRecipe
{
    const char* name;
    std::array<double, 15> values;
};

const PublishedRecipe publishedRecipes[] {
    { "soft centre", { 0, 0, 0, 0.68, 0.38, 0.72, 0.68, 0.38, 0.72, 0.58, 0.31, 0.64, 0.56, 0.18, 0.45 } },
    { "toasted cloud", { 1, 0, 1, 0.27, 0.61, 0.66, 0.27, 0.61, 0.66, 0.76, 0.67, 0.43, 0.73, 0.46, 0.54 } },
    { "inside out", { 0, 1, 4, 0.23, 0.71, 0.78, 0.77, 0.29, 0.78, 0.72, 0.82, 0.61, 0.66, 0.21, 0.58 } },
    { "jam tomorrow", { 2, 0, 2, 0.34, 0.57, 0.52, 0.34, 0.57, 0.52, 0.48, 0.64, 0.35, 0.58, 0.13, 0.42 } },
    { "crumbs in orbit", { 3, 1, 0, 0.66, 0.49, 0.45, 0.34, 0.51, 0.45, 0.24, 0.78, 0.81, 0.71, 0.27, 0.63 } },
    { "midnight picnic", { 0, 2, 1, 0.38, 0.64, 0.68, 0.81, 0.23, 0.58, 0.91, 0.42, 0.28, 0.69, 0.33, 0.51 } },
    { "bitten tape", { 1, 2, 3, 0.51, 0.29, 0.57, 0.22, 0.73, 0.69, 0.67, 0.53, 0.72, 0.62, 0.41, 0.47 } },
    { "two crusts", { 3, 0, 2, 0.41, 0.52, 0.36, 0.41, 0.52, 0.36, 0.29, 0.77, 0.58, 0.49, 0.11, 0.38 } },
    { "amber filling", { 2, 1, 4, 0.19, 0.76, 0.61, 0.81, 0.24, 0.61, 0.86, 0.36, 0.73, 0.74, 0.25, 0.59 } },
    { "wrong lunch", { 1, 2, 0, 0.73, 0.18, 0.49, 0.31, 0.82, 0.62, 0.39, 0.91, 0.44, 0.78, 0.58, 0.68 } },
    { "quiet deli", { 0, 0, 1, 0.79, 0.21, 0.76, 0.79, 0.21, 0.76, 0.63, 0.24, 0.57, 0.45, 0.08, 0.31 } },
    { "chef's mistake", { 2, 2, 3, 0.72, 0.44, 0.67, 0.28, 0.84, 0.42, 0.81, 0.61, 0.39, 0.83, 0.49, 0.72 } },
    { "alien cutlery", { 0, 0, 5, 0.85, 0.2, 0.2, 0.85, 0.2, 0.2, 0.45, 0.3, 0.5, 0.7, 0.1, 0.65 } },
    { "folded napkin", { 0, 0, 6, 0.8, 0.15, 0.2, 0.8, 0.15, 0.2, 0.42, 0.5, 0.6, 0.75, 0.08, 0.6 } },
    { "singing glass", { 0, 0, 7, 0.8, 0.2, 0.15, 0.8, 0.2, 0.15, 0.48, 0.87, 0.2, 0.8, 0.06, 0.65 } },
    { "orbiting crumbs", { 2, 0, 8, 0.15, 0.3, 0.25, 0.15, 0.3, 0.25, 0.45, 0.9, 1, 1, 0.06, 0.85 } },
};

TEST (FactoryRecipes, EveryRecipeSetsItsPublishedValuesAndLeavesTheOutput)
{
    MorselloAudioProcessor processor;
    processor.setParameterValue ("output", -5.5f);

    ASSERT_EQ (processor.getNumPrograms(), 16);

    for (int index = 0; index < 16; ++index)
    {
        const auto& published = publishedRecipes[index];
        SCOPED_TRACE (published.name);

        processor.applyFactoryRecipe (index);

        EXPECT_EQ (processor.getCurrentProgram(), index);
        EXPECT_EQ (processor.getProgramName (index), published.name);
        EXPECT_STREQ (kFactoryRecipes[(size_t) index].name, published.name);

        for (size_t i = 0; i < published.values.size(); ++i)
        {
            // What the parameter stores is the decimal's nearest float, snapped to its step.
            const auto& range = processor.getParameterTree().getParameter (kParameterIds[i])->getNormalisableRange();
            EXPECT_EQ (rawValue (processor, kParameterIds[i]), range.snapToLegalValue ((float) published.values[i]))
                << kParameterIds[i];
        }

        EXPECT_FLOAT_EQ (rawValue (processor, "output"), -5.5f);
    }
}

TEST (FactoryRecipes, LinkAndMirrorRecipesStoreMatchingRightKnobs)
{
    for (const auto& recipe : kFactoryRecipes)
    {
        SCOPED_TRACE (recipe.name);

        if (recipe.breadMode == BreadMode::link)
        {
            EXPECT_EQ (recipe.right, recipe.left);
        }

        if (recipe.breadMode == BreadMode::mirror)
        {
            EXPECT_NEAR (recipe.right[0], 1.0f - recipe.left[0], 1.0e-6f);
            EXPECT_NEAR (recipe.right[1], 1.0f - recipe.left[1], 1.0e-6f);
            EXPECT_EQ (recipe.right[2], recipe.left[2]);
        }
    }
}

TEST (FactoryRecipes, ApplyingMakesOneGesturePerParameterInOrder)
{
    MorselloAudioProcessor processor;
    processor.applyFactoryRecipe (3);

    GestureRecorder recorder;
    processor.addListener (&recorder);
    processor.applyFactoryRecipe (3); // the same values again: still every parameter is set
    processor.removeListener (&recorder);

    EXPECT_EQ (recorder.events, GestureRecorder::gesturesFor ({ "breadType", "breadMode", "fillingType",
                                                                "left1", "right1", "left2", "right2", "left3", "right3",
                                                                "fill1", "fill2", "fill3", "fill4", "toast", "bite" }));
}

// A recipe chosen in the editor must reach the host's program list, or the host saves a stale
// program and selects it again when the project is reopened, over the restored values. The
// host's own selection is not echoed back to it.
TEST (FactoryRecipes, OnlyRecipesChosenInsideThePlugInAnnounceAProgramChange)
{
    struct ProgramChanges final : juce::AudioProcessorListener
    {
        void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override {}
        void audioProcessorChanged (juce::AudioProcessor* processor, const ChangeDetails& details) override
        {
            if (details.programChanged)
                programs.push_back (processor->getCurrentProgram());
        }

        std::vector<int> programs;
    };

    MorselloAudioProcessor processor;
    ProgramChanges changes;
    processor.addListener (&changes);

    processor.applyFactoryRecipe (12);
    processor.setCurrentProgram (4);
    processor.applyFactoryRecipe (16);

    juce::MemoryBlock chunk;
    MorselloAudioProcessor other;
    other.applyFactoryRecipe (7);
    other.getStateInformation (chunk);
    processor.setStateInformation (chunk.getData(), (int) chunk.getSize());

    processor.removeListener (&changes);
    EXPECT_EQ (changes.programs, (std::vector<int> { 12, 7 }));
}

TEST (FactoryRecipes, IndicesOutsideTheBookChangeNothing)
{
    MorselloAudioProcessor processor;
    processor.setCurrentProgram (5);

    juce::MemoryBlock before;
    processor.getStateInformation (before);

    GestureRecorder recorder;
    processor.addListener (&recorder);

    for (const int index : { 16, -1, 1000, std::numeric_limits<int>::min() })
    {
        processor.setCurrentProgram (index);
        EXPECT_EQ (processor.getCurrentProgram(), 5) << index;
        EXPECT_EQ (processor.getProgramName (index), juce::String()) << index;
    }

    processor.removeListener (&recorder);
    EXPECT_TRUE (recorder.events.isEmpty());

    juce::MemoryBlock after;
    processor.getStateInformation (after);
    EXPECT_EQ (before, after);

    processor.changeProgramName (5, "renamed");
    EXPECT_EQ (processor.getProgramName (5), "midnight picnic");
}
} // namespace
