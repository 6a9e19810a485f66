#pragma once

#include <juce_core/juce_core.h>

namespace morsello
{
class MorselloAudioProcessor;

// Recipe files: the parameter tree saved as an XML text file of its own, with the file's name
// added to the root as "presetName". Model code: save and load take the chosen file, read or
// write text, apply values through the processor's parameters and return what happened. The
// editor's dialogs (editor/RecipeDialogs.h) pick the file and show the outcome.
namespace RecipeFile
{
// The extension every recipe file carries.
inline constexpr const char* fileExtension = ".morsellopreset";

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
} // namespace RecipeFile
} // namespace morsello
