#include "processor/PluginProcessor.h"

#include "processor/state/NumberText.h"

#include "processor/state/StateChunk.h"
#include "processor/programs/FactoryRecipes.h"

#include <cmath>

namespace morsello
{
const juce::Identifier MorselloAudioProcessor::stateType { "MORSELLO_STATE" };
const juce::Identifier MorselloAudioProcessor::programProperty { "program" };
const juce::Identifier MorselloAudioProcessor::qualityProperty { "quality" };

namespace
{
std::mt19937 makeSeededEngine()
{
    std::random_device device;
    return std::mt19937 { static_cast<std::mt19937::result_type> (device()) };
}
} // namespace

MorselloAudioProcessor::MorselloAudioProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      apvts (*this, nullptr, stateType, createParameterLayout()),
      randomGenerator (makeSeededEngine())
{
    for (size_t i = 0; i < kParameterIds.size(); ++i)
    {
        rawParameters[i] = apvts.getRawParameterValue (kParameterIds[i]);
        jassert (rawParameters[i] != nullptr);
    }

    applyFactoryRecipe (0);
}

MorselloAudioProcessor::~MorselloAudioProcessor() = default;

const juce::String MorselloAudioProcessor::getName() const { return "The Morsello"; }

void MorselloAudioProcessor::prepareToPlay (double newSampleRate, int maximumBlockSize)
{
    // Hosts restore a project's state before they make the plug-in ready to play; this is the
    // first call after the restore has returned and before the first block (see below).
    announceRestoredValues();

    engine.setQuality (quality.load());
    engine.prepare (newSampleRate, maximumBlockSize, getTotalNumOutputChannels(), readSettings());
}

void MorselloAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&) noexcept
{
    for (auto channel = getTotalNumInputChannels(); channel < std::min (buffer.getNumChannels(), getTotalNumOutputChannels()); ++channel)
        buffer.clear (channel, 0, buffer.getNumSamples());

    engine.setQuality (quality.load());
    engine.process (buffer, readSettings());
}

EngineSettings MorselloAudioProcessor::readSettings() const noexcept
{
    EngineSettings settings;

    for (size_t i = 0; i < rawParameters.size(); ++i)
        settings.values[i] = rawParameters[i]->load();

    return settings;
}

// Buffers keep their size until the next prepare, so a block after this still processes.
void MorselloAudioProcessor::releaseResources() {}

double MorselloAudioProcessor::getTailLengthSeconds() const { return 4.0; }
bool MorselloAudioProcessor::acceptsMidi() const { return false; }
bool MorselloAudioProcessor::producesMidi() const { return false; }

bool MorselloAudioProcessor::hasEditor() const { return true; }

bool MorselloAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto output = layouts.getMainOutputChannelSet();

    if (output != juce::AudioChannelSet::mono() && output != juce::AudioChannelSet::stereo())
        return false;

    return layouts.getMainInputChannelSet() == output;
}

//==============================================================================
juce::AudioProcessorValueTreeState::ParameterLayout MorselloAudioProcessor::createParameterLayout()
{
    juce::AudioProcessorValueTreeState::ParameterLayout layout;

    auto id = [] (ParameterIndex index)
    { return juce::ParameterID { parameterId (index), kParameterVersionHint }; };

    layout.add (std::make_unique<juce::AudioParameterChoice> (id (ParameterIndex::breadType), "Bread type", kBreadTypeNames, 0),
                std::make_unique<juce::AudioParameterChoice> (id (ParameterIndex::breadMode), "Bread mode", kBreadModeNames, 0),
                std::make_unique<juce::AudioParameterChoice> (id (ParameterIndex::fillingType), "Filling type", kFillingTypeNames, 0));

    // The knobs are abstract amounts whose meaning depends on the chosen kinds, so the host
    // shows them under their IDs.
    for (int index = firstKnobIndex; index <= lastKnobIndex; ++index)
        layout.add (std::make_unique<juce::AudioParameterFloat> (id (static_cast<ParameterIndex> (index)),
                                                                 kParameterIds[(size_t) index],
                                                                 juce::NormalisableRange<float> (0.0f, 1.0f, 0.001f),
                                                                 0.5f));

    layout.add (std::make_unique<juce::AudioParameterFloat> (id (ParameterIndex::output),
                                                             "Output",
                                                             juce::NormalisableRange<float> (-18.0f, 6.0f, 0.1f),
                                                             0.0f,
                                                             juce::AudioParameterFloatAttributes().withLabel ("dB")));
    return layout;
}

