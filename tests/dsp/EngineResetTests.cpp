#include "support/EveryKind.h"
#include "support/SignalTestHelpers.h"

#include "dsp/MorselloEngine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace morsello;

namespace
{
using namespace signaltest;

constexpr int kBlock = 256;

// The settings for a kind under test: a bread kind (with a granular filling at amount 0) or a
// filling kind (between filter breads at amount 0), every knob away from its ends and every
// amount at 1.
EngineSettings settingsFor (const KindCase& c)
{
    EngineSettings settings;

    for (int index = toIndex (ParameterIndex::left1); index <= toIndex (ParameterIndex::bite); ++index)
        settings[index] = 0.35f + 0.03f * (float) index;

    settings[ParameterIndex::breadType] = (float) (c.isBread ? c.kind : toIndex (BreadType::filter));
    settings[ParameterIndex::breadMode] = (float) toIndex (BreadMode::free);
    settings[ParameterIndex::fillingType] = (float) (c.isBread ? 0 : c.kind);
    settings[ParameterIndex::left3] = settings[ParameterIndex::right3] = c.isBread ? 1.0f : 0.0f;
    settings[ParameterIndex::fill4] = c.isBread ? 0.0f : 1.0f;
    settings[ParameterIndex::output] = -1.5f;
    return settings;
}

// Blocks of a test signal, each block's samples following on from the last block's.
juce::AudioBuffer<float> render (MorselloEngine& engine, const EngineSettings& settings, double sampleRate, int numBlocks,
                                 float level)
{
    const auto input = makeTestSignal (2, kBlock * numBlocks, sampleRate, level);
    juce::AudioBuffer<float> output (2, kBlock * numBlocks);

    for (int block = 0; block < numBlocks; ++block)
    {
        juce::AudioBuffer<float> piece (2, kBlock);

        for (int channel = 0; channel < 2; ++channel)
            piece.copyFrom (channel, 0, input, channel, block * kBlock, kBlock);

        engine.process (piece, settings);

        for (int channel = 0; channel < 2; ++channel)
            output.copyFrom (channel, block * kBlock, piece, channel, 0, kBlock);
    }

    return output;
}

class EngineRestart : public testing::TestWithParam<KindCase>
{
};

// Whatever a used engine remembers (delay lines, filter memories, phases, the noise generator,
// the reverb, the limiter, a transition under way), reset() must forget: afterwards it sounds as
// a freshly prepared engine does. The used engine last ran other settings, so a transition to
// the tested ones is under way when it is reset.
TEST_P (EngineRestart, ResetSoundsAsAFreshEngine)
{
    const auto settings = settingsFor (GetParam());
    auto other = settingsFor ({ ! GetParam().isBread, 3 });
    other[ParameterIndex::toast] = 0.9f;

    auto used = std::make_unique<MorselloEngine>();
    used->prepare (kRate, kBlock, 2, other);
    render (*used, other, kRate, 20, 1.6f);
    render (*used, settings, kRate, 2, 1.6f);
    used->reset();

    auto fresh = std::make_unique<MorselloEngine>();
    fresh->prepare (kRate, kBlock, 2, settings);

    // The used engine's ramps start from the last settings it was given: the tested ones.
    const auto expected = render (*fresh, settings, kRate, 40, 0.7f);
    EXPECT_TRUE (bitIdentical (render (*used, settings, kRate, 40, 0.7f), expected));
}

// Prepared again at another rate, a used engine sounds as one prepared only at that rate.
TEST_P (EngineRestart, PreparedAgainAtAnotherRateSoundsAsAFreshEngine)
{
    const auto settings = settingsFor (GetParam());

    auto used = std::make_unique<MorselloEngine>();
    used->prepare (44100.0, 512, 2, settings);
    render (*used, settings, 44100.0, 20, 1.6f);
    used->prepare (96000.0, kBlock, 2, settings);

    auto fresh = std::make_unique<MorselloEngine>();
    fresh->prepare (96000.0, kBlock, 2, settings);

    const auto expected = render (*fresh, settings, 96000.0, 40, 0.7f);
    EXPECT_TRUE (bitIdentical (render (*used, settings, 96000.0, 40, 0.7f), expected));
}

INSTANTIATE_TEST_SUITE_P (EveryKind, EngineRestart, testing::ValuesIn (everyKind()), kindCaseName);
} // namespace
