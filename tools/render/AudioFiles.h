#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

#include <functional>
#include <memory>

namespace morsello
{
// Reading the inputs and writing the outputs of morsello-render.

// The framework's FLAC format (see FlacFormat.cpp).
std::unique_ptr<juce::AudioFormat> makeFlacFormat();

// The formats an input may have: WAV, AIFF and FLAC.
juce::AudioFormatManager& inputFormats();

// Opens a mono or stereo input; null with a one-line reason when the file is missing, cannot
// be read, is in no format read here or has more than two channels.
std::unique_ptr<juce::AudioFormatReader> openInput (const juce::File& file, juce::String& error);

// The sample formats of an output WAV file.
enum class SampleFormat
{
    pcm24,
    float32
};

// Writes a WAV file through `write`, which is given the open writer and returns false when it
// fails. The file is written under a temporary name beside `target` and moved over it only when
// complete, so `target` is either the whole new file or left as it was. False with a one-line
// reason when anything fails.
bool writeWavAtomically (const juce::File& target, double sampleRate, int numChannels, SampleFormat format,
                         const std::function<bool (juce::AudioFormatWriter&)>& write, juce::String& error);
} // namespace morsello
