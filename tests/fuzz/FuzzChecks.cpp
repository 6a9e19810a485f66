#include "FuzzChecks.h"

#include "dsp/MorselloEngine.h"
#include "processor/Parameters.h"
#include "processor/PluginProcessor.h"
#include "recipes/RecipeFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

using namespace morsello;

namespace fuzzchecks
{
namespace
{
    juce::RangedAudioParameter& parameterOf (const MorselloAudioProcessor& processor, int index)
    {
        return *processor.getParameterTree().getParameter (kParameterIds[(size_t) index]);
    }

    float rawValueOf (const MorselloAudioProcessor& processor, int index)
    {
        return processor.getParameterTree().getRawParameterValue (kParameterIds[(size_t) index])->load();
    }

    std::vector<float> valuesOf (const MorselloAudioProcessor& processor)
    {
        std::vector<float> values;

        for (int index = 0; index < kNumParameters; ++index)
            values.push_back (rawValueOf (processor, index));

        return values;
    }

    // Every raw value within its parameter's range and exactly on one of its steps.
    std::string checkParameters (const MorselloAudioProcessor& processor)
    {
        for (int index = 0; index < kNumParameters; ++index)
        {
            const auto value = rawValueOf (processor, index);
            const auto& range = parameterOf (processor, index).getNormalisableRange();

            if (! (value >= range.start && value <= range.end))
                return std::string (kParameterIds[(size_t) index]) + " out of range: " + std::to_string (value);

            if (range.snapToLegalValue (value) != value)
                return std::string (kParameterIds[(size_t) index]) + " off its steps: " + std::to_string (value);
        }

        return {};
    }

    // A save restored into a fresh processor gives the same values.
    std::string checkRoundTrip (MorselloAudioProcessor& processor)
    {
        juce::MemoryBlock saved;
        processor.getStateInformation (saved);

        MorselloAudioProcessor restored;
        restored.setStateInformation (saved.getData(), (int) saved.getSize());

        if (valuesOf (restored) != valuesOf (processor))
            return "a saved state restores to other values";

        return {};
    }

    // Reads the fuzzer's bytes in order; past the end it gives zeros, so every input is a run.
    class ByteReader
    {
    public:
        ByteReader (const uint8_t* d, size_t s) : data (d), size (s) {}

        bool atEnd() const noexcept { return position >= size; }

        uint8_t byte() noexcept { return position < size ? data[position++] : 0; }

        // The low byte first. The two reads are sequenced by hand: the operands of one `|` may
        // be evaluated in either order, and compilers differ, which once made the same input
        // a different run in another build.
        uint16_t word() noexcept
        {
            const auto low = byte();
            return (uint16_t) (low | (byte() << 8));
        }

        uint32_t bits() noexcept
        {
            const auto low = word();
            return (uint32_t) low | ((uint32_t) word() << 16);
        }

    private:
        const uint8_t* data;
        size_t size;
        size_t position = 0;
    };

    float floatFromBits (uint32_t bits) noexcept
    {
        float value;
        std::memcpy (&value, &bits, sizeof (value));
        return value;
    }

    // A value the parameter could hold: one of its steps, picked by `choice`.
    float legalValue (const juce::NormalisableRange<float>& range, uint16_t choice)
    {
        return range.snapToLegalValue (range.convertFrom0to1 ((float) choice / 65535.0f));
    }

    // The parameters' ranges, taken once from the plug-in's own parameter list.
    const std::vector<juce::NormalisableRange<float>>& parameterRanges()
    {
        static const auto ranges = []
        {
            MorselloAudioProcessor processor;
            std::vector<juce::NormalisableRange<float>> result;

            for (int index = 0; index < kNumParameters; ++index)
                result.push_back (parameterOf (processor, index).getNormalisableRange());

            return result;
        }();

        return ranges;
    }

    void fillBlock (juce::AudioBuffer<float>& block, int numSamples, ByteReader& reader)
    {
        const auto pattern = reader.byte() % 4;
        const auto period = 1 + reader.byte();

        for (int channel = 0; channel < block.getNumChannels(); ++channel)
        {
            auto* samples = block.getWritePointer (channel);

            for (int i = 0; i < numSamples; ++i)
            {
                switch (pattern)
                {
                    case 0:
                        samples[i] = floatFromBits (reader.bits());
                        break;
                    case 1:
                        samples[i] = (i / period) % 2 == 0 ? 1.0f : -1.0f;
                        break;
                    case 2:
                        samples[i] = 0.0f;
                        break;
                    default:
                        samples[i] = (float) (int8_t) reader.byte() / 127.0f;
                        break;
                }
            }
        }
    }
} // namespace

std::string checkStateChunk (const uint8_t* data, size_t size)
{
    MorselloAudioProcessor processor;
    processor.setStateInformation (data, (int) size);

    if (auto problem = checkParameters (processor); ! problem.empty())
        return problem;

    return checkRoundTrip (processor);
}

std::string checkRecipeFile (const uint8_t* data, size_t size)
{
    const juce::TemporaryFile temporary (RecipeFile::fileExtension);

    if (! temporary.getFile().replaceWithData (data, size))
        return {}; // the file system refused: nothing to test

    MorselloAudioProcessor processor;
    const auto before = valuesOf (processor);
    const auto result = RecipeFile::load (processor, temporary.getFile());

    if (! result.succeeded() && valuesOf (processor) != before)
        return "a failed load changed parameters";

    return checkParameters (processor);
}

std::string checkEngineRun (const uint8_t* data, size_t size)
{
    ByteReader reader (data, size);
    const auto& ranges = parameterRanges();

    const auto sampleRate = 8000.0 + 376000.0 * (double) reader.word() / 65535.0;
    const auto maximumBlockSize = 1 + reader.word() % 2048;
    const auto numChannels = 1 + reader.byte() % 2;

    EngineSettings settings;

    for (int index = 0; index < kNumParameters; ++index)
        settings[index] = legalValue (ranges[(size_t) index], reader.word());

    auto engine = std::make_unique<MorselloEngine>();
    engine->prepare (sampleRate, maximumBlockSize, numChannels, settings);
    juce::AudioBuffer<float> block (numChannels, maximumBlockSize);

    // Bounded, so that one input cannot run for long.
    for (int step = 0; step < 64 && ! reader.atEnd(); ++step)
    {
        const auto changes = reader.byte() % 4;

        for (int change = 0; change < (int) changes; ++change)
        {
            const auto index = reader.byte() % kNumParameters;
            settings[index] = legalValue (ranges[(size_t) index], reader.word());
        }

        const auto numSamples = reader.word() % (maximumBlockSize + 1);
        juce::AudioBuffer<float> piece (block.getArrayOfWritePointers(), numChannels, 0, numSamples);
        fillBlock (piece, numSamples, reader);
        engine->process (piece, settings);

        for (int channel = 0; channel < numChannels; ++channel)
            for (int i = 0; i < numSamples; ++i)
            {
                const auto sample = piece.getSample (channel, i);

                if (! (std::abs (sample) <= kLimiterCeiling))
                    return "step " + std::to_string (step) + ": sample " + std::to_string (i) + " of channel "
                           + std::to_string (channel) + " is " + std::to_string (sample);
            }

        if (engine->getGuardFirings() != 0)
            return "step " + std::to_string (step) + ": the output guard fired on finite layer input";
    }

    return {};
}
} // namespace fuzzchecks
