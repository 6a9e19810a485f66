#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class MorselloAudioProcessor;

// Recipe files: the parameter tree saved as an XML text file of its own.
namespace RecipeFile
{
// Opens the asynchronous save dialog; its callback saves the chosen file. The chooser is stored
// in `chooser`, replacing any previous one, and must outlive the dialog.
void launchSaveDialog (std::unique_ptr<juce::FileChooser>& chooser, MorselloAudioProcessor& processor, juce::ComboBox& recipeBox);

// Opens the asynchronous load dialog; its callback loads the chosen file.
void launchLoadDialog (std::unique_ptr<juce::FileChooser>& chooser, MorselloAudioProcessor& processor, juce::ComboBox& recipeBox);
} // namespace RecipeFile
