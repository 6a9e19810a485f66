#include "processor/PluginProcessor.h"

// The framework's plug-in creation function: every format wrapper asks it for a new instance.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new MorselloAudioProcessor();
}
