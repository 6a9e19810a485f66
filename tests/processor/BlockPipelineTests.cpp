#include "dsp/BreadLayer.h"
#include "support/SignalTestHelpers.h"
#include "processor/PluginProcessor.h"
#include "support/EngineLayers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace morsello;

namespace
{
using namespace signaltest;

class Pipeline : public ::testing::Test
{
protected:
    void set (const char* id, float value) { processor.setParameterValue (id, value); }

    // Filter breads and a granular filling with their wet amounts at 0 pass every sample within
    // ±2 unchanged, so what comes out shows the pipeline's own stages alone.
    void makeLayersTransparent()
    {
        set ("breadType", 0.0f);
        set ("breadMode", 0.0f);
        set ("left3", 0.0f);
        set ("fillingType", 0.0f);
        set ("fill4", 0.0f);
    }

    void prepare (double sampleRate, int blockSize, int channels = 2)
    {
        processor.setPlayConfigDetails (channels, channels, sampleRate, blockSize);
        processor.prepareToPlay (sampleRate, blockSize);
    }

    void process (juce::AudioBuffer<float>& block)
    {
        juce::MidiBuffer midi;
        processor.processBlock (block, midi);
    }

    static juce::AudioBuffer<float> sine (int channels, int samples, float amplitude, int offset = 0)
    {
        juce::AudioBuffer<float> block (channels, samples);

        for (int channel = 0; channel < channels; ++channel)
            for (int i = 0; i < samples; ++i)
                block.setSample (channel, i, amplitude * std::sin (0.031f * (float) (offset + i) + 0.7f * (float) channel));

        return block;
    }

    float meter (int index) { return processor.getLevelMeters().peaks[(size_t) index].load(); }

    MorselloAudioProcessor processor;
};

TEST_F (Pipeline, LeavesBlocksAloneBeforePrepareAndWhenEmpty)
{
    auto block = sine (2, 256, 0.8f);
    const auto input = block;
    process (block);
    EXPECT_TRUE (bitIdentical (block, input));

    for (int i = 0; i < 4; ++i)
        EXPECT_EQ (meter (i), 0.0f);

    prepare (48000.0, 256);
    juce::AudioBuffer<float> empty (2, 0);
    process (empty);

    for (int i = 0; i < 4; ++i)
        EXPECT_EQ (meter (i), 0.0f);
    EXPECT_FALSE (processor.getEngine().hasSettingsInUse());
}

TEST_F (Pipeline, BiteAtZeroGivesTheDryInputTimesTheOutputGain)
{
    makeLayersTransparent();
    set ("left3", 0.9f); // audible layers: bite 0 must hide them
    set ("fill4", 1.0f);
    set ("bite", 0.0f);
    set ("output", -6.0f);
    prepare (44100.0, 300);

    const auto gain = juce::Decibels::decibelsToGain (-6.0f);

    for (int blockIndex = 0; blockIndex < 4; ++blockIndex)
    {
        auto block = sine (2, 300, 0.7f, blockIndex * 300);
        auto expected = block;
        expected.applyGain (gain);
        process (block);
        EXPECT_TRUE (samplesMatch (block, expected, 1.0e-7f));
    }
}

TEST_F (Pipeline, FinishingSaturatesOnlyTheProcessedSignal)
{
    struct Case
    {
        float toast, bite;
    };

    for (const auto& c : { Case { 0.0f, 1.0f }, Case { 1.0f, 1.0f }, Case { 0.4f, 0.3f } })
    {
        SCOPED_TRACE ("toast " + juce::String (c.toast) + ", bite " + juce::String (c.bite));
        processor.setParameterValue ("toast", c.toast);
        processor.setParameterValue ("bite", c.bite);
        makeLayersTransparent();
        prepare (48000.0, 512);

        const auto drive = c.toast * 4.5f + 1.0f;
        auto block = sine (2, 512, 0.6f);
        auto expected = block;

        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < 512; ++i)
            {
                const auto x = block.getSample (channel, i);
                expected.setSample (channel, i, (1.0f - c.bite) * x + std::tanh (drive * x) / drive * c.bite);
            }

        process (block);
        EXPECT_TRUE (samplesMatch (block, expected, 1.0e-6f));
    }
}

