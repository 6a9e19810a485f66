#include "editor/RecipeDialogs.h"

#include "processor/PluginProcessor.h"

namespace morsello
{
namespace
{
// The dialogs' filter, built from the extension every recipe file carries.
juce::String fileFilter()
{
    return juce::String ("*") + RecipeFile::fileExtension;
}

// Some platforms report a documents folder that does not exist (or none at all); the dialog
// then starts in the home folder rather than somewhere arbitrary.
juce::File documentsFolder()
{
    const auto documents = juce::File::getSpecialLocation (juce::File::userDocumentsDirectory);

    if (documents.isDirectory())
        return documents;

    return juce::File::getSpecialLocation (juce::File::userHomeDirectory);
}
} // namespace

void RecipeDialogs::launchSave (std::unique_ptr<juce::FileChooser>& chooser, MorselloAudioProcessor& processor, ResultCallback onFinished)
{
    const auto startFile = documentsFolder().getChildFile (juce::String ("my morsello") + RecipeFile::fileExtension);

    // Assigning destroys the previous chooser, closing its dialog if it is still open.
    chooser = std::make_unique<juce::FileChooser> ("Save Morsello recipe", startFile, fileFilter(), true);

    const auto flags = juce::FileBrowserComponent::saveMode
                       | juce::FileBrowserComponent::canSelectFiles
                       | juce::FileBrowserComponent::warnAboutOverwriting;

    // The chooser belongs to the editor, which destroys it before the processor and itself, so
    // the processor and whatever the callback refers to stay valid while the callback can run.
    chooser->launchAsync (flags, [&processor, onFinished = std::move (onFinished)] (const juce::FileChooser& finished)
                          {
                              const auto result = RecipeFile::save (processor, finished.getResult());

                              // Not attached to any component: the box outlives a closed editor.
                              if (result.outcome == RecipeFile::Result::Outcome::failed)
                                  juce::AlertWindow::showAsync (saveFailedMessage(), static_cast<juce::ModalComponentManager::Callback*> (nullptr));

                              onFinished (result); });
}

void RecipeDialogs::launchLoad (std::unique_ptr<juce::FileChooser>& chooser, MorselloAudioProcessor& processor, ResultCallback onFinished)
{
    chooser = std::make_unique<juce::FileChooser> ("Load Morsello recipe", documentsFolder(), fileFilter(), true);

    const auto flags = juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles;

    chooser->launchAsync (flags, [&processor, onFinished = std::move (onFinished)] (const juce::FileChooser& finished)
                          { onFinished (RecipeFile::load (processor, finished.getResult())); });
}

juce::MessageBoxOptions RecipeDialogs::saveFailedMessage()
{
    return juce::MessageBoxOptions()
        .withIconType (juce::MessageBoxIconType::WarningIcon)
        .withTitle ("Save failed")
        .withMessage ("The recipe could not be saved. Please choose a writable folder.")
        .withButton (TRANS ("OK"));
}
} // namespace morsello
