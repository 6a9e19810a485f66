#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>
#include <memory>

namespace morsello
{
// Reading the plug-in's saved XML (a host's chunk, a recipe file) from bytes that may be damaged
// or hostile. The framework's XML parser is lenient: it accepts much that is not XML, and some
// malformed texts make it loop forever or read past the end of its buffer. So the text is read
// by expat instead, which accepts only well-formed XML 1.0; on top of that the text must be
// UTF-8 (or UTF-16 with its byte-order mark), have no document type, only ASCII names and at
// most a limited depth. The elements are built from expat's events, so the framework's parser
// never sees text from outside. Everything the plug-in itself ever wrote passes.
namespace StrictXml
{
// The deepest nesting of elements accepted. Saved states are two levels deep.
inline constexpr int maximumDepth = 32;

// Why `text` is not accepted, or an empty string when it is. The text ends at its first zero
// character or after `numBytes`, whichever comes first; it is read as `parse` reads it.
juce::String findFault (const char* text, size_t numBytes);

// The document element of `bytes`, or nullptr when they are not accepted. The bytes may be
// UTF-8 (with or without a byte-order mark) or UTF-16 that starts with its byte-order mark.
std::unique_ptr<juce::XmlElement> parse (const void* bytes, size_t numBytes);
} // namespace StrictXml
} // namespace morsello
