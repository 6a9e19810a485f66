#include "processor/state/StateChunk.h"

#include "processor/state/StrictXml.h"

namespace morsello
{
std::unique_ptr<juce::XmlElement> StateChunk::parse (const void* data, int sizeInBytes)
{
    // The framing copyXmlToBinary writes: a magic number, the text's length in bytes, then the
    // text. It is unpacked here rather than by getXmlFromBinary so that the text is read by
    // StrictXml and never by the framework's parser: a damaged chunk could otherwise hang the
    // host or make that parser read past its buffer.
    static constexpr uint32_t magicXmlNumber = 0x21324356;

    if (data == nullptr || sizeInBytes <= 8 || juce::ByteOrder::littleEndianInt (data) != magicXmlNumber)
        return {};

    const auto textLength = (int) juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (data, 4));

    if (textLength <= 0)
        return {};

    return StrictXml::parse (juce::addBytesToPointer (data, 8), (size_t) juce::jmin (sizeInBytes - 8, textLength));
}
} // namespace morsello
