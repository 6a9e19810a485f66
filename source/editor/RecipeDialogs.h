#pragma once

#include "recipes/RecipeFile.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

namespace morsello
{
class MorselloAudioProcessor;

// The windows around recipe files: the editor's file choosers and the "Save failed" message.
// The dialogs only pick a file; RecipeFile's save and load do the work and say what happened.
namespace RecipeDialogs
{
// Called with the result once a dialog's work is finished.
using ResultCallback = std::function<void (const RecipeFile::Result&)>;

// Opens the asynchronous save dialog; its callback saves the chosen file, shows the "Save failed"
// message when the file cannot be written, and hands the result on. The chooser is stored in
// `chooser`, replacing any previous one, and must outlive the dialog.
void launchSave (std::unique_ptr<juce::FileChooser>& chooser, MorselloAudioProcessor& processor, ResultCallback onFinished);

// Opens the asynchronous load dialog; its callback loads the chosen file and hands the result on.
void launchLoad (std::unique_ptr<juce::FileChooser>& chooser, MorselloAudioProcessor& processor, ResultCallback onFinished);

// The message box a failed save shows.
juce::MessageBoxOptions saveFailedMessage();
} // namespace RecipeDialogs
} // namespace morsello
