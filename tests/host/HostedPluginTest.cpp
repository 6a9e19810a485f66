// Loads the built VST3 bundle through the framework's VST3 hosting and checks what a DAW sees.

#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <dlfcn.h>

#include "ExpectedHostView.h"

namespace
{
constexpr double testSampleRate = 48000.0;
constexpr int testBlockSize = 512;

// Without a window manager (as under a bare virtual display) some window properties name atoms
// that do not exist; a host survives the X errors this causes, and so must this test.
void ignoreXErrors()
{
    if (auto* x11 = dlopen ("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD))
        if (auto* setHandler = reinterpret_cast<void* (*) (int (*) (void*, void*))> (dlsym (x11, "XSetErrorHandler")))
            setHandler ([] (void*, void*)
                        { return 0; });
}

class HostedPlugin : public ::testing::Test
{
protected:
    static juce::PluginDescription describe()
    {
        juce::VST3PluginFormat format;
        juce::OwnedArray<juce::PluginDescription> types;
        format.findAllTypesForFile (types, MORSELLO_VST3_BUNDLE);

        if (types.size() != 1)
            ADD_FAILURE() << "expected one plug-in in " << MORSELLO_VST3_BUNDLE << ", found " << types.size();

        return types.isEmpty() ? juce::PluginDescription() : *types[0];
    }

    static std::unique_ptr<juce::AudioPluginInstance> load()
    {
        juce::VST3PluginFormat format;
        juce::String error;
        auto instance = format.createInstanceFromDescription (describe(), testSampleRate, testBlockSize, error);

        if (instance == nullptr)
            ADD_FAILURE() << "could not load the plug-in: " << error;

        return instance;
    }

    // Parameter changes travel between the host's view and the plug-in with the audio
    // callback and the message loop, as in a DAW: run one block, then let messages arrive.
    static void exchange (juce::AudioPluginInstance& instance)
    {
        instance.prepareToPlay (testSampleRate, testBlockSize);
        juce::AudioBuffer<float> silence (2, testBlockSize);
        silence.clear();
        juce::MidiBuffer midi;
        for (int round = 0; round < 3; ++round)
        {
            instance.processBlock (silence, midi);
            juce::MessageManager::getInstance()->runDispatchLoopUntil (100);
        }
    }

    static std::unique_ptr<juce::AudioPluginInstance> reloadThroughState (juce::AudioPluginInstance& source)
    {
        juce::MemoryBlock state;
        source.getStateInformation (state);

        auto instance = load();

        if (instance != nullptr)
        {
            instance->setStateInformation (state.getData(), (int) state.getSize());
            exchange (*instance);
        }

        return instance;
    }

    static float valueOf (juce::AudioPluginInstance& instance, int index)
    {
        return instance.getParameters()[index]->getValue();
    }
};

TEST_F (HostedPlugin, DescribesItselfAsTheMorselloEffect)
{
    const auto description = describe();
    EXPECT_EQ (description.name, "The Morsello");
    EXPECT_EQ (description.version, MORSELLO_VERSION);
    EXPECT_EQ (description.pluginFormatName, "VST3");
    EXPECT_TRUE (description.category.contains ("Fx"));
    EXPECT_FALSE (description.isInstrument);
    EXPECT_EQ (description.numInputChannels, 2);
    EXPECT_EQ (description.numOutputChannels, 2);

    const auto instance = load();
    ASSERT_NE (instance, nullptr);
    EXPECT_EQ (instance->getName(), "The Morsello");
    EXPECT_FALSE (instance->acceptsMidi());
    EXPECT_FALSE (instance->producesMidi());
    EXPECT_DOUBLE_EQ (instance->getTailLengthSeconds(), 4.0);
}

TEST_F (HostedPlugin, ShowsSixteenParametersInOrderPlusBypassAndProgram)
{
    const auto instance = load();
    ASSERT_NE (instance, nullptr);

    const auto& parameters = instance->getParameters();
    ASSERT_EQ (parameters.size(), 18);

    for (int i = 0; i < 16; ++i)
    {
        SCOPED_TRACE (expectedParameters[i].name);
        const auto& expected = expectedParameters[i];
        auto* parameter = parameters[i];

        EXPECT_EQ (parameter->getName (100), expected.name);
        EXPECT_EQ (parameter->getLabel(), expected.unit);
        EXPECT_NEAR (parameter->getDefaultValue(), expected.defaultValue, 1.0e-6f);
        EXPECT_TRUE (parameter->isAutomatable());

        if (expected.numSteps > 0)
            EXPECT_EQ (parameter->getNumSteps(), expected.numSteps);
        else
            EXPECT_EQ (parameter->getNumSteps(), juce::AudioProcessor::getDefaultNumParameterSteps());
    }

    auto* bypass = instance->getBypassParameter();
    ASSERT_NE (bypass, nullptr);
    EXPECT_GE (parameters.indexOf (bypass), 16);

    const auto programIndex = parameters[16] == bypass ? 17 : 16;
    EXPECT_EQ (parameters[programIndex]->getName (100), "Program");
    EXPECT_EQ (parameters[programIndex]->getNumSteps(), 16);
}

TEST_F (HostedPlugin, ListsTheSixteenRecipesAsProgramsAndAppliesThem)
{
    const auto instance = load();
    ASSERT_NE (instance, nullptr);

    ASSERT_EQ (instance->getNumPrograms(), 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ (instance->getProgramName (i), expectedProgramNames[i]);

    EXPECT_EQ (instance->getCurrentProgram(), 0);
    instance->setCurrentProgram (3); // "jam tomorrow": chorus, link, delay
    exchange (*instance);
    EXPECT_EQ (instance->getCurrentProgram(), 3);

    // The framework's host keeps its own copy of the values and does not refresh it from
    // changes the plug-in makes while processing, so the plug-in's values are read back
    // through its saved state, restored into a second instance.
    const auto reloaded = reloadThroughState (*instance);
    ASSERT_NE (reloaded, nullptr);
    EXPECT_NEAR (valueOf (*reloaded, 0), 2.0f / 12.0f, 1.0e-6f);
    EXPECT_NEAR (valueOf (*reloaded, 1), 0.0f, 1.0e-6f);
    EXPECT_NEAR (valueOf (*reloaded, 2), 2.0f / 8.0f, 1.0e-6f);
    EXPECT_NEAR (valueOf (*reloaded, 3), 0.34f, 1.0e-6f);
    EXPECT_NEAR (valueOf (*reloaded, 9), 0.48f, 1.0e-6f);
    EXPECT_NEAR (valueOf (*reloaded, 14), 0.42f, 1.0e-6f);
    EXPECT_NEAR (valueOf (*reloaded, 15), 18.0f / 24.0f, 1.0e-6f); // output untouched
}

TEST_F (HostedPlugin, StateSavedThroughTheHostRestoresIntoAFreshInstance)
{
    const auto source = load();
    ASSERT_NE (source, nullptr);

    auto& parameters = source->getParameters();
    parameters[0]->setValueNotifyingHost (11.0f / 12.0f); // resonator
    parameters[4]->setValueNotifyingHost (0.123f);        // left2
    parameters[15]->setValueNotifyingHost (0.25f);        // output -12 dB
    exchange (*source);

    const auto restored = reloadThroughState (*source);
    ASSERT_NE (restored, nullptr);

    for (int i = 0; i < 16; ++i)
    {
        SCOPED_TRACE (expectedParameters[i].name);
        EXPECT_NEAR (valueOf (*restored, i), valueOf (*source, i), 1.0e-6f);
    }

    EXPECT_NEAR (valueOf (*restored, 0), 11.0f / 12.0f, 1.0e-6f);
    EXPECT_NEAR (valueOf (*restored, 4), 0.123f, 1.0e-6f);
    EXPECT_NEAR (valueOf (*restored, 15), 0.25f, 1.0e-6f);
}

// A DAW reopening a project restores the chunk into a fresh instance and then selects the
// program it remembers. The edits made after that program was chosen must come back.
TEST_F (HostedPlugin, ReopenedProjectKeepsTheEditsMadeAfterChoosingAProgram)
{
    const auto source = load();
    ASSERT_NE (source, nullptr);

    source->setCurrentProgram (9); // "wrong lunch"
    exchange (*source);
    auto& parameters = source->getParameters();
    parameters[13]->setValueNotifyingHost (0.9f);         // toast
    parameters[4]->setValueNotifyingHost (0.333f);        // left2
    parameters[0]->setValueNotifyingHost (10.0f / 12.0f); // wavefold
    exchange (*source);

    juce::MemoryBlock state;
    source->getStateInformation (state);

    const auto reopened = load();
    ASSERT_NE (reopened, nullptr);
    reopened->setStateInformation (state.getData(), (int) state.getSize());
    EXPECT_EQ (reopened->getCurrentProgram(), 9);
    reopened->setCurrentProgram (9);
    exchange (*reopened);

    // Both instances' values are read through their saved states (see the program test above).
    const auto expected = reloadThroughState (*source);
    const auto check = reloadThroughState (*reopened);
    ASSERT_NE (expected, nullptr);
    ASSERT_NE (check, nullptr);

    for (int i = 0; i < 16; ++i)
    {
        SCOPED_TRACE (expectedParameters[i].name);
        EXPECT_NEAR (valueOf (*check, i), valueOf (*expected, i), 1.0e-6f);
    }

    EXPECT_NEAR (valueOf (*check, 3), 0.73f, 1.0e-6f); // left1 from the recipe
    EXPECT_NEAR (valueOf (*check, 4), 0.333f, 1.0e-6f);
    EXPECT_NEAR (valueOf (*check, 13), 0.9f, 1.0e-6f);
    EXPECT_NEAR (valueOf (*check, 0), 10.0f / 12.0f, 1.0e-6f);
    EXPECT_EQ (check->getCurrentProgram(), 9);
}

TEST_F (HostedPlugin, AcceptsMatchingMonoAndStereoLayoutsOnly)
{
    const auto instance = load();
    ASSERT_NE (instance, nullptr);

    auto layout = [] (juce::AudioChannelSet in, juce::AudioChannelSet out)
    {
        juce::AudioProcessor::BusesLayout result;
        result.inputBuses.add (in);
        result.outputBuses.add (out);
        return result;
    };

    EXPECT_TRUE (instance->checkBusesLayoutSupported (layout (juce::AudioChannelSet::mono(), juce::AudioChannelSet::mono())));
    EXPECT_TRUE (instance->checkBusesLayoutSupported (layout (juce::AudioChannelSet::stereo(), juce::AudioChannelSet::stereo())));
    EXPECT_FALSE (instance->checkBusesLayoutSupported (layout (juce::AudioChannelSet::stereo(), juce::AudioChannelSet::mono())));
}

TEST_F (HostedPlugin, OpensItsEditorAtTheStartSize)
{
    const auto instance = load();
    ASSERT_NE (instance, nullptr);
    ASSERT_TRUE (instance->hasEditor());

    std::unique_ptr<juce::AudioProcessorEditor> editor (instance->createEditorIfNeeded());
    ASSERT_NE (editor, nullptr);

    // On screen, as a host shows it: the plug-in's view is attached to a real window.
    ignoreXErrors();
    editor->addToDesktop (juce::ComponentPeer::windowIsTemporary);
    editor->setVisible (true);
    juce::MessageManager::getInstance()->runDispatchLoopUntil (300);

    EXPECT_EQ (editor->getWidth(), 1254);
    EXPECT_EQ (editor->getHeight(), 706);

    editor->removeFromDesktop();
    editor.reset();
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
}

TEST_F (HostedPlugin, PassesAudioThrough)
{
    const auto instance = load();
    ASSERT_NE (instance, nullptr);

    // With bite at 0 the output is the dry input times the output gain (0 dB).
    instance->getParameters()[14]->setValueNotifyingHost (0.0f);
    instance->prepareToPlay (testSampleRate, testBlockSize);

    juce::AudioBuffer<float> buffer (2, testBlockSize);
    juce::MidiBuffer midi;
    float largestError = 0.0f;

    for (int block = 0; block < 8; ++block)
    {
        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < testBlockSize; ++i)
                buffer.setSample (channel, i, 0.5f * std::sin (0.05f * (float) (block * testBlockSize + i) + (float) channel));

        juce::AudioBuffer<float> input (buffer);
        instance->processBlock (buffer, midi);

        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < testBlockSize; ++i)
                largestError = std::max (largestError, std::abs (buffer.getSample (channel, i) - input.getSample (channel, i)));
    }

    EXPECT_LT (largestError, 1.0e-6f);
    instance->releaseResources();
}
} // namespace