void MorselloAudioProcessor::setParameterValue (const juce::String& parameterId, float plainValue)
{
    auto* parameter = apvts.getParameter (parameterId);

    if (parameter == nullptr)
        return;

    const auto& range = parameter->getNormalisableRange();

    parameter->beginChangeGesture();
    parameter->setValueNotifyingHost (range.convertTo0to1 (range.snapToLegalValue (plainValue)));
    parameter->endChangeGesture();
}

//==============================================================================
void MorselloAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    const auto state = apvts.copyState();

    if (const auto xml = state.createXml())
    {
        // The current program travels with the parameters. Hosts restore a project by handing
        // back this chunk and then selecting the program they remember; an instance that knows
        // it is already on that program does not apply the recipe over the restored values.
        xml->setAttribute (programProperty, currentProgram.load());

        // Only "high" is written, so a "standard" chunk stays exactly what earlier versions
        // wrote (and read back as "standard" by its absence).
        if (quality.load() == Quality::high)
            xml->setAttribute (qualityProperty, "high");

        copyXmlToBinary (*xml, destData);
    }
}

void MorselloAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto xml = StateChunk::parse (data, sizeInBytes);

    if (xml == nullptr || ! xml->hasTagName (stateType.toString()))
        return;

    // The root tag is accepted in any letter case, but the live tree always keeps its own type:
    // a tree renamed to the chunk's spelling would be written back under that spelling and
    // then refused by the exact-case check of recipe files.
    juce::ValueTree restored { stateType };
    restored.copyPropertiesAndChildrenFrom (juce::ValueTree::fromXml (*xml), nullptr);

    // Chunks written before the program was saved have no such attribute; they leave the
    // current program as it is, as they always did.
    const auto savedProgram = programFromText (restored[programProperty].toString());
    const auto savedQuality = restored[qualityProperty].toString() == "high" ? Quality::high : Quality::standard;
    replaceParameterState (restored);
    setQuality (savedQuality);

    if (savedProgram >= 0 && savedProgram != currentProgram)
    {
        currentProgram = savedProgram;
        updateHostDisplay (ChangeDetails().withProgramChanged (true));
    }

    restoredValuesToAnnounce = true;
}

void MorselloAudioProcessor::setQuality (Quality newQuality)
{
    quality = newQuality;
    setLatencySamples (MorselloEngine::latencyOf (newQuality));
}

void MorselloAudioProcessor::announceRestoredValues()
{
    // The framework's VST3 wrapper queues parameter changes made away from its message thread
    // (such as a program the host selects from its own thread) and sends them to the host with
    // the next processed block, while it sends nothing for the changes a state restore makes.
    // A host that selects a program and then restores a chunk, as Ardour does when it reopens a
    // project, would so receive the program's values after the restore and apply them over it.
    // Announcing the restored values once more, after the restore has returned and before the
    // first block, replaces what is queued; hosts that were told nothing stale just hear the
    // values they already have. (During the restore itself the wrapper passes nothing on, and a
    // message posted from it would arrive after the first block.)
    if (! restoredValuesToAnnounce.exchange (false))
        return;

    for (auto* parameter : getParameters())
        parameter->sendValueChangedMessageToListeners (parameter->getValue());
}

int MorselloAudioProcessor::programFromText (const juce::String& text)
{
    // Only a plain index of a factory recipe counts; anything else is ignored.
    const auto index = NumberText::readIndex (text, 2);
    return index < kNumFactoryRecipes ? index : -1;
}

