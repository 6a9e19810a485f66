// The built VST3 bundle under the treatment a careless host gives it: rates and block sizes
// that change from run to run, bypass and program changes while audio runs, damaged state
// chunks, many instances at once. Every run prints its seed; the same seed replays it.

#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include "dsp/EngineStages.h"
#include "processor/Parameters.h"
#include "support/EngineMemory.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

using namespace morsello;

namespace
{
constexpr unsigned kSeed = 0x4D6F7273u;
constexpr int kNumPrograms = 16;

// Every sample the instance gives back: finite and, while the effect runs, within the
// limiter's ceiling. The input never passes the ceiling either, so a bypassed block (the
// input as it came) is held to the same bound.
struct OutputCheck
{
    long long samples = 0;
    long long nonFinite = 0;
    long long aboveCeiling = 0;
    float largest = 0.0f;

    void check (const juce::AudioBuffer<float>& buffer, int numSamples)
    {
        for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
        {
            const auto* data = buffer.getReadPointer (channel);

            for (int i = 0; i < numSamples; ++i)
            {
                const auto x = data[i];

                if (! std::isfinite (x))
                    ++nonFinite;
                else if (std::abs (x) > kLimiterCeiling)
                    ++aboveCeiling;

                if (std::isfinite (x))
                    largest = std::max (largest, std::abs (x));
            }
        }
    }