TEST_F (Pipeline, NonFiniteInputEntersAsSilenceAndLeavesNoTrace)
{
    // Audible layers with memory: filter breads and a smear filling.
    set ("fillingType", 4.0f);
    set ("bite", 0.5f);
    prepare (48000.0, 64);

    MorselloAudioProcessor reference;
    reference.setParameterValue ("fillingType", 4.0f);
    reference.setParameterValue ("bite", 0.5f);
    reference.prepareToPlay (48000.0, 64);

    juce::MidiBuffer midi;

    for (int blockIndex = 0; blockIndex < 20; ++blockIndex)
    {
        auto block = sine (2, 64, 0.5f, blockIndex * 64);
        auto clean = block;

        if (blockIndex == 2)
        {
            block.setSample (0, 3, std::numeric_limits<float>::quiet_NaN());
            block.setSample (1, 10, std::numeric_limits<float>::infinity());
            block.setSample (1, 11, -std::numeric_limits<float>::infinity());
            clean.setSample (0, 3, 0.0f);
            clean.setSample (1, 10, 0.0f);
            clean.setSample (1, 11, 0.0f);
        }

        process (block);
        reference.processBlock (clean, midi);

        // Exactly what silence in those samples gives, then and in every later block.
        EXPECT_TRUE (allFinite (block));
        EXPECT_TRUE (bitIdentical (block, clean));
    }

    EXPECT_GT (meter (2), 0.1f);
}

TEST_F (Pipeline, NonFiniteOutputOfALayerLeavesAsSilence)
{
    EngineSettings settings;
    settings[ParameterIndex::fillingType] = 4.0f; // smear, whose filter state a fault has made NaN
    settings[ParameterIndex::fill4] = 0.5f;
    settings[ParameterIndex::bite] = 0.5f;

    auto engine = std::make_unique<MorselloEngine>();
    engine->prepare (48000.0, 64, 2, settings);

    auto block = sine (2, 64, 0.5f);
    engine->process (block, settings);

    EngineLayerAccess::layersOf (*engine).filling.smear.memory[0] = std::numeric_limits<float>::quiet_NaN();
    block = sine (2, 64, 0.5f, 64);
    engine->process (block, settings);

    for (int i = 0; i < 64; ++i)
    {
        EXPECT_EQ (block.getSample (0, i), 0.0f) << i;
        EXPECT_TRUE (std::isfinite (block.getSample (1, i))) << i;
    }
}

TEST_F (Pipeline, LimiterHoldsTheCeilingAndRecoversIn150Milliseconds)
{
    makeLayersTransparent();
    set ("bite", 0.0f);
    const double sampleRate = 48000.0;
    const int length = 9600;
    prepare (sampleRate, length);

    auto block = makeConstant (2, length, 0.1f);
    block.setSample (0, 0, 1.0f);
    process (block);

    EXPECT_EQ (block.getSample (0, 0), kLimiterCeiling);
    EXPECT_EQ (block.getSample (1, 0), 0.1f * kLimiterCeiling); // one gain for all channels

    // Release towards unity with a time constant of 150 ms.
    for (const int k : { 1, 100, 1000, 7200, 9599 })
    {
        const auto expectedGain = 1.0 - (1.0 - (double) kLimiterCeiling) * std::exp (-(double) k / (0.15 * sampleRate));
        EXPECT_NEAR (block.getSample (0, k), 0.1 * expectedGain, 2.0e-6) << "sample " << k;
    }
}

TEST_F (Pipeline, NothingLeavesAboveTheCeiling)
{
    set ("output", 6.0f);
    set ("toast", 1.0f);
    set ("bite", 0.7f);
    prepare (44100.0, 256);

    juce::Random random (42);
    float loudest = 0.0f;

    for (int blockIndex = 0; blockIndex < 50; ++blockIndex)
    {
        juce::AudioBuffer<float> block (2, 256);

        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < 256; ++i)
                block.setSample (channel, i, (random.nextFloat() * 2.0f - 1.0f) * 3.0f);

        process (block);
        loudest = std::max (loudest, block.getMagnitude (0, 256));
    }

    EXPECT_LE (loudest, kLimiterCeiling);
    EXPECT_GT (loudest, 0.8f);
}