void MorselloAudioProcessor::replaceParameterState (juce::ValueTree newState)
{
    // The framework gives a parameter without a PARAM child in the new state its default value
    // (it appends an empty child, which reads as "no value"). A partial state must leave such
    // parameters as they are, so their children are added here with the present values.
    // A value that reads as NaN ("nan" in the text) would pass the parameter's range checks
    // untouched, so it is treated like a missing one. Values given as text (from a chunk or a
    // file) are read here by the checked reader and stored as numbers, so the framework never
    // converts outside text itself.
    static const juce::Identifier parameterType { "PARAM" }, idProperty { "id" }, valueProperty { "value" };

    for (size_t i = 0; i < kParameterIds.size(); ++i)
    {
        const juce::String id { kParameterIds[i] };
        const auto presentValue = rawParameters[i]->load();
        auto child = newState.getChildWithProperty (idProperty, id);

        if (! child.isValid())
        {
            child = juce::ValueTree { parameterType };
            child.setProperty (idProperty, id, nullptr);
            child.setProperty (valueProperty, presentValue, nullptr);
            newState.appendChild (child, nullptr);
        }
        else if (child.hasProperty (valueProperty))
        {
            const auto& value = child[valueProperty];
            const auto number = value.isString() ? NumberText::readNumber (value.toString()) : (double) value;
            child.setProperty (valueProperty, std::isnan ((float) number) ? (double) presentValue : number, nullptr);
        }
    }

    // The program is read from a host chunk before this point and written afresh into every
    // chunk, so the live tree never holds it: a recipe file saved from the tree stays free of it.
    newState.removeProperty (programProperty, nullptr);
    newState.removeProperty (qualityProperty, nullptr);

    apvts.replaceState (newState);
}

//==============================================================================
bool MorselloAudioProcessor::setRecipe (int index)
{
    if ((unsigned int) index >= (unsigned int) kNumFactoryRecipes)
        return false;

    const auto& recipe = kFactoryRecipes[(size_t) index];

    setParameterValue (parameterId (ParameterIndex::breadType), (float) toIndex (recipe.breadType));
    setParameterValue (parameterId (ParameterIndex::breadMode), (float) toIndex (recipe.breadMode));
    setParameterValue (parameterId (ParameterIndex::fillingType), (float) recipe.fillingType);

    // Left and right knobs interleaved, as a user setting both breads side by side would.
    for (size_t knob = 0; knob < recipe.left.size(); ++knob)
    {
        setParameterValue (parameterId (ParameterIndex::left1 + (int) knob), recipe.left[knob]);
        setParameterValue (parameterId (ParameterIndex::right1 + (int) knob), recipe.right[knob]);
    }

    for (size_t knob = 0; knob < recipe.fill.size(); ++knob)
        setParameterValue (parameterId (ParameterIndex::fill1 + (int) knob), recipe.fill[knob]);

    setParameterValue (parameterId (ParameterIndex::toast), recipe.toast);
    setParameterValue (parameterId (ParameterIndex::bite), recipe.bite);

    currentProgram = index;
    return true;
}

void MorselloAudioProcessor::applyFactoryRecipe (int index)
{
    // The host is told of the new program, so that it saves and later re-selects the program the
    // instance is really on rather than one it remembers from before.
    if (setRecipe (index))
        updateHostDisplay (ChangeDetails().withProgramChanged (true));
}

int MorselloAudioProcessor::getNumPrograms() { return kNumFactoryRecipes; }
// A VST3 host reads the current program (through the wrapper's controller) right after it has
// restored a state, before the next block: the point at which restored values are announced.
int MorselloAudioProcessor::getCurrentProgram()
{
    return currentProgram;
}
// The host's own selection: it already shows this program, so it is not told of it again.
void MorselloAudioProcessor::setCurrentProgram (int index) { setRecipe (index); }

const juce::String MorselloAudioProcessor::getProgramName (int index)
{
    if ((unsigned int) index >= (unsigned int) kNumFactoryRecipes)
        return {};

    return kFactoryRecipes[(size_t) index].name;
}

// Recipe names are fixed.
void MorselloAudioProcessor::changeProgramName (int, const juce::String&) {}
} // namespace morsello
