#include "support/ReferenceModels.h"
#include "support/SignalTestHelpers.h"

#include "dsp/BreadProcessor.h"
#include "processor/Parameters.h"

#include <gtest/gtest.h>

using namespace morsello;

namespace
{
using namespace signaltest;

BreadState preparedState (double sampleRate = kRate)
{
    BreadState state;
    state.prepare (sampleRate);
    state.reset();
    return state;
}

void runBread (juce::AudioBuffer<float>& block, BreadState& state, int kind, float k1, float k2, float k3)
{
    BreadProcessor::process (block, state, static_cast<BreadType> (kind), { k1, k2, k3 });
}

const juce::String& breadName (int kind)
{
    return kBreadTypeNames.getReference (kind);
}

// The kind run with knobs away from their ends and the mix at 1, in place on a copy of the
// first `numChannels` channels of `input`: the reference a wider or narrower block is held to.
juce::AudioBuffer<float> runOnFirstChannels (const juce::AudioBuffer<float>& input, int numChannels, BreadState& state, int kind)
{
    juce::AudioBuffer<float> block (numChannels, input.getNumSamples());

    for (int channel = 0; channel < numChannels; ++channel)
        block.copyFrom (channel, 0, input, channel, 0, input.getNumSamples());

    runBread (block, state, kind, 0.3f, 0.8f, 1.0f);
    return block;
}

//==============================================================================
TEST (BreadProcessor, FilterAtHalfShapeHalvesTheInput)
{
    // Low-pass L plus half of (x - 2L) is x / 2 whatever the cutoff.
    for (const auto cutoff : { 0.0f, 0.4f, 1.0f })
    {
        auto state = preparedState();
        const auto input = makeTestSignal (2, 2000, kRate);
        auto block = input;
        runBread (block, state, toIndex (BreadType::filter), cutoff, 0.5f, 1.0f);

        auto halved = input;
        halved.applyGain (0.5f);
        EXPECT_TRUE (samplesMatch (block, halved, 1.0e-6f)) << "cutoff knob " << cutoff;
    }
}

TEST (BreadProcessor, EchoRepeatsFallByTheFeedback)
{
    // Knob 1 at 0: 25 ms, exactly 1200 samples at 48 kHz. Wet only, full feedback 0.82.
    auto state = preparedState();
    auto block = makeImpulse (1, 6000);
    runBread (block, state, toIndex (BreadType::echo), 0.0f, 1.0f, 1.0f);

    float expected = 1.0f;

    for (int repeat = 1; repeat <= 4; ++repeat)
    {
        const auto at = 1200 * repeat;
        EXPECT_NEAR (block.getSample (0, at), expected, 1.0e-6f) << "repeat " << repeat;
        EXPECT_NEAR (block.getSample (0, at - 1), 0.0f, 1.0e-6f) << "before repeat " << repeat;
        EXPECT_NEAR (block.getSample (0, at + 1), 0.0f, 1.0e-6f) << "after repeat " << repeat;
        expected *= 0.82f;
    }

    EXPECT_EQ (block.getSample (0, 0), 0.0f);
}

//==============================================================================
class EveryBreadKind : public testing::TestWithParam<int>
{
};

TEST_P (EveryBreadKind, UnpreparedStateLeavesBlockAndStateAlone)
{
    BreadState state;
    const auto input = makeTestSignal (2, 300, kRate);
    auto block = input;
    runBread (block, state, GetParam(), 0.7f, 0.6f, 1.0f);

    EXPECT_TRUE (bitIdentical (block, input));
    EXPECT_EQ (state.writeIndex, 0);
    EXPECT_EQ (state.lfoPhase, 0.0);
}

TEST_P (EveryBreadKind, ZeroMixPassesTheInputClampedWhileStateAdvances)
{
    const auto kind = GetParam();
    auto state = preparedState();

    auto input = makeTestSignal (2, 4800, kRate);
    input.setSample (0, 10, 3.0f);
    input.setSample (1, 20, -3.5f);
    auto block = input;
    runBread (block, state, kind, 0.0f, 0.6f, 0.0f);

    auto expected = input;
    expected.setSample (0, 10, 2.0f);
    expected.setSample (1, 20, -2.0f);
    EXPECT_TRUE (bitIdentical (block, expected)) << breadName (kind);

    EXPECT_EQ (state.writeIndex, 4800);
    EXPECT_GT (state.lfoPhase, 0.0);

    // What the layer remembers of that audio shows once the mix is raised on silence.
    auto silence = makeConstant (2, 4800, 0.0f);
    runBread (silence, state, kind, 0.0f, 0.6f, 1.0f);
    EXPECT_GT (peakOf (silence), 1.0e-4f) << breadName (kind) << " forgot the audio it passed at mix 0";
}

TEST_P (EveryBreadKind, MonoUsesChannelZeroAndItsLineOnly)
{
    const auto kind = GetParam();
    const auto stereoInput = makeTestSignal (2, 3000, kRate);

    auto stereoState = preparedState();
    const auto stereo = runOnFirstChannels (stereoInput, 2, stereoState, kind);

    auto monoState = preparedState();
    const auto mono = runOnFirstChannels (stereoInput, 1, monoState, kind);

    EXPECT_EQ (peakDifference (mono, stereo, 0), 0.0f) << breadName (kind);
    EXPECT_EQ (monoState.filterMemory[1], 0.0f);
    EXPECT_EQ (monoState.driveMemory[1], 0.0f);

    for (int i = 0; i < monoState.buffers[1].getLength(); ++i)
        ASSERT_EQ (monoState.buffers[1][i], 0.0f) << breadName (kind) << ": channel 1's line written at " << i;
}

TEST_P (EveryBreadKind, ChannelsBeyondTheSecondPassUnchanged)
{
    const auto kind = GetParam();
    const auto input = makeTestSignal (3, 3000, kRate);

    auto state = preparedState();
    const auto block = runOnFirstChannels (input, 3, state, kind);

    auto stereoState = preparedState();
    const auto stereo = runOnFirstChannels (input, 2, stereoState, kind);

    EXPECT_EQ (peakDifference (block, input, 2), 0.0f) << breadName (kind);
    EXPECT_EQ (peakDifference (block, stereo, 0), 0.0f);
    EXPECT_EQ (peakDifference (block, stereo, 1), 0.0f);
}

TEST_P (EveryBreadKind, EmptyBlockChangesNothing)
{
    auto state = preparedState();
    auto warmUp = makeTestSignal (2, 777, kRate);
    runBread (warmUp, state, GetParam(), 0.5f, 0.5f, 1.0f);

    const auto writeIndex = state.writeIndex;
    const auto phase = state.lfoPhase;
    const auto memories = std::make_pair (state.filterMemory, state.driveMemory);

    juce::AudioBuffer<float> empty (2, 0);
    runBread (empty, state, GetParam(), 0.5f, 0.5f, 1.0f);

    EXPECT_EQ (state.writeIndex, writeIndex);
    EXPECT_EQ (state.lfoPhase, phase);
    EXPECT_EQ (std::make_pair (state.filterMemory, state.driveMemory), memories);
}

// The formulas rendered per sample, in one pass, against the processor in odd-sized blocks at
// three rates: catches a changed operation order or precision, a per-block value computed
// differently, and state dropped or doubled at a block boundary. To the last bit on the
// platform's scalar maths; within the vector maths' accuracy on the vector kernels (where a
// last-bit change in the chorus oscillator may move its read by one float step).
TEST_P (EveryBreadKind, MatchesThePerSampleFormulasAtEveryRateAndBlockSize)
{
    const auto kind = GetParam();
    const auto exceptionSize = kind == toIndex (BreadType::chorus) ? 4.0e-4f : 0.0f;

    struct Knobs
    {
        float k1, k2, k3;
    };

    for (const auto sampleRate : { 44100.0, 48000.0, 96000.0 })
    {
        for (const auto knobs : { Knobs { 0.05f, 0.9f, 0.8f }, Knobs { 0.63f, 0.27f, 1.0f } })
        {
            const auto input = makeTestSignal (2, 40000, sampleRate, 1.6f);

            reference::Bread model (sampleRate);
            auto expected = input;
            model.run (expected, kind, knobs.k1, knobs.k2, knobs.k3, sampleRate);

            for (const auto scalar : { true, false })
            {
                const ScopedMathsPath path (scalar);
                auto state = preparedState (sampleRate);
                auto actual = input;
                processInBlocks (actual, { 1, 37, 512, 129, 1000 }, [&] (juce::AudioBuffer<float>& piece)
                                 { runBread (piece, state, kind, knobs.k1, knobs.k2, knobs.k3); });

                EXPECT_TRUE (scalar ? samplesMatch (actual, expected, reference::kTolerance)
                                    : withinVectorAccuracy (actual, expected, exceptionSize))
                    << breadName (kind) << " at " << sampleRate << " Hz, knobs " << knobs.k1 << ", " << knobs.k2 << ", "
                    << knobs.k3 << ", " << VectorMath::instructionSet();
            }
        }
    }
}

std::string breadLabel (const testing::TestParamInfo<int>& parameter)
{
    return breadName (parameter.param).toStdString();
}

INSTANTIATE_TEST_SUITE_P (Kinds, EveryBreadKind, testing::Values (toIndex (BreadType::filter), toIndex (BreadType::drive), toIndex (BreadType::chorus), toIndex (BreadType::echo)), breadLabel);

TEST (BreadProcessor, KindOutsideTheFourLeavesTheBlockAlone)
{
    auto state = preparedState();
    const auto input = makeTestSignal (2, 100, kRate);

    for (const auto kind : { -1, 4, 12 })
    {
        auto block = input;
        runBread (block, state, kind, 0.5f, 0.5f, 1.0f);
        EXPECT_TRUE (bitIdentical (block, input)) << "kind " << kind;
    }

    EXPECT_EQ (state.writeIndex, 0);
}
} // namespace
