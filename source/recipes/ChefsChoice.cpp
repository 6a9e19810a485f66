#include "recipes/ChefsChoice.h"

#include "processor/PluginProcessor.h"

void ChefsChoice::randomise (MorselloAudioProcessor&, juce::ComboBox&) {}
