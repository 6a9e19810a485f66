// Where the plug-in's parts meet: the framework's creation function and the processor's editor.
// Kept apart so that the processor itself never depends on the editor.

#include "editor/PluginEditor.h"
#include "processor/PluginProcessor.h"

// Every format wrapper asks this for a new instance.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new MorselloAudioProcessor();
}

juce::AudioProcessorEditor* MorselloAudioProcessor::createEditor()
{
    return new MorselloAudioProcessorEditor (*this);
}
