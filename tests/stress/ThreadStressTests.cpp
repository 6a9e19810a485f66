// Everything a host and a user can do to one instance at the same time: an audio thread runs
// blocks without pause while a host thread automates every parameter, another saves and restores
// the state, and the message thread applies factory recipes, rolls the chef's choice and opens
// and closes editors (clicking their recipe buttons). Afterwards the instance must still hold
// exactly the state it is given, its meters must follow the signal, and no block may have put
// out a sample that is not finite or above the limiter's ceiling.
//
// Which thread calls what follows how the processor is meant to be used: parameters and host
// state calls from any thread; the factory recipes and the randomiser (whose generator is one
// per instance and not shared between threads) from the message thread, as the editor calls
// them; editors on the message thread only, as the framework requires.
//
// Built into the ordinary suite and, apart, under ThreadSanitizer (scripts/sanitize.sh thread).

#include "support/EditorFixture.h"
#include "support/HostChunks.h"
#include "recipes/ChefsChoice.h"
#include "processor/programs/FactoryRecipes.h"
#include "support/ParameterValues.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <iostream>
#include <thread>
#include <vector>

using namespace morsello;

namespace
{
using Clock = std::chrono::steady_clock;

constexpr auto stressTime = std::chrono::milliseconds (2500);
constexpr auto editorTime = std::chrono::milliseconds (300);
// Under a sanitizer on a busy machine the audio thread may get few blocks done in that time; the
// stress then goes on until it has run this many, for at most the longer time.
constexpr int minimumBlocks = 100;
constexpr auto longestTime = std::chrono::seconds (15);
constexpr int blockSize = 256;
constexpr double sampleRate = 48000.0;

juce::String textOf (const juce::MemoryBlock& chunk)
{
    const auto xml = juce::AudioProcessor::getXmlFromBinary (chunk.getData(), (int) chunk.getSize());
    return xml != nullptr ? xml->toString() : juce::String();
}

// A saved state as a host would keep it: a factory recipe with some of its knobs moved since.
juce::MemoryBlock savedStateOf (int recipe, float knob, float output)
{
    MorselloAudioProcessor processor;
    processor.applyFactoryRecipe (recipe);
    processor.setParameterValue ("left2", knob);
    processor.setParameterValue ("fill3", 1.0f - knob);
    processor.setParameterValue ("output", output);
    return chunkOf (processor);
}

// The changes made after the last restore; the saved state must hold them on top of it.
void makeKnownChanges (MorselloAudioProcessor& processor)
{
    processor.setParameterValue ("fillingType", 2.0f);
    processor.setParameterValue ("toast", 0.25f);
    processor.setParameterValue ("bite", 0.0f); // dry only, so the output meters must follow the input
    processor.setParameterValue ("output", -3.0f);
}

// Every 1/8 s the signal changes level, with a loud stretch now and then for the limiter.
void fillSignal (juce::AudioBuffer<float>& buffer, int64_t firstSample)
{
    for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
    {
        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            const auto n = firstSample + i;
            const auto level = (n / 6000) % 7 == 6 ? 4.0f : 0.1f * (float) ((n / 6000) % 7 + 1);
            buffer.setSample (channel, i, level * std::sin (0.031f * (float) n + 0.5f * (float) channel));
        }
    }
}

