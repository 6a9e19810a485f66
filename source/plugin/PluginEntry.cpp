// The framework's creation function, which every format wrapper asks for a new instance. The
// processor's editor is made in editor/PluginEditor.cpp, so that the processor itself never
// depends on the editor.

#include "processor/PluginProcessor.h"

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new morsello::MorselloAudioProcessor();
}
