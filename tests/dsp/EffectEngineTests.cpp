#include "support/ReferenceModels.h"
#include "support/SignalTestHelpers.h"

#include "dsp/EffectEngine.h"
#include "processor/Parameters.h"

#include <gtest/gtest.h>

using namespace morsello;

namespace
{
using namespace signaltest;

struct SlotFixture : testing::Test
{
    std::unique_ptr<EffectSlot> slot = makePreparedSlot();

    void run (juce::AudioBuffer<float>& block, EffectKind kind, float k1, float k2, float k3, float amount)
    {
        EffectEngine::process (block, *slot, kind, { k1, k2, k3, amount });
    }
};

// The filling's menu lists the engine's kinds in EffectKind order.
const juce::String& kindName (EffectKind kind)
{
    return kFillingTypeNames.getReference ((int) kind);
}

std::string kindLabel (const testing::TestParamInfo<EffectKind>& info)
{
    return kindName (info.param).retainCharacters ("abcdefghijklmnopqrstuvwxyz").toStdString();
}

//==============================================================================
// Contract shared by every kind.
class EveryEngineKind : public testing::TestWithParam<EffectKind>
{
};

TEST_P (EveryEngineKind, UnpreparedSlotLeavesTheBlockBitForBitAlone)
{
    auto slot = std::make_unique<EffectSlot>();
    auto input = makeTestSignal (2, 256, kRate);
    input.setSample (0, 3, 3.0f);
    auto block = input;
    EffectEngine::process (block, *slot, GetParam(), { 0.6f, 0.4f, 0.7f, 1.0f });

    EXPECT_TRUE (bitIdentical (block, input));
    EXPECT_FALSE (slot->tonal.lastKind.has_value());
}

TEST_P (EveryEngineKind, ThirdChannelIsNeverTouched)
{
    auto slot = makePreparedSlot();
    const auto input = makeTestSignal (3, 2000, kRate);
    auto block = input;
    EffectEngine::process (block, *slot, GetParam(), { 0.2f, 0.4f, 0.7f, 1.0f });

    EXPECT_EQ (peakDifference (block, input, 2), 0.0f);
}

INSTANTIATE_TEST_SUITE_P (Kinds, EveryEngineKind,
                          testing::Values (EffectKind::granular, EffectKind::reverb, EffectKind::delay, EffectKind::loFi,
                                           EffectKind::smear, EffectKind::ringMod, EffectKind::wavefold,
                                           EffectKind::resonator, EffectKind::orbit),
                          kindLabel);

//==============================================================================
// Every kind but the reverb mixes x + amount (e - x) and clamps.
class ClampedKind : public testing::TestWithParam<EffectKind>
{
};

TEST_P (ClampedKind, ZeroAmountPassesTheInputClamped)
{
    auto slot = makePreparedSlot();
    auto input = makeTestSignal (2, 3000, kRate);
    input.setSample (0, 100, 3.0f);
    input.setSample (1, 200, -3.0f);
    auto block = input;
    EffectEngine::process (block, *slot, GetParam(), { 0.1f, 0.6f, 0.7f, 0.0f });

    auto expected = input;
    expected.setSample (0, 100, 2.0f);
    expected.setSample (1, 200, -2.0f);
    EXPECT_TRUE (bitIdentical (block, expected));
}

TEST_P (ClampedKind, MonoProcessesChannelZeroAsInStereo)
{
    // Channel 0 of a stereo block never depends on channel 1, so a mono block must give the
    // same channel 0 (no right-channel offset, no phase offset on channel 0).
    const auto kind = GetParam();
    const auto input = makeTestSignal (2, 20000, kRate);

    auto stereoSlot = makePreparedSlot();
    // Lo-fi's one noise generator feeds both channels in turn, so its dust stays at 0 here.
    const auto k3 = kind == EffectKind::loFi ? 0.0f : 1.0f;
    auto stereo = input;
    EffectEngine::process (stereo, *stereoSlot, kind, { 0.1f, 0.6f, k3, 1.0f });

    auto monoSlot = makePreparedSlot();
    juce::AudioBuffer<float> mono (1, 20000);
    mono.copyFrom (0, 0, input, 0, 0, 20000);
    EffectEngine::process (mono, *monoSlot, kind, { 0.1f, 0.6f, k3, 1.0f });

    EXPECT_EQ (peakDifference (mono, stereo, 0), 0.0f);
    EXPECT_EQ (monoSlot->smear.memory[1], 0.0f);
    EXPECT_EQ (monoSlot->tonal.toneState[1], 0.0f);
    EXPECT_EQ (monoSlot->loFi.holdCountdown[1], 0);

    for (int i = 0; i < monoSlot->delayLines.lines[1].getLength(); ++i)
        ASSERT_EQ (monoSlot->delayLines.lines[1][i], 0.0f) << "channel 1's delay line written at " << i;

    for (int i = 0; i < monoSlot->tonal.resonatorLines[1].getLength(); ++i)
        ASSERT_EQ (monoSlot->tonal.resonatorLines[1][i], 0.0f) << "channel 1's comb line written at " << i;
}

// The formulas rendered per sample in one pass, against the engine in odd-sized blocks: to the
// last bit on the platform's scalar maths, and within the vector maths' accuracy on the vector
// kernels (where a last-bit change in the LFO may move a granular or smear read by one float
// step).
TEST_P (ClampedKind, MatchesThePerSampleFormulasAtEveryRateAndBlockSize)
{
    const auto kind = GetParam();
    const auto exceptionSize = kind == EffectKind::granular || kind == EffectKind::smear ? 4.0e-4f : 0.0f;

    struct Knobs
    {
        float k1, k2, k3, amount;
    };

    // At 1 kHz the first knobs bring the granular heads and the smear read within a chunk of
    // the write position, so the engine takes its sample-by-sample path instead of reading a
    // chunk first.
    for (const auto sampleRate : { 1000.0, 44100.0, 48000.0, 96000.0 })
    {
        for (const auto knobs : { Knobs { 0.05f, 0.15f, 0.9f, 1.0f }, Knobs { 0.43f, 0.81f, 0.37f, 0.66f } })
        {
            const auto input = makeTestSignal (2, 30000, sampleRate, 1.4f);

            auto model = std::make_unique<reference::Engine> (sampleRate);
            auto expected = input;
            model->run (expected, (int) kind, knobs.k1, knobs.k2, knobs.k3, knobs.amount, sampleRate);

            for (const auto scalar : { true, false })
            {
                const ScopedMathsPath path (scalar);
                auto slot = makePreparedSlot (sampleRate);
                auto actual = input;
                processInBlocks (actual, { 1, 37, 512, 129, 1000 }, [&] (juce::AudioBuffer<float>& piece)
                                 { EffectEngine::process (piece, *slot, kind, { knobs.k1, knobs.k2, knobs.k3, knobs.amount }); });

                EXPECT_TRUE (scalar ? samplesMatch (actual, expected, reference::kTolerance)
                                    : withinVectorAccuracy (actual, expected, exceptionSize))
                    << kindName (kind) << " at " << sampleRate << " Hz, knobs " << knobs.k1 << ", " << knobs.k2 << ", "
                    << knobs.k3 << ", amount " << knobs.amount << ", " << VectorMath::instructionSet();
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P (Kinds, ClampedKind,
                          testing::Values (EffectKind::granular, EffectKind::delay, EffectKind::loFi, EffectKind::smear,
                                           EffectKind::ringMod, EffectKind::wavefold, EffectKind::resonator, EffectKind::orbit),
                          kindLabel);

//==============================================================================
// Delay-line kinds.
using DelayLineKinds = SlotFixture;

TEST_F (DelayLineKinds, ZeroAmountStillWritesTheLines)
{
    // Delay at 35 ms with feedback; audio that passed at amount 0 echoes once amount is raised.
    auto block = makeTestSignal (2, 4800, kRate);
    run (block, EffectKind::delay, 0.0f, 0.0f, 0.5f, 0.0f);

    auto silence = makeConstant (2, 4800, 0.0f);
    run (silence, EffectKind::delay, 0.0f, 0.0f, 0.5f, 1.0f);
    EXPECT_GT (peakOf (silence), 0.1f);
}

TEST_F (DelayLineKinds, RightChannelOfAStereoBlockSitsFurtherBack)
{
    // Time 35 ms (1680 samples), spread 1: 75 ms more (3600 samples) on channel 1 only.
    auto block = makeImpulse (2, 8000);
    run (block, EffectKind::delay, 0.0f, 1.0f, 0.0f, 1.0f);

    const auto firstEcho = [&] (int channel)
    {
        for (int i = 0; i < block.getNumSamples(); ++i)
            if (std::abs (block.getSample (channel, i)) > 0.5f)
                return i;

        return -1;
    };

    EXPECT_EQ (firstEcho (0), 1680);
    EXPECT_EQ (firstEcho (1), 1680 + 3600);
}

TEST_F (DelayLineKinds, EmptyBlockMovesNothing)
{
    auto warmUp = makeTestSignal (2, 999, kRate);
    run (warmUp, EffectKind::loFi, 0.5f, 0.5f, 0.5f, 1.0f);

    const auto writeIndex = slot->delayLines.writeIndex;
    const auto phase = slot->delayLines.lfoPhase;
    const auto noise = slot->loFi.noiseState;
    const auto countdown = slot->loFi.holdCountdown;

    for (const auto kind : { EffectKind::granular, EffectKind::delay, EffectKind::loFi, EffectKind::smear })
    {
        juce::AudioBuffer<float> empty (2, 0);
        run (empty, kind, 0.5f, 0.5f, 0.5f, 1.0f);
    }

    EXPECT_EQ (slot->delayLines.writeIndex, writeIndex);
    EXPECT_EQ (slot->delayLines.lfoPhase, phase);
    EXPECT_EQ (slot->loFi.noiseState, noise);
    EXPECT_EQ (slot->loFi.holdCountdown, countdown);
}

TEST_F (DelayLineKinds, SmearAfterDelayStartsWithTheDelaysEchoes)
{
    auto delayed = makeImpulse (2, 2000);
    run (delayed, EffectKind::delay, 0.0f, 0.0f, 0.9f, 1.0f); // echoes every 1680 samples

    // No reset between kinds: the smear reads what the delay left in the lines.
    auto silence = makeConstant (2, 24000, 0.0f);
    run (silence, EffectKind::smear, 0.0f, 0.0f, 0.5f, 1.0f);
    EXPECT_GT (peakOf (silence), 1.0e-3f);

    slot->reset();
    auto afterReset = makeConstant (2, 24000, 0.0f);
    run (afterReset, EffectKind::smear, 0.0f, 0.0f, 0.5f, 1.0f);
    EXPECT_EQ (peakOf (afterReset), 0.0f);
}

//==============================================================================
// Lo-fi known values.
using LoFi = SlotFixture;

TEST_F (LoFi, QuantisesToSixteenStepsAtFullBits)
{
    // Q = 16 at bits 1; no noise at dust 0. 0.52 * 16 = 8.32 -> 8 -> 0.5.
    struct Case
    {
        float input, expected;
    };

    for (const auto c : { Case { 0.52f, 0.5f }, Case { -0.52f, -0.5f }, Case { 0.53125f, 0.5625f }, Case { -0.53125f, -0.5625f } })
    {
        slot->reset();
        auto block = makeConstant (1, 4, c.input);
        run (block, EffectKind::loFi, 0.0f, 1.0f, 0.0f, 1.0f);

        for (int i = 0; i < 4; ++i)
            EXPECT_EQ (block.getSample (0, i), c.expected) << "input " << c.input << ", sample " << i;
    }
}

TEST_F (LoFi, HoldLengthFollowsTheRateKnob)
{
    struct Case
    {
        float rate;
        int holdLength;
    };

    for (const auto c : { Case { 0.0f, 1 }, Case { 0.5f, 21 }, Case { 1.0f, 81 } })
    {
        slot->reset();

        // A rising ramp, finely quantised: the output steps exactly where a capture happens.
        juce::AudioBuffer<float> block (1, 400);

        for (int i = 0; i < 400; ++i)
            block.setSample (0, i, 0.001f * (float) (i + 1));

        run (block, EffectKind::loFi, c.rate, 0.0f, 0.0f, 1.0f);

        for (int i = 1; i < 400; ++i)
        {
            const auto captured = block.getSample (0, i) != block.getSample (0, i - 1);
            ASSERT_EQ (captured, i % c.holdLength == 0) << "rate " << c.rate << ", sample " << i;
        }
    }
}

TEST_F (LoFi, NoiseStartsFromTheFixedSeedAndRunsOnAcrossResets)
{
    // A fresh slot's first draw is the xorshift step of 0x051F15E5.
    const auto first = reference::xorshift (0x051F15E5u);
    ASSERT_EQ (first, 0x13DB00B4u);

    auto block = makeConstant (1, 1, 0.0f);
    run (block, EffectKind::loFi, 0.0f, 0.0f, 1.0f, 1.0f);

    const auto u = (double) first / 4294967296.0;
    EXPECT_EQ (block.getSample (0, 0), (float) ((u - 0.5) * 1.0 * 0.025));
    EXPECT_EQ (slot->loFi.noiseState, first);

    // Both channels draw, channel 0 first; a reset does not restart the sequence.
    slot->reset();
    auto stereo = makeConstant (2, 1, 0.0f);
    run (stereo, EffectKind::loFi, 0.0f, 0.0f, 1.0f, 1.0f);

    const auto second = reference::xorshift (first);
    const auto third = reference::xorshift (second);
    EXPECT_EQ (stereo.getSample (0, 0), (float) (((double) second / 4294967296.0 - 0.5) * 0.025));
    EXPECT_EQ (stereo.getSample (1, 0), (float) (((double) third / 4294967296.0 - 0.5) * 0.025));
}

//==============================================================================
// Reverb: the framework's algorithm with its own mix law.
using Reverb = SlotFixture;

TEST_F (Reverb, IsNotClampedAndTakesItsParametersEvenForAnEmptyBlock)
{
    juce::AudioBuffer<float> empty (2, 0);
    run (empty, EffectKind::reverb, 1.0f, 0.25f, 1.0f, 0.0f);

    const auto& parameters = slot->reverb.getParameters();
    EXPECT_EQ (parameters.roomSize, 0.25f + 0.73f * 1.0f);
    EXPECT_EQ (parameters.damping, 1.0f - 0.25f);
    EXPECT_EQ (parameters.wetLevel, 0.0f);
    EXPECT_EQ (parameters.dryLevel, 1.0f);
    EXPECT_EQ (parameters.width, 1.0f);

    auto loud = makeConstant (2, 2000, 3.0f);
    run (loud, EffectKind::reverb, 0.5f, 0.5f, 0.5f, 0.0f);
    EXPECT_GT (peakOf (loud), 2.0f);
}

TEST_F (Reverb, LeavesABlockOfThreeChannelsEntirelyAlone)
{
    const auto input = makeTestSignal (3, 1000, kRate);
    auto block = input;
    run (block, EffectKind::reverb, 0.5f, 0.5f, 0.5f, 1.0f);
    EXPECT_TRUE (bitIdentical (block, input));
}

TEST_F (Reverb, MonoBlockGetsTheMonoReverb)
{
    const auto input = makeTestSignal (1, 4000, kRate);
    auto block = input;
    run (block, EffectKind::reverb, 0.5f, 0.5f, 0.5f, 1.0f);

    juce::Reverb expectedReverb;
    expectedReverb.setSampleRate (kRate);
    expectedReverb.setParameters (slot->reverb.getParameters());
    auto expected = input;
    expectedReverb.processMono (expected.getWritePointer (0), 4000);

    EXPECT_TRUE (bitIdentical (block, expected));
}

TEST (EffectEngine, KindOutsideTheNineLeavesBlockAndSlotAlone)
{
    auto slot = makePreparedSlot();
    slot->tonal.lastKind = EffectKind::resonator;
    const auto input = makeTestSignal (2, 100, kRate);

    for (const auto kind : { -1, 9, 42 })
    {
        auto block = input;
        EffectEngine::process (block, *slot, (EffectKind) kind, { 0.5f, 0.5f, 0.5f, 1.0f });
        EXPECT_TRUE (bitIdentical (block, input)) << "kind " << kind;
    }

    EXPECT_EQ (slot->delayLines.writeIndex, 0);
    EXPECT_EQ (slot->tonal.lastKind, EffectKind::resonator);
}
} // namespace
