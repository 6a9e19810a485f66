#pragma once

#include <juce_core/juce_core.h>

#include <memory>

namespace morsello
{
// The host's state chunk as the processor writes it (the framework's binary framing around the
// parameter tree's XML text).
namespace StateChunk
{
// The XML inside a host's chunk, or nullptr when the chunk is not one this plug-in can read.
std::unique_ptr<juce::XmlElement> parse (const void* data, int sizeInBytes);
} // namespace StateChunk
} // namespace morsello
