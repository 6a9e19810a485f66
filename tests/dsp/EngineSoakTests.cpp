// Ten minutes of audio through the engine under restless automation, and the heap the engine
// holds once prepared.

#include "dsp/MorselloEngine.h"
#include "processor/programs/FactoryRecipes.h"
#include "support/EngineMemory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>

using namespace morsello;

namespace
{
constexpr unsigned kSoakSeed = 0x50616B21u;
constexpr int kSoakBlockSize = 512;

// Values the plug-in's parameters can hold: kinds and mode as whole indices, knobs on their
// 0.001 steps, the output on its 0.1 dB steps, snapped as the parameters snap them.
class HoldableValues
{
public:
    explicit HoldableValues (std::mt19937& r) : random (r) {}

    float any (int index)
    {
        if (index == toIndex (ParameterIndex::breadType))
            return (float) std::uniform_int_distribution<int> (0, kNumBreadTypes - 1) (random);

        if (index == toIndex (ParameterIndex::breadMode))
            return (float) std::uniform_int_distribution<int> (0, kNumBreadModes - 1) (random);

        if (index == toIndex (ParameterIndex::fillingType))
            return (float) std::uniform_int_distribution<int> (0, kNumFillingTypes - 1) (random);

        const auto& range = rangeOf (index);

        // The ends of a range now and then, as a host's automation often reaches them.
        const auto pick = std::uniform_int_distribution<int> (0, 9) (random);

        if (pick == 0)
            return range.start;

        if (pick == 1)
            return range.end;

        return range.snapToLegalValue (range.convertFrom0to1 (unit (random)));
    }

    // A small move of a knob or the output, as a drawn automation line makes between blocks.
    float glide (int index, float from)
    {
        const auto& range = rangeOf (index);
        const auto step = (unit (random) - 0.5f) * 0.08f * (range.end - range.start);
        return range.snapToLegalValue (juce::jlimit (range.start, range.end, from + step));
    }

    static bool isKind (int index) { return index <= toIndex (ParameterIndex::fillingType); }

private:
    const juce::NormalisableRange<float>& rangeOf (int index) const
    {
        return index == toIndex (ParameterIndex::output) ? output : knob;
    }

    std::mt19937& random;
    std::uniform_real_distribution<float> unit { 0.0f, 1.0f };
    const juce::NormalisableRange<float> knob { 0.0f, 1.0f, 0.001f };
    const juce::NormalisableRange<float> output { -18.0f, 6.0f, 0.1f };
};

// Music-like input, all finite: tones, noise and loud bursts of a few blocks each, with
// stretches of silence between them so that the layers' tails run out again and again.
class SoakInput
{
public:
    explicit SoakInput (std::mt19937& r) : random (r) {}

    void fill (juce::AudioBuffer<float>& block)
    {
        if (--blocksLeft <= 0)
        {
            blocksLeft = std::uniform_int_distribution<int> (1, 200) (random);
            const auto kind = std::uniform_int_distribution<int> (0, 5) (random);
            level = kind == 0 ? 0.0f : (kind == 1 ? 2.0f * unit (random) + 1.0f : unit (random));
            noise = unit (random);
            increment = 0.0005 + 0.2 * unit (random) * unit (random);
        }

        for (int i = 0; i < block.getNumSamples(); ++i)
        {
            phase += increment;

            for (int channel = 0; channel < block.getNumChannels(); ++channel)
            {
                const auto tone = (float) std::sin (phase * (1.0 + 0.01 * channel));
                block.setSample (channel, i, level * ((1.0f - noise) * tone + noise * (2.0f * unit (random) - 1.0f)));
            }
        }
    }

private:
    std::mt19937& random;
    std::uniform_real_distribution<float> unit { 0.0f, 1.0f };
    int blocksLeft = 0;
    float level = 0.0f, noise = 0.0f;
    double phase = 0.0, increment = 0.01;
};

class EngineSoak : public ::testing::TestWithParam<double>
{
};

TEST_P (EngineSoak, TenMinutesOfAutomationStayFiniteWithinTheCeilingWithoutGuardOrGrowth)
{
    const auto sampleRate = GetParam();
    std::printf ("seed %u\n", kSoakSeed);
    std::mt19937 random (kSoakSeed);
    HoldableValues values (random);
    SoakInput input (random);

    auto settings = engineSettingsFor (kFactoryRecipes[0]);
    auto engine = std::make_unique<MorselloEngine>();
    engine->prepare (sampleRate, kSoakBlockSize, 2, settings);
    juce::AudioBuffer<float> buffer (2, kSoakBlockSize);

    const auto totalSamples = (long long) (600.0 * sampleRate);
    const auto oneMinute = (long long) (60.0 * sampleRate);
    long long processed = 0, nonFinite = 0, aboveCeiling = 0;
    int blocksToNextChange = 1, recipes = 0, changes = 0;
    auto nextRecipeAt = (long long) 0;
    std::size_t heapAfterOneMinute = 0;
    float largest = 0.0f;
    const auto started = std::chrono::steady_clock::now();

    while (processed < totalSamples)
    {
        // A random recipe every few seconds, the output gain chosen with it.
        if (processed >= nextRecipeAt)
        {
            settings = engineSettingsFor (kFactoryRecipes[(size_t) std::uniform_int_distribution<int> (0, kNumFactoryRecipes - 1) (random)],
                                          values.any (toIndex (ParameterIndex::output)));
            nextRecipeAt = processed + (long long) (sampleRate * std::uniform_real_distribution<double> (2.0, 12.0) (random));
            ++recipes;
        }

        // Every few blocks every parameter moves: knobs and output glide, and now and then
        // one of them (or a kind) jumps anywhere it can go.
        if (--blocksToNextChange <= 0)
        {
            for (int index = 0; index < kNumParameters; ++index)
            {
                const auto jump = std::uniform_int_distribution<int> (0, 39) (random) == 0;

                if (jump)
                    settings[index] = values.any (index);
                else if (! HoldableValues::isKind (index))
                    settings[index] = values.glide (index, settings[index]);
            }

            blocksToNextChange = std::uniform_int_distribution<int> (1, 6) (random);
            ++changes;
        }

        const auto numSamples = (int) std::min<long long> (std::uniform_int_distribution<int> (1, kSoakBlockSize) (random),
                                                           totalSamples - processed);
        juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), 2, numSamples);
        input.fill (block);
        engine->process (block, settings);