TEST_F (Pipeline, MetersTakeEachChannelsPeakAndOnlyRise)
{
    makeLayersTransparent();
    set ("bite", 0.0f);
    prepare (48000.0, 128);

    auto loud = sine (2, 128, 0.5f);
    loud.setSample (1, 17, -0.75f);
    process (loud);

    EXPECT_FLOAT_EQ (meter (0), loud.getMagnitude (0, 0, 128));
    EXPECT_FLOAT_EQ (meter (1), 0.75f);
    EXPECT_FLOAT_EQ (meter (3), 0.75f);

    auto quiet = sine (2, 128, 0.1f);
    process (quiet);
    EXPECT_FLOAT_EQ (meter (1), 0.75f); // raised only, until taken

    EXPECT_FLOAT_EQ (processor.getLevelMeters().take (1), 0.75f);
    EXPECT_EQ (meter (1), 0.0f);
}

TEST_F (Pipeline, MonoUsesChannelZeroAndItsMetersOnly)
{
    makeLayersTransparent();
    set ("left3", 0.8f);
    set ("fill4", 0.8f);
    prepare (48000.0, 256, 1);
    ASSERT_EQ (processor.getTotalNumOutputChannels(), 1);

    for (int blockIndex = 0; blockIndex < 8; ++blockIndex)
    {
        auto block = sine (1, 256, 0.5f, blockIndex * 256);
        process (block);

        for (int i = 0; i < 256; ++i)
            ASSERT_TRUE (std::isfinite (block.getSample (0, i)));
    }

    EXPECT_GT (meter (0), 0.0f);
    EXPECT_GT (meter (2), 0.0f);
    EXPECT_EQ (meter (1), 0.0f);
    EXPECT_EQ (meter (3), 0.0f);
}

TEST_F (Pipeline, ExtraChannelsAreFinishedSafely)
{
    makeLayersTransparent();
    set ("bite", 0.0f);
    prepare (48000.0, 128);

    // A host that sends more channels than it prepared: the extra channel has no dry copy and
    // mixes against silence; nothing crashes and nothing non-finite leaves.
    auto block = sine (3, 128, 0.5f);
    const auto input = block;
    process (block);

    for (int i = 0; i < 128; ++i)
    {
        EXPECT_EQ (block.getSample (0, i), input.getSample (0, i));
        EXPECT_EQ (block.getSample (2, i), 0.0f);
    }
}

TEST_F (Pipeline, LongBlocksRunInPiecesEachABlockOfItsOwn)
{
    // At 1 kHz the fade falls in 15 samples: within the first piece of 16. The second piece
    // begins at fade 0 and makes the switch, which one 40-sample block could not.
    makeLayersTransparent();
    set ("bite", 0.0f);
    prepare (1000.0, 16);

    auto first = makeConstant (2, 16, 0.05f);
    process (first);
    set ("fillingType", 3.0f);

    auto block = makeConstant (2, 40, 0.8f);
    for (int i = 16; i < 32; ++i)
        for (int channel = 0; channel < 2; ++channel)
            block.setSample (channel, i, 0.2f);
    for (int i = 32; i < 40; ++i)
        for (int channel = 0; channel < 2; ++channel)
            block.setSample (channel, i, 0.3f);

    const auto input = block;
    process (block);

    EXPECT_FALSE (processor.getEngine().getTransition().pending);
    EXPECT_EQ (processor.getEngine().getSettingsInUse()[ParameterIndex::fillingType], 3.0f);
    EXPECT_NEAR (processor.getEngine().getTransition().fade, 24.0f / 120.0f, 1.0e-5f);

    // The switch in the second piece reset the meters after that piece's own input was
    // metered: only the last piece's input counts.
    EXPECT_FLOAT_EQ (meter (0), 0.3f);

    // Processed in place, in the host's own memory.
    EXPECT_TRUE (bitIdentical (block, input));
}

