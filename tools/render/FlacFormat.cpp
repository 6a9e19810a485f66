// The framework's FLAC reader, compiled for this program alone. The plug-in's library is built
// without FLAC (nothing in the plug-in reads audio files), and Debian's framework decodes FLAC
// through the system's libFLAC rather than a bundled copy, so only this program links it.
//
// Like the framework's own module files, this file includes nothing before the module header.

#undef JUCE_USE_FLAC
#define JUCE_USE_FLAC 1
#define JUCE_INCLUDE_FLAC_CODE 0

#include <juce_audio_formats/juce_audio_formats.h>

#include <juce_audio_formats/codecs/juce_FlacAudioFormat.cpp>

#include "AudioFiles.h"

namespace morsello
{
std::unique_ptr<juce::AudioFormat> makeFlacFormat()
{
    return std::make_unique<juce::FlacAudioFormat>();
}
} // namespace morsello