    void expectClean() const
    {
        std::printf ("%lld samples checked, largest magnitude %.6f (ceiling %.6f)\n", samples, (double) largest, (double) kLimiterCeiling);
        EXPECT_GT (samples, 0);
        EXPECT_EQ (nonFinite, 0) << "of " << samples << " samples";
        EXPECT_EQ (aboveCeiling, 0) << "of " << samples << " samples; largest " << largest;
    }
};

// Input as a session plays it: tones and noise at levels from silence up to just below the
// ceiling, changing from block to block.
void fillInput (juce::AudioBuffer<float>& buffer, int numSamples, std::mt19937& random, double& phase)
{
    std::uniform_real_distribution<float> unit (0.0f, 1.0f);
    const auto level = unit (random) < 0.15f ? 0.0f : 0.85f * unit (random);
    const auto noise = unit (random) * 0.3f;
    const auto increment = 0.002 + 0.05 * unit (random);

    for (int i = 0; i < numSamples; ++i)
    {
        phase += increment;

        for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
        {
            const auto tone = (float) std::sin (phase + channel);
            const auto hiss = unit (random) * 2.0f - 1.0f;
            buffer.setSample (channel, i, level * ((1.0f - noise) * tone + noise * hiss));
        }
    }
}

class HostTorture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::printf ("seed %u\n", kSeed);
        random.seed (kSeed);
    }

    static juce::PluginDescription describe()
    {
        juce::VST3PluginFormat format;
        juce::OwnedArray<juce::PluginDescription> types;
        format.findAllTypesForFile (types, MORSELLO_VST3_BUNDLE);
        return types.isEmpty() ? juce::PluginDescription() : *types[0];
    }

    static std::unique_ptr<juce::AudioPluginInstance> load (const juce::PluginDescription& description, double sampleRate, int blockSize)
    {
        juce::VST3PluginFormat format;
        juce::String error;
        auto instance = format.createInstanceFromDescription (description, sampleRate, blockSize, error);

        if (instance == nullptr)
            ADD_FAILURE() << "could not load the plug-in: " << error;

        return instance;
    }

    // Runs one block of `numSamples` of fresh input through the instance and checks it.
    void runBlock (juce::AudioPluginInstance& instance, juce::AudioBuffer<float>& buffer, int numSamples, OutputCheck& check)
    {
        juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), numSamples);
        fillInput (block, numSamples, random, phase);
        juce::MidiBuffer midi;
        instance.processBlock (block, midi);
        check.samples += (long long) numSamples * block.getNumChannels();
        check.check (block, numSamples);
    }

    // The plug-in's own chunk as the host's chunk carries it (base64 in the IComponent element).
    static juce::MemoryBlock componentStateOf (const juce::MemoryBlock& hostChunk)
    {
        juce::MemoryBlock component;

        if (const auto xml = juce::AudioProcessor::getXmlFromBinary (hostChunk.getData(), (int) hostChunk.getSize()))
            if (auto* element = xml->getChildByName ("IComponent"))
                component.fromBase64Encoding (element->getAllSubText());

        return component;
    }

    // A host chunk that hands `component` to the plug-in as its state.
    static juce::MemoryBlock hostChunkCarrying (const juce::MemoryBlock& component)
    {
        juce::XmlElement state ("VST3PluginState");
        state.createNewChildElement ("IComponent")->addTextElement (component.toBase64Encoding());
        juce::MemoryBlock chunk;
        juce::AudioProcessor::copyXmlToBinary (state, chunk);
        return chunk;
    }

    // The plug-in's state as it is now, read through the host: its XML, or null if none.
    static std::unique_ptr<juce::XmlElement> pluginStateOf (juce::AudioPluginInstance& instance)
    {
        juce::MemoryBlock hostChunk;
        instance.getStateInformation (hostChunk);
        const auto component = componentStateOf (hostChunk);
        return juce::AudioProcessor::getXmlFromBinary (component.getData(), (int) component.getSize());
    }

    // Every one of the sixteen parameters present once, in its range and on its step, and the
    // program one of the factory recipes.
    static void expectParametersHoldable (const juce::XmlElement& state)
    {
        for (size_t i = 0; i < kParameterIds.size(); ++i)
        {
            SCOPED_TRACE (kParameterIds[i]);
            int found = 0;
            double value = 0.0;

            for (auto* child : state.getChildWithTagNameIterator ("PARAM"))
            {
                if (child->getStringAttribute ("id") == kParameterIds[i])
                {
                    ++found;
                    value = child->getDoubleAttribute ("value", std::nan (""));
                }
            }

            ASSERT_EQ (found, 1);
            ASSERT_TRUE (std::isfinite (value));

            const auto index = (int) i;
            double low = 0.0, high = 1.0, step = 0.001;

            if (index == toIndex (ParameterIndex::breadType) || index == toIndex (ParameterIndex::breadMode) || index == toIndex (ParameterIndex::fillingType))
            {
                high = index == toIndex (ParameterIndex::breadType) ? kNumBreadTypes - 1 : (index == toIndex (ParameterIndex::breadMode) ? kNumBreadModes - 1 : kNumFillingTypes - 1);
                step = 1.0;
            }
            else if (index == toIndex (ParameterIndex::output))
            {
                low = -18.0;
                high = 6.0;
                step = 0.1;
            }

            EXPECT_GE (value, low);
            EXPECT_LE (value, high);
            const auto steps = (value - low) / step;
            EXPECT_NEAR (steps, std::round (steps), 1.0e-3) << "value " << value;
        }

        const auto program = state.getIntAttribute ("program", -1);
        EXPECT_GE (program, 0);
        EXPECT_LT (program, kNumPrograms);
    }

    std::mt19937 random;
    double phase = 0.0;
};