TEST_F (Pipeline, KindJumpFadesToDryResetsAndFadesBackIn)
{
    makeLayersTransparent();
    set ("bite", 0.45f);
    const int n = 480; // 10 ms at 48 kHz
    prepare (48000.0, n);

    int offset = 0;
    auto run = [&] (float amplitude)
    {
        auto block = sine (2, n, amplitude, offset);
        offset += n;
        const auto input = block;
        process (block);
        return std::make_pair (input, block);
    };

    run (0.5f);
    ASSERT_FALSE (processor.getEngine().getTransition().pending);
    ASSERT_EQ (processor.getEngine().getTransition().fade, 1.0f);

    set ("breadType", 1.0f);

    run (0.5f); // falls for 10 ms of the 15
    EXPECT_TRUE (processor.getEngine().getTransition().pending);
    EXPECT_NEAR (processor.getEngine().getTransition().fade, 1.0f / 3.0f, 1.0e-4f);
    EXPECT_EQ (processor.getEngine().getSettingsInUse()[ParameterIndex::breadType], 0.0f); // the old settings keep running

    const auto [input, output] = run (0.5f); // reaches 0 after 240 samples, then dry alone
    EXPECT_TRUE (processor.getEngine().getTransition().pending);
    EXPECT_EQ (processor.getEngine().getTransition().fade, 0.0f);

    for (int channel = 0; channel < 2; ++channel)
        for (int i = 241; i < n; ++i)
            ASSERT_EQ (output.getSample (channel, i), input.getSample (channel, i)) << channel << ", " << i;

    run (0.1f); // starts at 0: the switch
    EXPECT_FALSE (processor.getEngine().getTransition().pending);
    EXPECT_EQ (processor.getEngine().getSettingsInUse()[ParameterIndex::breadType], 1.0f);
    EXPECT_NEAR (processor.getEngine().getTransition().fade, (float) n / 5760.0f, 1.0e-4f); // 120 ms back in
    EXPECT_EQ (meter (0), 0.0f);                                                            // meters were reset after
    EXPECT_GT (meter (2), 0.0f);                                                            // the input was metered
    EXPECT_EQ (processor.getEngine().getLayers().filling.delayLines.writeIndex, n);                    // so was the engine

    for (int blockIndex = 0; blockIndex < 12; ++blockIndex)
        run (0.1f);

    EXPECT_EQ (processor.getEngine().getTransition().fade, 1.0f);
}

TEST_F (Pipeline, SmallKnobMovesAreAdoptedLargeOnesTransition)
{
    struct Case
    {
        const char* id;
        float from, to;
        bool transition;
    };

    const Case cases[] {
        { "left1", 0.5f, 0.6f, false },
        { "left1", 0.5f, 0.7f, true },
        { "right3", 0.3f, 0.2f, false },
        { "fill2", 0.9f, 0.6f, true },
        { "toast", 0.2f, 0.3f, false },
        { "bite", 0.2f, 0.45f, true },
        { "breadMode", 0.0f, 1.0f, true },
        { "fillingType", 4.0f, 5.0f, true },
        { "output", -18.0f, 6.0f, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.id) + " " + juce::String (c.from) + " -> " + juce::String (c.to));
        MorselloAudioProcessor fresh;
        fresh.setParameterValue (c.id, c.from);
        fresh.prepareToPlay (48000.0, 64);

        juce::MidiBuffer midi;
        auto block = sine (2, 64, 0.3f);
        fresh.processBlock (block, midi);

        fresh.setParameterValue (c.id, c.to);
        fresh.processBlock (block, midi);

        EXPECT_EQ (fresh.getEngine().getTransition().pending, c.transition);
        const auto index = (int) std::distance (kParameterIds.begin(),
                                                std::find_if (kParameterIds.begin(), kParameterIds.end(),
                                                              [&c] (const char* id)
                                                              { return juce::String (id) == c.id; }));
        EXPECT_EQ (fresh.getEngine().getSettingsInUse()[index] == fresh.getParameterTree().getRawParameterValue (c.id)->load(), ! c.transition);
    }
}

TEST_F (Pipeline, OutputGainIsNeverHeldBackAndGlidesIn30Milliseconds)
{
    makeLayersTransparent();
    set ("bite", 0.0f);
    prepare (48000.0, 2048);

    auto warmUp = makeConstant (2, 2048, 0.5f);
    process (warmUp);

    set ("fillingType", 2.0f); // a transition is running...
    set ("output", -6.0f);     // ...and the gain still moves at once

    auto block = makeConstant (2, 2048, 0.5f);
    process (block);

    EXPECT_TRUE (processor.getEngine().getTransition().pending);
    EXPECT_FLOAT_EQ (processor.getEngine().getSettingsInUse()[ParameterIndex::output], -6.0f);

    const auto target = 0.5f * juce::Decibels::decibelsToGain (-6.0f);
    const int rampLength = 1440; // 30 ms

    EXPECT_GT (block.getSample (0, 0), target);
    EXPECT_LT (block.getSample (0, 0), 0.5f);
    EXPECT_GT (block.getSample (0, rampLength - 2), target);
    EXPECT_FLOAT_EQ (block.getSample (0, rampLength - 1), target);
    EXPECT_FLOAT_EQ (block.getSample (1, 2047), target);
}

