#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <iostream>

namespace morsello
{
// Shared by the command-line tools that write pictures.

// The one argument, an output folder (created when missing); an empty File after printing the
// usage when the arguments are wrong.
inline juce::File outputFolder (int argc, char** argv, const char* toolName)
{
    if (argc != 2)
    {
        std::cerr << "usage: " << toolName << " <output folder>\n";
        return {};
    }

    const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]);
    folder.createDirectory();
    return folder;
}

// Replaces `file` with the image as PNG.
inline bool writePng (const juce::Image& image, const juce::File& file)
{
    file.deleteFile();
    juce::FileOutputStream stream (file);
    juce::PNGImageFormat png;
    return stream.openedOk() && png.writeImageToStream (image, stream);
}
} // namespace morsello
