#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

class MorselloAudioProcessor;

// Recipe files: the parameter tree saved as an XML text file of its own, with the file's name
// added to the root as "presetName". The dialogs only pick a file; the work is done by save and
// load, which take the chosen file directly.
namespace RecipeFile
{
// The extension every recipe file carries, and the dialogs' filter built from it.
inline constexpr const char* fileExtension = ".morsellopreset";
inline constexpr const char* fileFilter = "*.morsellopreset";

// Opens the asynchronous save dialog; its callback saves the chosen file. The chooser is stored
// in `chooser`, replacing any previous one, and must outlive the dialog.
void launchSaveDialog (std::unique_ptr<juce::FileChooser>& chooser, MorselloAudioProcessor& processor, juce::ComboBox& recipeBox);

// Opens the asynchronous load dialog; its callback loads the chosen file.
void launchLoadDialog (std::unique_ptr<juce::FileChooser>& chooser, MorselloAudioProcessor& processor, juce::ComboBox& recipeBox);

// The file a save writes for the chosen one: unchanged when its name already ends in the
// recipe extension (in any letter case), otherwise with the part after the name's last dot
// replaced, or the extension appended when the name has no dot.
juce::File withRecipeExtension (const juce::File& chosen);

// Writes the processor's state to `chosen` (extension fixed as above) and shows the file's name
// in the recipe box. A cancelled dialog (empty file) does nothing. When the file cannot be
// written, an existing file stays as it was, the recipe box keeps its text and the "Save failed"
// message is shown. Returns true when the file was written.
bool save (MorselloAudioProcessor& processor, const juce::File& chosen, juce::ComboBox& recipeBox);

// Makes the recipe in `chosen` the processor's state and shows the file's name in the recipe
// box. A missing or unreadable file, text that is not XML or a root other than MORSELLO_STATE
// (exact case) changes nothing and shows nothing. Returns true when the state was replaced.
bool load (MorselloAudioProcessor& processor, const juce::File& chosen, juce::ComboBox& recipeBox);

// The message box a failed save asks for.
juce::MessageBoxOptions saveFailedMessage();

// Shows a message box, not attached to any component. Replaceable so that tests can see what
// is asked for without a window.
extern std::function<void (const juce::MessageBoxOptions&)> showMessageBox;
} // namespace RecipeFile