TEST_F (Pipeline, KeepsProcessingAfterReleaseWithTheLastSizes)
{
    makeLayersTransparent();
    set ("bite", 0.0f);
    prepare (48000.0, 128);
    processor.releaseResources();

    auto block = sine (2, 300, 0.5f);
    const auto input = block;
    process (block);
    EXPECT_TRUE (bitIdentical (block, input));
    EXPECT_EQ (processor.getEngine().getMaximumBlockSize(), 128);

    prepare (96000.0, 64); // prepared again with other sizes
    EXPECT_EQ (processor.getEngine().getMaximumBlockSize(), 64);
    EXPECT_EQ (processor.getEngine().getLayers().bread1.buffers[0].getLength(), 384000);
}

// The processor adds nothing to the sound: an engine of its own, given the processor's
// parameter values as settings, gives every block bit for bit.
TEST_F (Pipeline, ProcessorSoundsAsAnEngineGivenItsParameters)
{
    processor.applyFactoryRecipe (12);
    set ("output", -2.5f);
    prepare (44100.0, 128);

    EngineSettings settings;

    for (int index = 0; index < kNumParameters; ++index)
        settings[index] = processor.getParameterTree().getRawParameterValue (kParameterIds[(size_t) index])->load();

    auto engine = std::make_unique<MorselloEngine>();
    engine->prepare (44100.0, 128, 2, settings);

    for (int blockIndex = 0; blockIndex < 40; ++blockIndex)
    {
        // Block lengths up to and beyond the prepared one.
        const auto length = 37 + 29 * (blockIndex % 7);
        auto viaProcessor = sine (2, length, 0.9f, blockIndex * 300);
        auto viaEngine = viaProcessor;

        process (viaProcessor);
        engine->process (viaEngine, settings);
        ASSERT_TRUE (bitIdentical (viaProcessor, viaEngine)) << "block " << blockIndex;
    }
}

TEST (BreadTwoKnobs, FollowTheMode)
{
    const BreadKnobs left { 0.2f, 0.7f, 0.4f }, right { 0.9f, 0.1f, 0.6f };

    struct Case
    {
        BreadMode mode;
        BreadKnobs expected;
    };

    const Case cases[] {
        { BreadMode::link, { 0.2f, 0.7f, 0.4f } },
        { BreadMode::mirror, { 0.8f, 0.3f, 0.4f } },
        { BreadMode::free, { 0.9f, 0.1f, 0.6f } },
        { static_cast<BreadMode> (7), { 0.9f, 0.1f, 0.6f } },
    };

    for (const auto& c : cases)
    {
        const auto knobs = breadTwoKnobs (c.mode, left, right);

        for (size_t i = 0; i < 3; ++i)
            EXPECT_FLOAT_EQ (knobs[i], c.expected[i]) << "mode " << toIndex (c.mode) << ", knob " << i;
    }
}

TEST (LinearRamp, BehavesAsTheFrameworksLinearSmoothing)
{
    LinearRamp ramp;
    ramp.setRampLength (4);
    ramp.setCurrentAndTargetValue (1.0f);

    ramp.setTargetValue (3.0f);
    EXPECT_FLOAT_EQ (ramp.getNextValue(), 1.5f);
    EXPECT_FLOAT_EQ (ramp.getNextValue(), 2.0f);

    // A target within 2^-23 of the running one leaves the ramp going; a real change restarts it
    // from where it is.
    ramp.setTargetValue (3.0f + 3.0f * std::numeric_limits<float>::epsilon() * 0.5f);
    EXPECT_FLOAT_EQ (ramp.getNextValue(), 2.5f);
    EXPECT_FLOAT_EQ (ramp.getNextValue(), 3.0f); // the last step lands on the target exactly
    EXPECT_FLOAT_EQ (ramp.getNextValue(), 3.0f);

    ramp.setTargetValue (2.0f);
    EXPECT_FLOAT_EQ (ramp.getNextValue(), 2.75f);

    LinearRamp instant; // length 0: jumps
    instant.setTargetValue (0.25f);
    EXPECT_EQ (instant.getNextValue(), 0.25f);
    EXPECT_FALSE (instant.isSmoothing());

    LinearRamp tiny; // near zero the absolute tolerance applies
    tiny.setRampLength (10);
    tiny.setTargetValue (std::numeric_limits<float>::min() * 0.5f);
    EXPECT_FALSE (tiny.isSmoothing());
}
} // namespace
