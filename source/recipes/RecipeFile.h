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

// The largest file load reads; recipe files are about a kilobyte.
inline constexpr juce::int64 maximumFileSize = 1 << 20;

// What a save or a load did, and the recipe's name to show when it was done.
struct Result
{
    enum class Outcome
    {
        cancelled, // no file was chosen
        done,
        failed
    };

    Outcome outcome = Outcome::cancelled;
    juce::String name;

    bool succeeded() const noexcept { return outcome == Outcome::done; }
};

// Called with the result once a dialog's work is finished.
using ResultCallback = std::function<void (const Result&)>;

// Opens the asynchronous save dialog; its callback saves the chosen file, shows the "Save failed"
// message when the file cannot be written, and hands the result on. The chooser is stored in
// `chooser`, replacing any previous one, and must outlive the dialog.
void launchSaveDialog (std::unique_ptr<juce::FileChooser>& chooser, MorselloAudioProcessor& processor, ResultCallback onFinished);

// Opens the asynchronous load dialog; its callback loads the chosen file and hands the result on.
void launchLoadDialog (std::unique_ptr<juce::FileChooser>& chooser, MorselloAudioProcessor& processor, ResultCallback onFinished);

// The file a save writes for the chosen one: unchanged when its name already ends in the
// recipe extension (in any letter case), otherwise with the part after the name's last dot
// replaced, or the extension appended when the name has no dot.
juce::File withRecipeExtension (const juce::File& chosen);

// Writes the processor's state to `chosen` (extension fixed as above); when done, the name to
// show is the written file's name. A cancelled dialog (empty file) does nothing. When the file
// cannot be written, an existing file stays as it was and the result is a failure.
Result save (MorselloAudioProcessor& processor, const juce::File& chosen);

// Makes the recipe in `chosen` the processor's state; when done, the name to show is the file's
// present name. A missing or unreadable file, text that is not XML or a root other than
// MORSELLO_STATE (exact case) changes nothing and fails.
Result load (MorselloAudioProcessor& processor, const juce::File& chosen);

// The message box a failed save shows.
juce::MessageBoxOptions saveFailedMessage();

// Shows a message box, not attached to any component. Replaceable so that tests can see what
// is asked for without a window.
extern std::function<void (const juce::MessageBoxOptions&)> showMessageBox;
} // namespace RecipeFile
