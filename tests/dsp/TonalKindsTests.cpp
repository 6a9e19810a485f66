#include "support/SignalTestHelpers.h"

#include "dsp/EffectEngine.h"

#include <gtest/gtest.h>

using namespace morsello;

namespace
{
using namespace signaltest;

void run (EffectSlot& slot, juce::AudioBuffer<float>& block, EffectKind kind, float k1, float k2, float k3, float amount)
{
    EffectEngine::process (block, slot, kind, { k1, k2, k3, amount });
}

// A copy of a line's samples (lines themselves are never copied).
std::vector<float> samplesOf (const DelayLine& line)
{
    std::vector<float> samples;

    for (int i = 0; i < line.getLength(); ++i)
        samples.push_back (line[i]);

    return samples;
}

// A long-ringing comb: pitch 0 (sample rate / 45), feedback 0.96, bright damping.
void ringResonator (EffectSlot& slot)
{
    auto impulse = makeImpulse (2, 3000);
    run (slot, impulse, EffectKind::resonator, 0.0f, 1.0f, 0.0f, 1.0f);
}

juce::AudioBuffer<float> resonatorOn (EffectSlot& slot, const juce::AudioBuffer<float>& input)
{
    auto block = input;
    run (slot, block, EffectKind::resonator, 0.2f, 0.9f, 0.3f, 1.0f);
    return block;
}

//==============================================================================
// What happens to a ringing resonator when another call comes between it and the next
// resonator block: any other kind (even for 0 samples) must leave the resonator starting from
// an empty comb, zero filter state and phase 0, exactly like a freshly prepared slot.
struct InterveningCall
{
    EffectKind kind;
    int numSamples;
};

class ResonatorAfterAnotherKind : public testing::TestWithParam<InterveningCall>
{
};

TEST_P (ResonatorAfterAnotherKind, StartsFromAnEmptyCombAndZeroFilterState)
{
    const auto input = makeTestSignal (2, 6000, kRate);

    auto fresh = makePreparedSlot();
    const auto expected = resonatorOn (*fresh, input);

    auto slot = makePreparedSlot();
    ringResonator (*slot);

    auto between = makeTestSignal (2, GetParam().numSamples, kRate);
    run (*slot, between, GetParam().kind, 0.7f, 0.2f, 0.9f, 1.0f);

    EXPECT_TRUE (bitIdentical (resonatorOn (*slot, input), expected));
}

INSTANTIATE_TEST_SUITE_P (Calls, ResonatorAfterAnotherKind,
                          testing::Values (InterveningCall { EffectKind::wavefold, 500 },
                                           InterveningCall { EffectKind::wavefold, 0 },
                                           InterveningCall { EffectKind::ringMod, 0 },
                                           InterveningCall { EffectKind::orbit, 500 },
                                           InterveningCall { EffectKind::granular, 500 },
                                           InterveningCall { EffectKind::delay, 0 },
                                           InterveningCall { EffectKind::loFi, 500 },
                                           InterveningCall { EffectKind::smear, 0 },
                                           InterveningCall { EffectKind::reverb, 500 }));

TEST (TonalKinds, ResonatorKeepsRingingAcrossBlocksAndKnobChanges)
{
    // One resonator call over the whole signal against the same signal in blocks with an empty
    // block between them: the same kind carries everything over.
    const auto input = makeTestSignal (2, 5000, kRate);

    auto whole = makePreparedSlot();
    auto expected = input;
    run (*whole, expected, EffectKind::resonator, 0.1f, 1.0f, 0.2f, 1.0f);

    auto split = makePreparedSlot();
    auto actual = input;
    processInBlocks (actual, { 1000, 0, 1234, 0 }, [&] (juce::AudioBuffer<float>& piece)
                     { run (*split, piece, EffectKind::resonator, 0.1f, 1.0f, 0.2f, 1.0f); });
    EXPECT_TRUE (bitIdentical (actual, expected));

    // A new pitch and decay on the next block: the comb still rings, the write position runs on.
    const auto indexBefore = split->tonal.resonatorIndex;
    auto silence = makeConstant (2, 2000, 0.0f);
    run (*split, silence, EffectKind::resonator, 0.6f, 0.8f, 0.5f, 1.0f);

    EXPECT_GT (peakOf (silence), 1.0e-3f);
    EXPECT_EQ (split->tonal.resonatorIndex, (indexBefore + 2000) % (uint64_t) split->tonal.resonatorLines[0].getLength());
}

TEST (TonalKinds, LeaveTheDelayLineKindsStateAlone)
{
    auto slot = makePreparedSlot();

    // Give every delay-line field something to lose.
    auto signal = makeTestSignal (2, 3000, kRate);
    run (*slot, signal, EffectKind::smear, 0.3f, 0.3f, 0.3f, 1.0f);
    signal = makeTestSignal (2, 777, kRate);
    run (*slot, signal, EffectKind::loFi, 0.8f, 0.3f, 0.3f, 1.0f);
    signal = makeTestSignal (2, 100, kRate);
    run (*slot, signal, EffectKind::reverb, 0.8f, 0.3f, 0.3f, 1.0f);

    const auto delay0 = samplesOf (slot->delayLines.lines[0]);
    const auto delay1 = samplesOf (slot->delayLines.lines[1]);
    const auto writeIndex = slot->delayLines.writeIndex;
    const auto lfoPhase = slot->delayLines.lfoPhase;
    const auto heldSample = slot->loFi.heldSample;
    const auto holdCountdown = slot->loFi.holdCountdown;
    const auto smearState = slot->smear.memory;
    const auto noiseState = slot->loFi.noiseState;
    const auto roomSize = slot->reverb.getParameters().roomSize;

    for (const auto kind : { EffectKind::ringMod, EffectKind::wavefold, EffectKind::resonator, EffectKind::orbit })
    {
        auto block = makeTestSignal (2, 2500, kRate);
        run (*slot, block, kind, 0.4f, 0.6f, 0.5f, 1.0f);
    }

    for (int i = 0; i < (int) delay0.size(); ++i)
    {
        ASSERT_EQ (slot->delayLines.lines[0][i], delay0[(size_t) i]) << "channel 0's delay line changed at " << i;
        ASSERT_EQ (slot->delayLines.lines[1][i], delay1[(size_t) i]) << "channel 1's delay line changed at " << i;
    }

    EXPECT_EQ (slot->delayLines.writeIndex, writeIndex);
    EXPECT_EQ (slot->delayLines.lfoPhase, lfoPhase);
    EXPECT_EQ (slot->loFi.heldSample, heldSample);
    EXPECT_EQ (slot->loFi.holdCountdown, holdCountdown);
    EXPECT_EQ (slot->smear.memory, smearState);
    EXPECT_EQ (slot->loFi.noiseState, noiseState);
    EXPECT_EQ (slot->reverb.getParameters().roomSize, roomSize);
}

//==============================================================================
TEST (TonalKinds, OrbitAtDepthZeroPassesTheInput)
{
    auto slot = makePreparedSlot();
    auto input = makeTestSignal (2, 4000, kRate);
    input.setSample (1, 7, 2.5f);
    auto block = input;
    run (*slot, block, EffectKind::orbit, 0.9f, 0.0f, 1.0f, 1.0f);

    input.setSample (1, 7, 2.0f);
    EXPECT_TRUE (bitIdentical (block, input));
}

TEST (TonalKinds, OrbitAtFullDepthAndStereoMovesTheChannelsInOppositePhase)
{
    // Rate 1: 16 Hz, so a second holds sixteen full sweeps.
    auto slot = makePreparedSlot();
    auto block = makeConstant (2, 48000, 1.0f);
    run (*slot, block, EffectKind::orbit, 1.0f, 1.0f, 1.0f, 1.0f);

    float lowest = 1.0f, highest = 0.0f;

    for (int i = 0; i < block.getNumSamples(); ++i)
    {
        const auto left = block.getSample (0, i);
        const auto right = block.getSample (1, i);
        ASSERT_NEAR (left + right, 1.0f, 1.0e-6f) << "sample " << i << ": gains " << left << " and " << right;
        lowest = std::min (lowest, left);
        highest = std::max (highest, left);
    }

    EXPECT_LT (lowest, 1.0e-3f);
    EXPECT_GT (highest, 1.0f - 1.0e-3f);
}

TEST (TonalKinds, RingModAtShapeZeroMultipliesByAPureSine)
{
    // Frequency 0.5: 12 * 100^0.5 = 120 Hz. Stereo 1 puts channel 1 half a cycle ahead.
    auto slot = makePreparedSlot();
    auto block = makeConstant (2, 6000, 1.0f);
    run (*slot, block, EffectKind::ringMod, 0.5f, 0.0f, 1.0f, 1.0f);

    juce::AudioBuffer<float> expected (2, 6000);

    for (int i = 0; i < 6000; ++i)
    {
        const auto carrier = (float) std::sin (juce::MathConstants<double>::twoPi * 120.0 * i / kRate);
        expected.setSample (0, i, carrier);
        expected.setSample (1, i, -carrier);
    }

    EXPECT_TRUE (samplesMatch (block, expected, 1.0e-5f));
}

TEST (TonalKinds, RingModAtStereoZeroUsesOneCarrierForBothChannels)
{
    auto slot = makePreparedSlot();
    auto block = makeTestSignal (1, 5000, kRate);
    block.setSize (2, 5000, true);
    block.copyFrom (1, 0, block, 0, 0, 5000);
    run (*slot, block, EffectKind::ringMod, 0.3f, 0.7f, 0.0f, 1.0f);

    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ (block.getSample (0, i), block.getSample (1, i)) << "sample " << i;
}

TEST (TonalKinds, WavefoldOfSilenceIsSilentForAnyBias)
{
    for (const auto symmetry : { 0.0f, 0.1f, 0.5f, 0.77f, 1.0f })
    {
        for (const auto folds : { 0.0f, 1.0f })
        {
            auto slot = makePreparedSlot();
            auto block = makeConstant (2, 1000, 0.0f);
            run (*slot, block, EffectKind::wavefold, folds, symmetry, 0.5f, 1.0f);
            EXPECT_EQ (peakOf (block), 0.0f) << "symmetry " << symmetry << ", folds " << folds;
        }
    }
}

TEST (TonalKinds, ResonatorAtPitchZeroEchoesOneSampleRateOverFortyFiveLater)
{
    // Feedback 0 (decay 0) and wet only: the impulse comes back once, P = rate / 45 samples
    // later, and the first sample that sees it is the one whose read position passes -1.
    struct Case
    {
        double sampleRate;
        int firstEcho;
        int combLength;
    };

    for (const auto c : { Case { 44100.0, 980, 4418 }, Case { 48000.0, 1066, 4808 }, Case { 96000.0, 2133, 9608 } })
    {
        auto slot = makePreparedSlot (c.sampleRate);
        ASSERT_EQ (slot->tonal.resonatorLines[0].getLength(), c.combLength);

        auto block = makeImpulse (1, 3000);
        run (*slot, block, EffectKind::resonator, 0.0f, 0.0f, 1.0f, 1.0f);

        int first = -1;

        for (int i = 0; i < block.getNumSamples() && first < 0; ++i)
            if (block.getSample (0, i) != 0.0f)
                first = i;

        EXPECT_EQ (first, c.firstEcho) << c.sampleRate << " Hz";
    }
}
} // namespace
