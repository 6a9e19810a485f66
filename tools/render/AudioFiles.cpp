#include "AudioFiles.h"

namespace morsello
{
juce::AudioFormatManager& inputFormats()
{
    static juce::AudioFormatManager formats;
    static const bool registered = []
    {
        formats.registerFormat (new juce::WavAudioFormat(), true);
        formats.registerFormat (new juce::AiffAudioFormat(), false);
        formats.registerFormat (makeFlacFormat().release(), false);
        return true;
    }();

    juce::ignoreUnused (registered);
    return formats;
}

std::unique_ptr<juce::AudioFormatReader> openInput (const juce::File& file, juce::String& error)
{
    const auto name = file.getFullPathName();

    if (! file.exists())
    {
        error = "no such file: " + name;
        return {};
    }

    if (file.isDirectory())
    {
        error = "not a file: " + name;
        return {};
    }

    auto stream = file.createInputStream();

    if (stream == nullptr)
    {
        error = "cannot read " + name;
        return {};
    }

    // Every format is tried on the file's content, whatever its extension says.
    std::unique_ptr<juce::AudioFormatReader> reader (inputFormats().createReaderFor (std::move (stream)));

    if (reader == nullptr)
    {
        error = "not a WAV, AIFF or FLAC file that can be read: " + name;
        return {};
    }

    if (reader->numChannels < 1 || reader->numChannels > 2)
    {
        error = juce::String (reader->numChannels) + " channels in " + name + " (only mono and stereo are rendered)";
        return {};
    }

    if (reader->sampleRate <= 0.0)
    {
        error = "no sample rate in " + name;
        return {};
    }

    return reader;
}

bool writeWavAtomically (const juce::File& target, double sampleRate, int numChannels, SampleFormat format,
                         const std::function<bool (juce::AudioFormatWriter&)>& write, juce::String& error)
{
    const auto folder = target.getParentDirectory();

    // Another render may be making the same folder at the same moment: what counts is that it
    // exists afterwards.
    folder.createDirectory();

    if (! folder.isDirectory())
    {
        error = "cannot create the folder " + folder.getFullPathName();
        return false;
    }

    // The temporary file deletes itself unless it has been moved over the target.
    juce::TemporaryFile temporary (target, juce::TemporaryFile::useHiddenFile);
    {
        auto stream = temporary.getFile().createOutputStream();

        if (stream == nullptr)
        {
            error = "cannot write in " + folder.getFullPathName();
            return false;
        }

        juce::WavAudioFormat wav;
        const auto bits = format == SampleFormat::float32 ? 32 : 24; // 32 bits are written as float
        std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (stream.get(), sampleRate, (unsigned int) numChannels, bits, {}, 0));

        if (writer == nullptr)
        {
            error = "cannot write a WAV file at " + juce::String (sampleRate) + " Hz";
            return false;
        }

        stream.release(); // the writer owns it now

        if (! write (*writer) || ! writer->flush())
        {
            error = "writing " + target.getFullPathName() + " failed";
            return false;
        }
    }

    if (! temporary.overwriteTargetFileWithTemporary())
    {
        error = "cannot replace " + target.getFullPathName();
        return false;
    }

    return true;
}
} // namespace morsello