TEST (ThreadStress, AudioHostAndEditorsAtOnceLoseNoStateAndKeepTheOutputBounded)
{
    const std::vector<juce::MemoryBlock> savedStates { savedStateOf (3, 0.2f, -6.0f),
                                                       savedStateOf (9, 0.7f, 2.0f),
                                                       savedStateOf (14, 0.45f, -12.0f) };
    const auto& lastRestored = savedStates[1];

    MorselloAudioProcessor processor;
    processor.setPlayConfigDetails (2, 2, sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);

    // The first editor loads the fonts and pictures, which takes seconds under the sanitizers;
    // that is done before the clock starts.
    std::unique_ptr<juce::AudioProcessorEditor> (processor.createEditor()).reset();

    std::atomic<bool> stop { false };
    std::atomic<int> blocks { 0 }, automationRounds { 0 }, stateRounds { 0 }, badSamples { 0 }, badChunks { 0 };
    std::atomic<float> firstBadSample { 0.0f };

    std::thread audio ([&]
                       {
        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::MidiBuffer midi;
        int64_t position = 0;

        while (! stop.load())
        {
            fillSignal (buffer, position);
            position += blockSize;
            processor.processBlock (buffer, midi);

            for (int channel = 0; channel < 2; ++channel)
            {
                for (int i = 0; i < blockSize; ++i)
                {
                    const auto sample = buffer.getSample (channel, i);

                    if (! (std::abs (sample) <= kLimiterCeiling) && badSamples++ == 0)
                        firstBadSample = sample;
                }
            }

            ++blocks;
        } });

    // The host's automation: every parameter, one gesture each, to random normalised values.
    std::thread automation ([&]
                            {
        juce::Random random (11);
        const auto& parameters = processor.getParameters();

        while (! stop.load())
        {
            for (auto* parameter : parameters)
            {
                parameter->beginChangeGesture();
                parameter->setValueNotifyingHost (random.nextFloat());
                parameter->endChangeGesture();
            }

            ++automationRounds;
            std::this_thread::sleep_for (std::chrono::microseconds (500));
        } });

    // The host saving the project (as some do from a thread of their own) and reloading saved
    // states; every chunk saved meanwhile must still be a whole state.
    std::thread host ([&]
                      {
        for (size_t round = 0; ! stop.load(); ++round)
        {
            const auto chunk = chunkOf (processor);
            const auto xml = juce::AudioProcessor::getXmlFromBinary (chunk.getData(), (int) chunk.getSize());

            if (xml == nullptr || ! xml->hasTagName (MorselloAudioProcessor::stateType.toString())
                || xml->getNumChildElements() != (int) kParameterIds.size())
                ++badChunks;

            restore (processor, round % 4 == 3 ? chunk : savedStates[round % savedStates.size()]);
            ++stateRounds;
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
        } });

    // The message thread: a user choosing recipes and rolling the dice, with editors coming and
    // going. Each editor's own timer ticks while the queued messages run.
    int editorsOpened = 0, messageRounds = 0;
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor;
        auto editorOpened = Clock::now();
        const auto end = editorOpened + stressTime, latestEnd = editorOpened + longestTime;
        auto goOn = [&]
        {
            const auto now = Clock::now();
            return now < end || (blocks.load() < minimumBlocks && now < latestEnd);
        };

        for (; goOn(); ++messageRounds)
        {
            if (editor == nullptr)
            {
                editor.reset (processor.createEditor());
                editorOpened = Clock::now();
                ++editorsOpened;
            }

            processor.applyFactoryRecipe (messageRounds % kNumFactoryRecipes);
            ChefsChoice::randomise (processor);

            if (messageRounds % 2 == 0)
            {
                findControl<juce::TextButton> (*editor, "recipeDice").triggerClick();
                findControl<juce::TextButton> (*editor, "nextRecipe").triggerClick();
            }

            runQueuedMessages();

            // Each editor stays a while, so that its timer ticks and host changes reach it.
            if (Clock::now() - editorOpened > editorTime)
            {
                const auto snapshot = editor->createComponentSnapshot (editor->getLocalBounds(), true, 0.25f);
                EXPECT_TRUE (snapshot.isValid());
                editor.reset();
            }
        }

        stop = true;
        audio.join();
        automation.join();
        host.join();
        editor.reset();
        runQueuedMessages();
    }

    const auto counts = "blocks " + std::to_string (blocks) + ", automation rounds " + std::to_string (automationRounds)
                        + ", state rounds " + std::to_string (stateRounds) + ", message-thread rounds "
                        + std::to_string (messageRounds) + ", editors " + std::to_string (editorsOpened);
    SCOPED_TRACE (counts);
    std::cout << counts << std::endl;
    EXPECT_GE (blocks.load(), minimumBlocks);
    EXPECT_GT (automationRounds.load(), 0);
    EXPECT_GT (stateRounds.load(), 0);
    EXPECT_GT (editorsOpened, 1);
    EXPECT_EQ (badSamples.load(), 0) << "first: " << firstBadSample.load();
    EXPECT_EQ (badChunks.load(), 0);

    // No lost state: the last restore plus the changes made since, exactly as a fresh instance
    // that went through the same two steps saves them.
    restore (processor, lastRestored);
    makeKnownChanges (processor);

    MorselloAudioProcessor reference;
    restore (reference, lastRestored);
    makeKnownChanges (reference);

    EXPECT_EQ (parameterValues (processor), parameterValues (reference));
    EXPECT_EQ (textOf (chunkOf (processor)), textOf (chunkOf (reference)));
    EXPECT_EQ (processor.getCurrentProgram(), 9);

    // The meters still follow the signal: a 0.5 sine in, dry through at -3 dB out.
    auto& meters = processor.getLevelMeters();
    meters.clear();
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;

    for (int block = 0; block < 60; ++block)
    {
        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < blockSize; ++i)
                buffer.setSample (channel, i, 0.5f * std::sin (0.05f * (float) (i + block * blockSize)));

        processor.processBlock (buffer, midi);

        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < blockSize; ++i)
                ASSERT_TRUE (std::isfinite (buffer.getSample (channel, i)));
    }

    for (int channel = 0; channel < 2; ++channel)
    {
        EXPECT_NEAR (meters.take (channel), 0.5f, 0.01f) << "input " << channel;
        EXPECT_GT (meters.take (2 + channel), 0.1f) << "output " << channel;
        EXPECT_EQ (meters.take (channel), 0.0f) << "a taken meter starts again from 0";
    }
}
} // namespace
