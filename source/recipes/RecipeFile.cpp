#include "recipes/RecipeFile.h"

#include "processor/PluginProcessor.h"
#include "processor/state/StrictXml.h"

namespace morsello
{
namespace
{
const juce::Identifier presetNameProperty { "presetName" };

// The framework's default layout (declaration, blank line, two-space indentation, attributes
// wrapped after 60 characters), with the line ends fixed to CR LF so that a file is the same
// byte for byte on every platform.
juce::XmlElement::TextFormat recipeTextFormat()
{
    juce::XmlElement::TextFormat format;
    format.newLineChars = "\r\n";
    return format;
}
} // namespace

juce::File RecipeFile::withRecipeExtension (const juce::File& chosen)
{
    if (chosen == juce::File() || chosen.hasFileExtension (fileExtension))
        return chosen;

    return chosen.withFileExtension (fileExtension);
}

RecipeFile::Result RecipeFile::save (MorselloAudioProcessor& processor, const juce::File& chosen)
{
    if (chosen == juce::File())
        return {};

    const auto target = withRecipeExtension (chosen);
    const auto name = target.getFileNameWithoutExtension();

    // copyState writes the current values into the tree under its lock; the name goes on the
    // copy only, so the live tree is untouched.
    auto state = processor.getParameterTree().copyState();
    state.setProperty (presetNameProperty, name, nullptr);

    const auto xml = state.createXml();

    // writeTo goes through a temporary file beside the target and moves it over the target
    // only once it is complete, so a failed write leaves an existing file as it was.
    if (xml == nullptr || ! xml->writeTo (target, recipeTextFormat()))
        return { Result::Outcome::failed, {} };

    return { Result::Outcome::done, name };
}

RecipeFile::Result RecipeFile::load (MorselloAudioProcessor& processor, const juce::File& chosen)
{
    if (chosen == juce::File())
        return {};

    // A recipe is about a kilobyte. A file far larger is not one, and is not read into memory.
    juce::MemoryBlock bytes;

    if (chosen.getSize() > maximumFileSize || ! chosen.loadFileAsData (bytes))
        return { Result::Outcome::failed, {} };

    const auto xml = StrictXml::parse (bytes.getData(), bytes.getSize());

    if (xml == nullptr)
        return { Result::Outcome::failed, {} };

    // Unlike the host's chunk, a recipe file must spell its root exactly: a file is something a
    // user can pick by mistake, and only the plug-in's own format is accepted.
    auto state = juce::ValueTree::fromXml (*xml);

    if (state.getType() != MorselloAudioProcessor::stateType)
        return { Result::Outcome::failed, {} };

    processor.replaceParameterState (state);

    // The file's present name, not the presetName stored inside: a renamed file shows its new name.
    return { Result::Outcome::done, chosen.getFileNameWithoutExtension() };
}
} // namespace morsello
