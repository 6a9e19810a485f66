// The built LV2 bundle as an LV2 host sees it through Debian's lilv: the description it reads
// (class, description, maintainer, presets, choice parameters) and what the plug-in does when
// a host sends it the values that description offers.

#include "Lv2Host.h"

#include "processor/PluginProcessor.h"
#include "support/ThreadWakeUps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace morsello;

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 256;
constexpr int numBlocks = 48; // 0.26 s

// The knobs, set alike through the bundle and on the processor before the kind under test:
// short echo and delay times, so that every kind is heard within the render, right-hand knobs
// apart from the left so that the bread modes differ, the whole sandwich in the output, and
// an output gain that checks a plain value in dB on the way.
const std::pair<const char*, float> knobSettings[] {
    { "left1", 0.2f },
    { "left2", 0.35f },
    { "left3", 0.8f },
    { "right1", 0.7f },
    { "right2", 0.3f },
    { "right3", 0.4f },
    { "fill1", 0.3f },
    { "fill2", 0.6f },
    { "fill3", 0.5f },
    { "fill4", 0.7f },
    { "toast", 0.3f },
    { "bite", 1.0f },
    { "output", -6.0f },
};

const std::string pluginUri = JucePlugin_LV2URI;

// A parameter's URI as the plug-in's description names it.
std::string parameterUri (const char* id) { return pluginUri + ":" + id; }

lv2host::Host& host()
{
    static lv2host::Host instance { MORSELLO_LV2_BUNDLE, MORSELLO_LV2_CORE_BUNDLE, pluginUri };
    return instance;
}

const lv2host::Description& description()
{
    static const auto described = host().describe();
    return described;
}

const lv2host::Parameter* findParameter (const char* id)
{
    for (const auto& parameter : description().parameters)
        if (parameter.uri == parameterUri (id))
            return &parameter;

    return nullptr;
}

//==============================================================================
TEST (Lv2Bundle, IsADelayEffectWithItsOwnDescriptionAndAMailtoAddress)
{
    const auto& plugin = description();

    EXPECT_EQ (plugin.name, JucePlugin_Name);
    // A class lilv knows from LV2's core description: an unknown one reads as plain lv2:Plugin.
    EXPECT_EQ (plugin.classUri, "http://lv2plug.in/ns/lv2core#DelayPlugin");
    EXPECT_EQ (plugin.classLabel, "Delay Plugin");

    // A sentence of its own, not the name again.
    EXPECT_NE (plugin.description, plugin.name);
    EXPECT_GT (plugin.description.size(), 40u);
    EXPECT_EQ (plugin.description.back(), '.');

    // Without the scheme lilv resolves the address against the bundle, as a file in it.
    EXPECT_EQ (plugin.authorEmail, std::string ("mailto:") + JucePlugin_ManufacturerEmail);

    // What a host must offer to load it: the features this test's host gives, nothing more.
    const std::set<std::string> offered { "http://lv2plug.in/ns/ext/urid#map",
                                          "http://lv2plug.in/ns/ext/options#options",
                                          "http://lv2plug.in/ns/ext/buf-size#boundedBlockLength" };
    for (const auto& feature : plugin.requiredFeatures)
        EXPECT_EQ (offered.count (feature), 1u) << feature;
}

// Ardour files a preset that carries an rdfs:comment as the plug-in's own (factory) preset and
// every other one as the user's, which the user may overwrite or delete.
TEST (Lv2Bundle, ListsTheSixteenRecipesAsCommentedFactoryPresets)
{
    MorselloAudioProcessor processor;
    const auto& presets = description().presets;
    ASSERT_EQ ((int) presets.size(), processor.getNumPrograms());
    ASSERT_EQ (presets.size(), 16u);

    std::map<std::string, const lv2host::Preset*> byUri;
    for (const auto& preset : presets)
        byUri[preset.uri] = &preset;

    for (int program = 0; program < processor.getNumPrograms(); ++program)
    {
        const auto uri = pluginUri + ":preset" + std::to_string (program + 1);
        SCOPED_TRACE (uri);
        ASSERT_EQ (byUri.count (uri), 1u);
        EXPECT_EQ (byUri[uri]->label, processor.getProgramName (program).toStdString());
        EXPECT_FALSE (byUri[uri]->comment.empty());
    }
}

//==============================================================================
// The three choice parameters: what the host reads, and what the plug-in does with it.
const char* const choiceIds[] { parameterId (ParameterIndex::breadType), parameterId (ParameterIndex::breadMode),
                                parameterId (ParameterIndex::fillingType) };