TEST_F (HostTorture, RatesBlockSizesBypassAndProgramsChangingWhileAudioRuns)
{
    const auto description = describe();
    auto instance = load (description, 44100.0, 512);
    ASSERT_NE (instance, nullptr);

    auto* bypass = instance->getBypassParameter();
    ASSERT_NE (bypass, nullptr);
    auto& parameters = instance->getParameters();

    // Every rate a host may run at, each once, in an order the seed chooses, with a largest
    // block for each that is sometimes tiny, sometimes odd, sometimes large.
    std::vector<double> rates { 8000.0, 11025.0, 16000.0, 22050.0, 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0, 384000.0 };
    std::shuffle (rates.begin(), rates.end(), random);
    const int largestBlocks[] { 1, 7, 64, 333, 512, 1024, 2048, 4096 };

    OutputCheck check;
    int bypassedBlocks = 0, programChanges = 0;

    for (size_t round = 0; round < rates.size(); ++round)
    {
        const auto rate = rates[round];
        const auto largest = largestBlocks[std::uniform_int_distribution<size_t> (0, std::size (largestBlocks) - 1) (random)];
        SCOPED_TRACE ("round " + std::to_string (round) + ", " + std::to_string (rate) + " Hz, blocks up to " + std::to_string (largest));

        // Prepared and released several times over, as hosts do when a session's settings
        // change; the last preparation is the one that counts.
        for (int again = 0; again < 3; ++again)
        {
            instance->prepareToPlay (rate, largest);

            if (again < 2)
                instance->releaseResources();
        }

        juce::AudioBuffer<float> buffer (2, largest);

        for (int blockIndex = 0; blockIndex < 60; ++blockIndex)
        {
            const auto choice = std::uniform_int_distribution<int> (0, 9) (random);
            auto numSamples = choice == 0 ? 0 : (choice == 1 ? 1 : (choice <= 3 ? largest : std::uniform_int_distribution<int> (1, largest) (random) | 1));
            numSamples = std::min (numSamples, largest);

            const auto action = std::uniform_int_distribution<int> (0, 11) (random);

            if (action == 0)
            {
                bypass->setValueNotifyingHost (bypass->getValue() < 0.5f ? 1.0f : 0.0f);
            }
            else if (action == 1)
            {
                instance->setCurrentProgram (std::uniform_int_distribution<int> (0, kNumPrograms - 1) (random));
                ++programChanges;
            }
            else if (action <= 4)
            {
                auto* parameter = parameters[std::uniform_int_distribution<int> (0, kNumParameters - 1) (random)];
                parameter->setValueNotifyingHost (std::uniform_real_distribution<float> (0.0f, 1.0f) (random));
            }

            if (bypass->getValue() >= 0.5f)
                ++bypassedBlocks;

            runBlock (*instance, buffer, numSamples, check);
        }

        instance->releaseResources();
    }

    EXPECT_GT (bypassedBlocks, 0);
    EXPECT_GT (programChanges, 0);
    check.expectClean();

    const auto state = pluginStateOf (*instance);
    ASSERT_NE (state, nullptr);
    expectParametersHoldable (*state);
}

