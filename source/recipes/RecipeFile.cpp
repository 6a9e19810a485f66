#include "recipes/RecipeFile.h"

#include "processor/PluginProcessor.h"

void RecipeFile::launchSaveDialog (std::unique_ptr<juce::FileChooser>&, MorselloAudioProcessor&, juce::ComboBox&) {}
void RecipeFile::launchLoadDialog (std::unique_ptr<juce::FileChooser>&, MorselloAudioProcessor&, juce::ComboBox&) {}
