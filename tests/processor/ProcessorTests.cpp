#include "processor/PluginProcessor.h"
#include "recipes/ChefsChoice.h"
#include "processor/programs/FactoryRecipes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

using namespace morsello;

namespace
{
using Set = juce::AudioChannelSet;

juce::AudioProcessor::BusesLayout layout (std::initializer_list<Set> inputs, std::initializer_list<Set> outputs)
{
    juce::AudioProcessor::BusesLayout result;

    for (const auto& set : inputs)
        result.inputBuses.add (set);

    for (const auto& set : outputs)
        result.outputBuses.add (set);

    return result;
}

TEST (Processor, AcceptsMatchingMonoOrStereoOnly)
{
    struct Case
    {
        const char* what;
        juce::AudioProcessor::BusesLayout layout;
        bool accepted;
    };

    const Case cases[] {
        { "mono to mono", layout ({ Set::mono() }, { Set::mono() }), true },
        { "stereo to stereo", layout ({ Set::stereo() }, { Set::stereo() }), true },
        { "mono to stereo", layout ({ Set::mono() }, { Set::stereo() }), false },
        { "stereo to mono", layout ({ Set::stereo() }, { Set::mono() }), false },
        { "surround", layout ({ Set::create5point1() }, { Set::create5point1() }), false },
        { "output only", layout ({}, { Set::stereo() }), false },
        { "disabled input", layout ({ Set::disabled() }, { Set::stereo() }), false },
        { "no buses", layout ({}, {}), false },
    };

    MorselloAudioProcessor processor;

    for (const auto& c : cases)
        EXPECT_EQ (processor.isBusesLayoutSupported (c.layout), c.accepted) << c.what;
}

TEST (Processor, ReportsItsIdentityAndFixedAnswers)
{
    MorselloAudioProcessor processor;

    EXPECT_EQ (processor.getName(), JucePlugin_Name); // the name every format announces
    EXPECT_FALSE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_TRUE (processor.hasEditor());
    EXPECT_EQ (processor.getBusCount (true), 1);
    EXPECT_EQ (processor.getBusCount (false), 1);
    EXPECT_EQ (processor.getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (processor.getBus (false, 0)->getName(), "Output");
    EXPECT_EQ (processor.getTotalNumInputChannels(), 2);
    EXPECT_EQ (processor.getTotalNumOutputChannels(), 2);

    // The tail is the same whatever the kinds: also with none that rings.
    for (const int breadType : { 0, 1, 9 })
    {
        processor.setParameterValue ("breadType", (float) breadType);
        processor.setParameterValue ("fillingType", 5.0f);
        EXPECT_DOUBLE_EQ (processor.getTailLengthSeconds(), 4.0);
    }
}

TEST (Processor, NewInstanceStartsOnTheFirstRecipeAtUnityOutput)
{
    MorselloAudioProcessor processor;
    const auto& recipe = kFactoryRecipes[0];

    EXPECT_EQ (processor.getCurrentProgram(), 0);

    const float expected[] { (float) recipe.breadType, (float) recipe.breadMode, (float) recipe.fillingType,
                             recipe.left[0], recipe.left[1], recipe.left[2],
                             recipe.right[0], recipe.right[1], recipe.right[2],
                             recipe.fill[0], recipe.fill[1], recipe.fill[2], recipe.fill[3],
                             recipe.toast, recipe.bite, 0.0f };

    for (size_t i = 0; i < kParameterIds.size(); ++i)
        EXPECT_NEAR (processor.getParameterTree().getRawParameterValue (kParameterIds[i])->load(), expected[i], 1.0e-6f) << kParameterIds[i];
}

TEST (Processor, InstancesSeedTheirGeneratorsIndependently)
{
    MorselloAudioProcessor first, second;

    // Two 32-bit seeds from the random device coincide with probability 2^-32; comparing a few
    // outputs of each engine makes a false failure practically impossible.
    bool differ = false;

    for (int i = 0; i < 4; ++i)
        differ = differ || first.getRandomGenerator()() != second.getRandomGenerator()();

    EXPECT_TRUE (differ);
}
// Hosts call processBlock on their audio thread while the window, the host or a recipe file
// changes the settings on the message thread. The audio reads only the parameters' atomic
// values, so it must keep running, finite and under the ceiling, whatever happens meanwhile.
TEST (Processor, AudioKeepsRunningWhileTheMessageThreadChangesEverything)
{
    MorselloAudioProcessor processor;
    processor.setPlayConfigDetails (2, 2, 48000.0, 256);
    processor.prepareToPlay (48000.0, 256);

    processor.applyFactoryRecipe (7);
    juce::MemoryBlock saved;
    processor.getStateInformation (saved);

    std::atomic<bool> stop { false };
    std::atomic<int> blocks { 0 }, badSamples { 0 };

    std::thread audio ([&]
                       {
        juce::AudioBuffer<float> block (2, 256);
        juce::MidiBuffer midi;

        while (! stop.load())
        {
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < 256; ++i)
                    block.setSample (ch, i, 0.9f * std::sin (0.02f * (float) (i + 256 * blocks.load())));

            processor.processBlock (block, midi);

            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < 256; ++i)
                    if (! (std::abs (block.getSample (ch, i)) <= kLimiterCeiling))
                        ++badSamples;

            ++blocks;
        } });

    for (int i = 0; i < 300; ++i)
    {
        processor.applyFactoryRecipe (i % 16);
        processor.setCurrentProgram ((i * 7) % 16);
        processor.setStateInformation (saved.getData(), (int) saved.getSize());
        processor.setParameterValue ("output", (float) (i % 20 - 10));
        ChefsChoice::randomise (processor);

        juce::MemoryBlock chunk;
        processor.getStateInformation (chunk);
    }

    // Let the audio thread run a little after the last change as well.
    const auto blocksSoFar = blocks.load();

    while (blocks.load() < blocksSoFar + 20)
        std::this_thread::yield();

    stop = true;
    audio.join();

    EXPECT_GT (blocks.load(), 20);
    EXPECT_EQ (badSamples.load(), 0);
}
} // namespace