TEST_F (HostTorture, DamagedStateChunksLeaveAWorkingInstanceAndAValidChunkRestoresExactly)
{
    const auto description = describe();
    auto instance = load (description, 48000.0, 512);
    ASSERT_NE (instance, nullptr);

    instance->prepareToPlay (48000.0, 512);
    instance->setCurrentProgram (6);
    auto& parameters = instance->getParameters();
    parameters[toIndex (ParameterIndex::left2)]->setValueNotifyingHost (0.321f);
    parameters[toIndex (ParameterIndex::output)]->setValueNotifyingHost (0.3f);
    juce::AudioBuffer<float> buffer (2, 512);
    OutputCheck check;

    for (int i = 0; i < 4; ++i)
        runBlock (*instance, buffer, 512, check);

    juce::MemoryBlock validChunk;
    instance->getStateInformation (validChunk);
    const auto validComponent = componentStateOf (validChunk);
    const auto validState = juce::AudioProcessor::getXmlFromBinary (validComponent.getData(), (int) validComponent.getSize());
    ASSERT_NE (validState, nullptr);
    ASSERT_EQ (validState->getIntAttribute ("program", -1), 6);

    // The plug-in's chunk: an 8-byte header (magic number, length of the text), then the XML
    // text, then whatever the framework's wrapper appends after it.
    const auto textLength = (int) juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (validComponent.getData(), 4));
    ASSERT_GT (textLength, 0);
    ASSERT_LE ((size_t) textLength + 8, validComponent.getSize());

    auto randomBytes = [this] (size_t size)
    {
        juce::MemoryBlock bytes (size);

        for (size_t i = 0; i < size; ++i)
            bytes[i] = (char) std::uniform_int_distribution<int> (0, 255) (random);

        return bytes;
    };

    auto prefix = [] (const juce::MemoryBlock& bytes, size_t size)
    {
        return juce::MemoryBlock (bytes.getData(), std::min (size, bytes.getSize()));
    };

    // The plug-in's header with random text behind it, so the XML parser sees the garbage.
    auto headerWithText = [&randomBytes] (size_t size)
    {
        auto text = randomBytes (size);

        for (size_t i = 0; i < size; ++i)
            text[i] = (char) (' ' + (unsigned char) text[i] % 95);

        juce::MemoryBlock bytes;
        juce::MemoryOutputStream stream (bytes, false);
        stream.writeInt (0x21324356);
        stream.writeInt ((int) size);
        stream.write (text.getData(), size);
        stream.flush();
        return bytes;
    };

    // The valid chunk with bytes of its XML text (never of the wrapper's trailer) changed.
    auto withChangedText = [&] (int count)
    {
        auto bytes = validComponent;

        for (int i = 0; i < count; ++i)
        {
            const auto position = (size_t) std::uniform_int_distribution<int> (8, 8 + textLength - 1) (random);
            bytes[position] = (char) std::uniform_int_distribution<int> (0, 255) (random);
        }

        return bytes;
    };

    struct Damage
    {
        std::string name;
        juce::MemoryBlock hostChunk;
    };

    std::vector<Damage> damages {
        { "host chunk of random bytes", randomBytes (300) },
        { "host chunk cut in half", prefix (validChunk, validChunk.getSize() / 2) },
        { "one random byte", hostChunkCarrying (randomBytes (1)) },
        { "eight random bytes", hostChunkCarrying (randomBytes (8)) },
        { "a kilobyte of random bytes", hostChunkCarrying (randomBytes (1024)) },
        { "the header alone", hostChunkCarrying (prefix (validComponent, 8)) },
        { "the header and one byte", hostChunkCarrying (prefix (validComponent, 9)) },
        { "cut inside the text", hostChunkCarrying (prefix (validComponent, 8 + (size_t) textLength / 3)) },
        { "cut just before the end of the text", hostChunkCarrying (prefix (validComponent, 8 + (size_t) textLength - 1)) },
        { "the header and printable garbage", hostChunkCarrying (headerWithText (400)) },
        { "one byte of the text changed", hostChunkCarrying (withChangedText (1)) },
        { "four bytes of the text changed", hostChunkCarrying (withChangedText (4)) },
        { "forty bytes of the text changed", hostChunkCarrying (withChangedText (40)) },
    };

    for (const auto& damage : damages)
    {
        SCOPED_TRACE (damage.name);
        instance->setStateInformation (damage.hostChunk.getData(), (int) damage.hostChunk.getSize());

        OutputCheck afterDamage;

        for (int i = 0; i < 6; ++i)
            runBlock (*instance, buffer, 512, afterDamage);

        afterDamage.expectClean();

        const auto state = pluginStateOf (*instance);
        ASSERT_NE (state, nullptr);
        expectParametersHoldable (*state);
    }

    // The valid chunk, carried the way the damaged ones were (which shows that they reached
    // the plug-in), then as the host itself saved it, each after other changes.
    const Damage valid[] { { "the valid chunk carried like the damaged ones", hostChunkCarrying (validComponent) },
                           { "the valid chunk as the host saved it", validChunk } };

    for (const auto& restore : valid)
    {
        SCOPED_TRACE (restore.name);
        instance->setCurrentProgram (11);
        parameters[toIndex (ParameterIndex::fill3)]->setValueNotifyingHost (0.9f);
        runBlock (*instance, buffer, 512, check);
        ASSERT_EQ (pluginStateOf (*instance)->getIntAttribute ("program"), 11);

        instance->setStateInformation (restore.hostChunk.getData(), (int) restore.hostChunk.getSize());
        runBlock (*instance, buffer, 512, check);
        const auto restored = pluginStateOf (*instance);
        ASSERT_NE (restored, nullptr);
        EXPECT_TRUE (restored->isEquivalentTo (validState.get(), false))
            << restored->toString().toStdString() << "\ninstead of\n"
            << validState->toString().toStdString();
    }

    check.expectClean();
}

