#include "support/SignalTestHelpers.h"

#include "dsp/BreadLayer.h"
#include "processor/Parameters.h"

#include <gtest/gtest.h>

using namespace morsello;

namespace
{
using namespace signaltest;

// One layer of the chain as the engine runs it: a bread kind (0..12), routed as the engine
// routes it, or a filling kind.
struct Layer
{
    bool isBread;
    int kind;

    std::string label() const
    {
        const auto& names = isBread ? kBreadTypeNames : kFillingTypeNames;
        auto name = (isBread ? "bread_" : "filling_") + names[kind].retainCharacters ("abcdefghijklmnopqrstuvwxyz");
        return name.toStdString();
    }

    bool isReverb() const
    {
        if (isBread)
            return runsInEffectEngine (kind) && kBreadRoutes[(size_t) kind].effectKind == EffectKind::reverb;

        return kind == (int) EffectKind::reverb;
    }
};

// Names the layer in test listings and failures, instead of the struct's raw bytes.
void PrintTo (const Layer& layer, std::ostream* os)
{
    *os << layer.label();
}

struct LayerState
{
    explicit LayerState (double sampleRate) : slot (makePreparedSlot (sampleRate))
    {
        bread.prepare (sampleRate);
        bread.reset();
    }

    BreadState bread;
    std::unique_ptr<EffectSlot> slot;
};

// Knobs 1 and 2 away from the ends; the wet amount (bread knob 3, filling knob 4) at 1.
void runLayer (const Layer& layer, LayerState& state, juce::AudioBuffer<float>& block)
{
    if (layer.isBread)
        runBreadLayer (block, state.bread, *state.slot, layer.kind, { 0.35f, 0.65f, 1.0f });
    else
        EffectEngine::process (block, *state.slot, (EffectKind) layer.kind, { 0.35f, 0.65f, 0.7f, 1.0f });
}

std::vector<Layer> everyLayer()
{
    std::vector<Layer> layers;

    for (int kind = 0; kind < kBreadTypeNames.size(); ++kind)
        layers.push_back ({ true, kind });

    for (int kind = 0; kind < kFillingTypeNames.size(); ++kind)
        layers.push_back ({ false, kind });

    return layers;
}

class EveryLayerKind : public testing::TestWithParam<Layer>
{
};

TEST_P (EveryLayerKind, ChangesTheSignalAndStaysFiniteAndBounded)
{
    const auto& layer = GetParam();
    LayerState state (kRate);

    // Loud enough that the clamp at +-2 has work to do.
    const auto input = makeTestSignal (2, 48000, kRate, 1.8f);
    auto block = input;
    runLayer (layer, state, block);

    EXPECT_GT (std::max (peakDifference (block, input, 0), peakDifference (block, input, 1)), 0.01f);
    EXPECT_TRUE (allFinite (block));

    if (! layer.isReverb())
    {
        EXPECT_LE (peakOf (block), 2.0f);
    }
}

TEST_P (EveryLayerKind, GivesTheSameResultInOneBlockOrInManyOddOnes)
{
    // State that is dropped, doubled or re-derived at a block boundary shows up here bit for bit,
    // also at a rate other than the usual ones.
    for (const auto sampleRate : { 44100.0, 88200.0 })
    {
        const auto& layer = GetParam();
        const auto input = makeTestSignal (2, 20000, sampleRate, 1.2f);

        LayerState whole (sampleRate);
        auto expected = input;
        runLayer (layer, whole, expected);

        LayerState split (sampleRate);
        auto actual = input;
        processInBlocks (actual, { 7, 1, 333, 64, 0, 2049 }, [&] (juce::AudioBuffer<float>& piece)
                         { runLayer (layer, split, piece); });

        EXPECT_TRUE (bitIdentical (actual, expected)) << sampleRate << " Hz";
    }
}

std::string layerLabel (const testing::TestParamInfo<Layer>& parameter)
{
    return parameter.param.label();
}

INSTANTIATE_TEST_SUITE_P (Kinds, EveryLayerKind, testing::ValuesIn (everyLayer()), layerLabel);
} // namespace
