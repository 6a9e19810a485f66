#include "support/EveryKind.h"
#include "support/SignalTestHelpers.h"
#include "support/PoisonedLayers.h"

#include "dsp/EngineStages.h"
#include "dsp/MorselloEngine.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace morsello;

namespace
{
using namespace signaltest;

constexpr int kBlock = 256;

// The kind under test at full amount, the other layers' kinds at none, and the bite fully wet,
// so that the kind's output is all the guard sees.
EngineSettings settingsFor (const KindCase& c)
{
    EngineSettings settings;

    for (int index = toIndex (ParameterIndex::left1); index <= toIndex (ParameterIndex::fill3); ++index)
        settings[index] = 0.4f;

    settings[ParameterIndex::breadType] = (float) (c.isBread ? c.kind : toIndex (BreadType::filter));
    settings[ParameterIndex::breadMode] = (float) toIndex (BreadMode::link);
    settings[ParameterIndex::fillingType] = (float) (c.isBread ? 0 : c.kind);
    settings[ParameterIndex::left3] = c.isBread ? 1.0f : 0.0f;
    settings[ParameterIndex::fill4] = c.isBread ? 0.0f : 1.0f;
    settings[ParameterIndex::toast] = 0.2f;
    settings[ParameterIndex::bite] = 1.0f;
    return settings;
}

float quietestChannelPeak (const juce::AudioBuffer<float>& block)
{
    return std::min (block.getMagnitude (0, 0, block.getNumSamples()), block.getMagnitude (1, 0, block.getNumSamples()));
}

class LayerRecovery : public testing::TestWithParam<KindCase>
{
};

// A layer memory turned non-finite mutes what it touches for the block in which the guard finds
// it, and no longer: the next block already sounds, on both channels, and stays finite.
TEST_P (LayerRecovery, SoundReturnsTheBlockAfterTheGuardFires)
{
    const auto settings = settingsFor (GetParam());
    const auto input = makeTestSignal (2, kBlock * 40, kRate, 0.7f);
    auto engine = std::make_unique<MorselloEngine>();
    engine->prepare (kRate, kBlock, 2, settings);

    auto runBlock = [&] (int index)
    {
        juce::AudioBuffer<float> block (2, kBlock);

        for (int channel = 0; channel < 2; ++channel)
            block.copyFrom (channel, 0, input, channel, index * kBlock, kBlock);

        engine->process (block, settings);
        return block;
    };

    // Past the fade-in, so the kind's output is fully in the mix.
    for (int index = 0; index < 30; ++index)
        runBlock (index);

    ASSERT_EQ (engine->getGuardFirings(), 0);

    poisoned::poisonKind (*engine, GetParam().isBread);
    const auto poisonedBlock = runBlock (30);
    EXPECT_TRUE (allFinite (poisonedBlock));
    EXPECT_EQ (engine->getGuardFirings(), 1) << "the planted NaN never reached the output";

    for (int index = 31; index < 40; ++index)
    {
        const auto block = runBlock (index);
        ASSERT_TRUE (allFinite (block)) << "block " << index;
        EXPECT_GT (quietestChannelPeak (block), 0.05f) << "block " << index;
    }

    EXPECT_EQ (engine->getGuardFirings(), 1);
}

// Finite input never reaches the guard, however large: the layers are given at most
// kInputLimit, and nothing in them overflows at that level.
TEST_P (LayerRecovery, FiniteInputOfAnySizeNeverFiresTheGuard)
{
    const auto settings = settingsFor (GetParam());
    constexpr auto largest = std::numeric_limits<float>::max();

    struct Input
    {
        const char* what;
        float level;
        int period; // samples per half cycle of a square; 0 for the test signal
    };

    const Input inputs[] {
        { "squares at the largest float", largest, 37 },
        { "largest float alternating every sample", largest, 1 },
        { "squares at 1e30", 1.0e30f, 200 },
        { "squares at the input limit", kInputLimit, 64 },
        { "test signal at 1e37", 1.0e37f, 0 },
    };

    for (const auto& input : inputs)
    {
        const auto signal = makeTestSignal (2, kBlock, kRate, 1.0f);
        auto engine = std::make_unique<MorselloEngine>();
        engine->prepare (kRate, kBlock, 2, settings);

        for (int index = 0; index < 40; ++index)
        {
            juce::AudioBuffer<float> block (2, kBlock);

            for (int channel = 0; channel < 2; ++channel)
                for (int i = 0; i < kBlock; ++i)
                {
                    const auto square = ((index * kBlock + i) / std::max (input.period, 1)) % 2 == 0 ? input.level : -input.level;
                    block.setSample (channel, i, input.period == 0 ? input.level * signal.getSample (channel, i) : square);
                }

            engine->process (block, settings);
            ASSERT_TRUE (allFinite (block)) << input.what << ", block " << index;
        }

        EXPECT_EQ (engine->getGuardFirings(), 0) << input.what;
    }
}

INSTANTIATE_TEST_SUITE_P (EveryKind, LayerRecovery, testing::ValuesIn (everyKind()), kindCaseName);
} // namespace