        for (int channel = 0; channel < 2; ++channel)
        {
            const auto* data = block.getReadPointer (channel);

            for (int i = 0; i < numSamples; ++i)
            {
                const auto magnitude = std::abs (data[i]);

                if (! std::isfinite (data[i]))
                    ++nonFinite;
                else if (magnitude > kLimiterCeiling)
                    ++aboveCeiling;
                else
                    largest = std::max (largest, magnitude);
            }
        }

        const auto before = processed;
        processed += numSamples;

        if (before < oneMinute && processed >= oneMinute)
            heapAfterOneMinute = engine_memory::heapInUse();
    }

    const auto heapAtTheEnd = engine_memory::heapInUse();
    const auto seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - started).count();
    std::printf ("%.0f s of audio at %.1f kHz in %.1f s: %d recipes, %d changes, largest magnitude %.6f\n",
                 (double) processed / sampleRate, sampleRate / 1000.0, seconds, recipes, changes, (double) largest);

    EXPECT_EQ (nonFinite, 0);
    EXPECT_EQ (aboveCeiling, 0);
    EXPECT_EQ (engine->getGuardFirings(), 0);
    EXPECT_EQ (heapAtTheEnd, heapAfterOneMinute);
}

INSTANTIATE_TEST_SUITE_P (CommonRates, EngineSoak, ::testing::Values (44100.0, 96000.0),
                          [] (const testing::TestParamInfo<double>& rate)
                          { return std::to_string ((int) rate.param) + "Hz"; });

//==============================================================================
// The heap an engine holds once prepared: exactly its buffers at the rate (two bread states
// and three slots of 4 s lines, the slots' comb lines and reverbs, the dry copy), plus little
// beyond them, whatever rate it was prepared at before.
TEST (EngineMemory, PreparedEngineHoldsWhatItsBuffersNeedAtTheRateLastPrepared)
{
    constexpr int blockSize = 512;

    struct Case
    {
        double previousRate; // 0: a new engine
        double rate;
    };

    const Case cases[] {
        { 0.0, 44100.0 },
        { 0.0, 48000.0 },
        { 0.0, 96000.0 },
        { 0.0, 192000.0 },
        { 48000.0, 48000.0 },  // prepared again at the same rate
        { 192000.0, 44100.0 }, // a session moved down from a high rate
        { 8000.0, 96000.0 },   // and up from a low one
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (std::to_string (c.previousRate) + " Hz, then " + std::to_string (c.rate) + " Hz");
        const auto before = engine_memory::heapInUse();
        auto engine = std::make_unique<MorselloEngine>();

        if (c.previousRate > 0.0)
            engine->prepare (c.previousRate, blockSize, 2, {});

        engine->prepare (c.rate, blockSize, 2, {});
        const auto held = engine_memory::heapInUse() - before;
        // The high quality mode's buffers are held in either quality (a change allocates nothing).
        const auto needed = engine_memory::neededBytes (c.rate, blockSize, 2).total() + engine->getHighQualityBytes();

        // Beyond the buffers: the engine object itself and the C library's bookkeeping of
        // some thirty blocks (mapped ones are rounded up to whole pages).
        EXPECT_GE (held, needed);
        EXPECT_LE (held, needed + sizeof (MorselloEngine) + 256 * 1024) << "held " << held << ", needed " << needed;
    }
}
} // namespace