juce::AudioParameterChoice& choiceParameter (MorselloAudioProcessor& processor, const char* id)
{
    auto* choice = dynamic_cast<juce::AudioParameterChoice*> (processor.getParameterTree().getParameter (id));

    if (choice == nullptr)
        throw std::runtime_error (std::string ("no choice parameter ") + id);

    return *choice;
}

class Lv2ChoiceParameter : public ::testing::TestWithParam<const char*>
{
};

// A host shows the scale points as the parameter's menu and sends the chosen one's value. That
// value is the plug-in's plain value: the index of the kind, inside the declared range.
TEST_P (Lv2ChoiceParameter, OffersEachKindByItsIndexWithinTheRange)
{
    MorselloAudioProcessor processor;
    const auto& choice = choiceParameter (processor, GetParam());
    const auto* parameter = findParameter (GetParam());
    ASSERT_NE (parameter, nullptr);

    const auto count = choice.choices.size();
    ASSERT_TRUE (parameter->hasRange);
    EXPECT_EQ (parameter->minimum, 0.0f);
    EXPECT_EQ (parameter->maximum, (float) (count - 1));
    const auto& asParameter = static_cast<const juce::AudioProcessorParameter&> (choice);
    EXPECT_EQ (parameter->defaultValue, choice.getNormalisableRange().convertFrom0to1 (asParameter.getDefaultValue()));

    ASSERT_EQ ((int) parameter->scalePoints.size(), count);
    for (int index = 0; index < count; ++index)
    {
        EXPECT_EQ (parameter->scalePoints[(size_t) index].label, choice.choices[index].toStdString());
        EXPECT_EQ (parameter->scalePoints[(size_t) index].value, (float) index);
    }
}

// Two channels of a test signal: a sweep on the left, a chord with decaying bursts on the right,
// so that every kind of layer has something to change.
juce::AudioBuffer<float> makeSignal()
{
    juce::AudioBuffer<float> signal (2, blockSize * numBlocks);

    for (int i = 0; i < signal.getNumSamples(); ++i)
    {
        const auto t = (double) i / sampleRate;
        const auto sweep = std::sin (2.0 * juce::MathConstants<double>::pi * (110.0 + 1800.0 * t) * t);
        const auto burst = std::exp (-30.0 * std::fmod (t, 0.02));
        const auto chord = std::sin (2.0 * juce::MathConstants<double>::pi * 220.0 * t)
                           + 0.5 * std::sin (2.0 * juce::MathConstants<double>::pi * 330.0 * t);
        signal.setSample (0, i, (float) (0.6 * sweep));
        signal.setSample (1, i, (float) (0.4 * chord * burst));
    }

    return signal;
}

// The signal through the plug-in loaded from the bundle, block by block.
juce::AudioBuffer<float> render (lv2host::Instance& instance, const juce::AudioBuffer<float>& signal)
{
    juce::AudioBuffer<float> output (2, signal.getNumSamples());
    for (int start = 0; start < signal.getNumSamples(); start += blockSize)
    {
        const float* inputs[] { signal.getReadPointer (0, start), signal.getReadPointer (1, start) };
        float* outputs[] { output.getWritePointer (0, start), output.getWritePointer (1, start) };
        instance.process (inputs, outputs, blockSize);
    }

    return output;
}

// The signal through the project's processor, run as the framework's LV2 wrapper runs it: the
// same rate and blocks, prepared before the first change.
juce::AudioBuffer<float> render (MorselloAudioProcessor& processor, const juce::AudioBuffer<float>& signal)
{
    juce::AudioBuffer<float> output (signal);
    juce::MidiBuffer midi;
    for (int start = 0; start < signal.getNumSamples(); start += blockSize)
    {
        juce::AudioBuffer<float> block (output.getArrayOfWritePointers(), 2, start, blockSize);
        processor.processBlock (block, midi);
    }

    return output;
}

// The plug-in loaded from the bundle, the parameter set through a patch:Set with `value`.
juce::AudioBuffer<float> renderThroughBundle (const char* id, float value, const juce::AudioBuffer<float>& signal)
{
    auto instance = host().instantiate (sampleRate, blockSize);
    for (const auto& [knob, knobValue] : knobSettings)
        instance->setParameter (parameterUri (knob), knobValue);
    instance->setParameter (parameterUri (id), value);
    return render (*instance, signal);
}

// The project's processor with the parameter moved to `index` between preparing and the first
// block, as the wrapper applies a patch:Set at the start of the block it comes with.
juce::AudioBuffer<float> renderThroughProcessor (const char* id, int index, const juce::AudioBuffer<float>& signal)
{
    MorselloAudioProcessor processor;
    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);
    for (const auto& [knob, knobValue] : knobSettings)
        processor.setParameterValue (knob, knobValue);
    processor.setParameterValue (id, (float) index);
    return render (processor, signal);
}

float largestDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    float largest = 0.0f;
    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < a.getNumSamples(); ++i)
            largest = std::max (largest, std::abs (a.getSample (channel, i) - b.getSample (channel, i)));

    return largest;
}

// Each scale point, sent as its value to the plug-in in the bundle, selects the kind whose label
// it carries: the output equals the processor's with that kind, sample for sample (the same
// code on the same blocks). The processor's renders of the kinds differ from each other, so a
// scale point that selected another kind could not pass.
TEST_P (Lv2ChoiceParameter, EachScalePointSelectsTheKindItNames)
{
    const auto* parameter = findParameter (GetParam());
    ASSERT_NE (parameter, nullptr);
    ASSERT_FALSE (parameter->scalePoints.empty());

    MorselloAudioProcessor names;
    const auto& choices = choiceParameter (names, GetParam()).choices;
    const auto signal = makeSignal();
    std::vector<juce::AudioBuffer<float>> expected;

    for (const auto& point : parameter->scalePoints)
    {
        SCOPED_TRACE (point.label);
        const auto index = choices.indexOf (juce::String (point.label));
        ASSERT_GE (index, 0) << "no kind named " << point.label;

        expected.push_back (renderThroughProcessor (GetParam(), index, signal));
        const auto actual = renderThroughBundle (GetParam(), point.value, signal);
        EXPECT_EQ (largestDifference (actual, expected.back()), 0.0f);
    }

    for (size_t a = 0; a < expected.size(); ++a)
        for (size_t b = a + 1; b < expected.size(); ++b)
            EXPECT_GT (largestDifference (expected[a], expected[b]), 1.0e-3f)
                << parameter->scalePoints[a].label << " and " << parameter->scalePoints[b].label << " sound the same";
}

// A preset loaded through the bundle applies its recipe: the output equals the processor's
// with that program chosen. Each recipe sounds different from the first, so a preset that
// loaded nothing could not pass.
TEST (Lv2Bundle, EachFactoryPresetAppliesItsRecipe)
{
    const auto signal = makeSignal();
    std::vector<juce::AudioBuffer<float>> expected;

    for (int program = 0; program < 16; ++program)
    {
        const auto uri = pluginUri + ":preset" + std::to_string (program + 1);
        SCOPED_TRACE (uri);

        MorselloAudioProcessor processor;
        processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
        processor.prepareToPlay (sampleRate, blockSize);
        processor.setCurrentProgram (program);
        expected.push_back (render (processor, signal));

        auto instance = host().instantiate (sampleRate, blockSize);
        instance->loadPreset (uri);
        EXPECT_EQ (largestDifference (render (*instance, signal), expected.back()), 0.0f);

        if (program > 0)
        {
            EXPECT_GT (largestDifference (expected.back(), expected.front()), 1.0e-3f);
        }
    }
}

// Loaded without a window, the plug-in's events run on its own message thread, which must sleep
// while there is nothing to do (the framework's own loop polled every millisecond, about 900
// wake-ups a second); its threads end with the last instance. Instances come and go in both
// orders.
TEST (Lv2Bundle, AnIdleInstanceLeavesItsThreadsAsleepAndTheLastOneEndsThem)
{
    using namespace std::chrono_literals;
    const auto signal = makeSignal();
    host().instantiate (sampleRate, blockSize).reset(); // the host's own first-use threads
    const auto before = thread_wake_ups::threadIds();

    {
        auto instance = host().instantiate (sampleRate, blockSize);
        render (*instance, signal);
        const auto started = thread_wake_ups::newThreads (before);
        ASSERT_FALSE (started.empty());
        std::this_thread::sleep_for (200ms);
        EXPECT_LT (thread_wake_ups::mostWakeUpsDuring (started, 1000ms), thread_wake_ups::maxIdlePluginWakeUpsPerSecond);
    }

    for (int round = 0; round < 20; ++round)
    {
        auto first = host().instantiate (sampleRate, blockSize);
        auto second = host().instantiate (sampleRate, blockSize);
        const auto started = thread_wake_ups::newThreads (before);
        EXPECT_FALSE (started.empty()) << round;

        if (round % 2 == 0)
            first.reset();

        second.reset();
        first.reset();
        EXPECT_TRUE (thread_wake_ups::allEndWithin (started, 2000ms)) << round << ": a thread outlived the last instance";
    }
}

std::string choiceName (const ::testing::TestParamInfo<const char*>& choice) { return choice.param; }

INSTANTIATE_TEST_SUITE_P (Choices, Lv2ChoiceParameter, ::testing::ValuesIn (choiceIds), choiceName);
} // namespace
