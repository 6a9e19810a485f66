#pragma once

#include "dsp/MorselloEngine.h"
#include "processor/Parameters.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <random>

namespace morsello
{
// The plug-in's audio processor: one per instance. It owns the parameters, the engine that makes
// the sound, the index of the last factory recipe applied and the randomiser's generator. Each
// block, it reads the parameters into the engine's settings and hands the block to the engine.
class MorselloAudioProcessor final : public juce::AudioProcessor
{
public:
    MorselloAudioProcessor();
    ~MorselloAudioProcessor() override;

    const juce::String getName() const override;

    void prepareToPlay (double newSampleRate, int maximumBlockSize) override;
    void releaseResources() override;
    // Runs on the audio thread: allocates nothing, locks nothing, throws nothing.
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) noexcept override;
    using juce::AudioProcessor::processBlock;

    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;

    // Defined in editor/PluginEditor.cpp, beside the editor it makes: the processor's own files
    // never include the editor.
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    static juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();

    // Moves one parameter as a user would: one change gesture, the value snapped to the
    // parameter's legal values (plain units; a choice takes its index). Unknown IDs are ignored.
    void setParameterValue (const juce::String& parameterId, float plainValue);

    // Sets the fifteen parameters of a factory recipe (all but `output`), one gesture each, makes
    // it the current program and tells the host so. Indices outside 0..15 do nothing.
    void applyFactoryRecipe (int index);

    // Makes `newState` the parameter tree's state (under the tree's lock). Parameters that it
    // does not list keep their present values.
    void replaceParameterState (juce::ValueTree newState);

    // The type of the parameter tree's state, and so the root tag of saved states.
    static const juce::Identifier stateType;

    // The root attribute of a host chunk that holds the current program's index.
    static const juce::Identifier programProperty;

    // The root attribute of a host chunk that holds the quality, "high" when it is; a chunk
    // without it (or with any other value) is "standard".
    static const juce::Identifier qualityProperty;

    // The instance's quality (not a parameter: no recipe, file or the dice touch it; the host
    // chunk keeps it). Setting it tells the host the latency it brings; the engine takes it
    // with the next blocks, through a fade like a change of kind. Message thread (or a host's
    // state-restoring thread).
    void setQuality (Quality newQuality);
    Quality getQuality() const noexcept { return quality.load(); }

    // The parameters, as the editor's attachments and the recipe files use them.
    juce::AudioProcessorValueTreeState& getParameterTree() noexcept { return apvts; }
    const juce::AudioProcessorValueTreeState& getParameterTree() const noexcept { return apvts; }

    // The peak meters of the audio going in and out, for the editor's display.
    LevelMeters& getLevelMeters() noexcept { return engine.getMeters(); }

    // The engine, for inspection between blocks.
    const MorselloEngine& getEngine() const noexcept { return engine; }

    // The generator behind the chef's choice; seeded from the system when the instance is made.
    std::mt19937& getRandomGenerator() noexcept { return randomGenerator; }

private:
    // Every parameter's present raw value, in host order.
    EngineSettings readSettings() const noexcept;

    // Sets the recipe's fifteen parameters and makes it the current program; false for an index
    // outside 0..15, which changes nothing.
    bool setRecipe (int index);

    // Tells the listeners (the host's wrapper) every parameter's value again, once after each
    // state restore. Called when the host next prepares the plug-in to play.
    void announceRestoredValues();

    // A saved program index, or -1 when the text is not a factory recipe's index.
    static int programFromText (const juce::String& text);


    juce::AudioProcessorValueTreeState apvts;
    MorselloEngine engine;
    std::mt19937 randomGenerator;
    // Set by the recipes on the message thread and by state restores, which some hosts make
    // from threads of their own; read by host saves on any thread.
    std::atomic<int> currentProgram { 0 };
    std::atomic<bool> restoredValuesToAnnounce { false };
    // Set on the message thread, read by the audio thread once per block.
    std::atomic<Quality> quality { Quality::standard };

    // Raw-value pointers cached once, so the audio thread does no look-up by name.
    std::array<std::atomic<float>*, kNumParameters> rawParameters {};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MorselloAudioProcessor)
};
} // namespace morsello