TEST_F (HostTorture, ThirtyTwoInstancesRunSideBySideWithoutDisturbingEachOther)
{
    constexpr int numInstances = 32;
    constexpr int blockSize = 256;
    const auto description = describe();
    std::vector<std::unique_ptr<juce::AudioPluginInstance>> instances;

    for (int i = 0; i < numInstances; ++i)
    {
        instances.push_back (load (description, 48000.0, blockSize));
        ASSERT_NE (instances.back(), nullptr);
        instances.back()->setCurrentProgram (i % kNumPrograms);
        instances.back()->prepareToPlay (i % 2 == 0 ? 48000.0 : 44100.0, blockSize);
    }

    // Instance i and instance i + 16 have the same program, rate and input, so any state the
    // instances shared would show as a difference between the two.
    std::vector<juce::AudioBuffer<float>> buffers (numInstances, juce::AudioBuffer<float> (2, blockSize));
    OutputCheck check;
    float largestDifference = 0.0f;

    for (int blockIndex = 0; blockIndex < 40; ++blockIndex)
    {
        for (int pair = 0; pair < numInstances / 2; ++pair)
        {
            fillInput (buffers[(size_t) pair], blockSize, random, phase);
            buffers[(size_t) pair + numInstances / 2].makeCopyOf (buffers[(size_t) pair]);
        }

        juce::MidiBuffer midi;

        for (int i = 0; i < numInstances; ++i)
        {
            instances[(size_t) i]->processBlock (buffers[(size_t) i], midi);
            check.samples += 2 * blockSize;
            check.check (buffers[(size_t) i], blockSize);
        }

        for (int pair = 0; pair < numInstances / 2; ++pair)
            for (int channel = 0; channel < 2; ++channel)
                for (int i = 0; i < blockSize; ++i)
                    largestDifference = std::max (largestDifference,
                                                  std::abs (buffers[(size_t) pair].getSample (channel, i)
                                                            - buffers[(size_t) pair + numInstances / 2].getSample (channel, i)));
    }

    check.expectClean();
    EXPECT_EQ (largestDifference, 0.0f);

    for (auto& instance : instances)
        instance->releaseResources();

    instances.clear();
}

// The heap an instance holds once prepared, against what the engine's buffers need at the rate.
// The difference is the instance's fixed cost: the processor, its parameters and their tree,
// the framework's wrappers on both sides of the bundle.
TEST_F (HostTorture, MemoryPerPreparedInstanceAtTheCommonRates)
{
    constexpr int numInstances = 4;
    constexpr int blockSize = 512;
    const auto description = describe();

    // One instance first, so that what the bundle and the framework set up once is not counted.
    {
        auto first = load (description, 48000.0, blockSize);
        ASSERT_NE (first, nullptr);
        first->prepareToPlay (48000.0, blockSize);
    }

    std::printf ("| rate | measured per instance (MB) | engine's buffers need (MB) | difference (MB) |\n|---|---|---|---|\n");

    for (const auto rate : { 44100.0, 48000.0, 96000.0, 192000.0 })
    {
        const auto before = engine_memory::heapInUse();
        std::vector<std::unique_ptr<juce::AudioPluginInstance>> instances;

        for (int i = 0; i < numInstances; ++i)
        {
            instances.push_back (load (description, rate, blockSize));
            ASSERT_NE (instances.back(), nullptr);
            instances.back()->prepareToPlay (rate, blockSize);
        }

        const auto measured = (double) (engine_memory::heapInUse() - before) / numInstances;
        const auto needed = (double) engine_memory::neededBytes (rate, blockSize, 2).total();
        const auto megabyte = 1024.0 * 1024.0;
        std::printf ("| %.1f kHz | %.2f | %.2f | %.2f |\n", rate / 1000.0, measured / megabyte, needed / megabyte, (measured - needed) / megabyte);

        // The buffers are there, and nothing beyond them grows with the rate: the rest is a
        // fixed cost of well under two megabytes.
        EXPECT_GE (measured, needed);
        EXPECT_LT (measured, needed + 2.0 * megabyte);
    }
}
} // namespace
