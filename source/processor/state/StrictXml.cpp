#include "processor/state/StrictXml.h"

#include <expat.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace morsello
{
namespace StrictXml
{
namespace
{
    bool startsWithUtf16ByteOrderMark (const uint8_t* bytes, size_t numBytes) noexcept
    {
        return numBytes >= 2 && ((bytes[0] == 0xff && bytes[1] == 0xfe) || (bytes[0] == 0xfe && bytes[1] == 0xff));
    }

    // How many of the bytes are read: text ends at its first zero character (a zero byte, or a
    // zero unit in UTF-16), as it always has for chunks that hosts pad. UTF-16 of odd length is
    // not text at all (0).
    size_t textLength (const uint8_t* bytes, size_t numBytes) noexcept
    {
        if (! startsWithUtf16ByteOrderMark (bytes, numBytes))
            return strnlen (reinterpret_cast<const char*> (bytes), numBytes);

        if (numBytes % 2 != 0)
            return 0;

        size_t length = 2;

        while (length < numBytes && (bytes[length] != 0 || bytes[length + 1] != 0))
            length += 2;

        return length;
    }

    bool isAsciiName (const XML_Char* name) noexcept
    {
        for (; *name != 0; ++name)
            if ((unsigned char) *name >= 0x80)
                return false;

        return true;
    }

    // Expat decides what is well-formed XML (characters, names, references, tags, attributes
    // given once, only the five predefined entities without a document type). The handlers add
    // the rules that are ours and, when asked, build the elements from the parser's events, so
    // the framework's own XML parser never reads text from outside.
    class Reader
    {
    public:
        explicit Reader (bool buildElements) : building (buildElements)
        {
            // The encoding given here overrides whatever an XML declaration names: the text is
            // UTF-8, or UTF-16 when it starts with its byte-order mark (expat detects that
            // mark itself). An encoding named in the declaration is not believed.
            parser = XML_ParserCreate ("UTF-8");

            if (parser == nullptr)
                return;

            XML_SetUserData (parser, this);
            XML_SetElementHandler (parser, startElement, endElement);
            XML_SetStartDoctypeDeclHandler (parser, startDocumentType);
            XML_SetProcessingInstructionHandler (parser, processingInstruction);

            if (building)
                XML_SetCharacterDataHandler (parser, characterData);
        }

        ~Reader()
        {
            if (parser != nullptr)
                XML_ParserFree (parser);
        }

        Reader (const Reader&) = delete;
        Reader& operator= (const Reader&) = delete;

        juce::String read (const uint8_t* bytes, size_t numBytes)
        {
            if (parser == nullptr)
                return "out of memory";

            const auto length = textLength (bytes, numBytes);

            if (length == 0)
                return "no text";

            if (length > (size_t) INT_MAX)
                return "text too long";

            if (XML_Parse (parser, reinterpret_cast<const char*> (bytes), (int) length, XML_TRUE) == XML_STATUS_OK)
                return {};

            const auto where = " (at byte " + juce::String ((int64_t) XML_GetCurrentByteIndex (parser)) + ")";

            if (ownFault.isNotEmpty())
                return ownFault + where;

            return juce::String (XML_ErrorString (XML_GetErrorCode (parser))) + where;
        }

        std::unique_ptr<juce::XmlElement> takeDocumentElement() { return std::move (root); }

    private:
        XML_Parser parser = nullptr;
        const bool building;
        juce::String ownFault;
        int depth = 0;

        std::unique_ptr<juce::XmlElement> root;
        std::vector<juce::XmlElement*> open;
        std::string text; // the character data since the last tag of the innermost open element

        void refuse (const juce::String& why)
        {
            if (ownFault.isEmpty())
                ownFault = why;

            XML_StopParser (parser, XML_FALSE);
        }

        // Text between tags becomes a text element, as the framework's parser makes it, unless it
        // is only white space (the framework drops that too).
        void addPendingText()
        {
            const auto onlySpace = text.find_first_not_of (" \t\r\n") == std::string::npos;

            if (! onlySpace && ! open.empty())
                open.back()->addTextElement (juce::String::fromUTF8 (text.data(), (int) text.size()));

            text.clear();
        }

        static void XMLCALL startElement (void* userData, const XML_Char* name, const XML_Char** attributes)
        {
            auto& reader = *static_cast<Reader*> (userData);

            if (++reader.depth > maximumDepth)
                return reader.refuse ("elements nested deeper than " + juce::String (maximumDepth));

            if (! isAsciiName (name))
                return reader.refuse ("element name not in ASCII");

            for (auto* attribute = attributes; *attribute != nullptr; attribute += 2)
                if (! isAsciiName (*attribute))
                    return reader.refuse ("attribute name not in ASCII");

            if (! reader.building)
                return;

            reader.addPendingText();
            auto element = std::make_unique<juce::XmlElement> (juce::String::fromUTF8 (name));

            for (auto* attribute = attributes; *attribute != nullptr; attribute += 2)
                element->setAttribute (juce::Identifier (attribute[0]), juce::String::fromUTF8 (attribute[1]));

            auto* added = element.get();

            if (reader.open.empty())
                reader.root = std::move (element);
            else
                reader.open.back()->addChildElement (element.release());

            reader.open.push_back (added);
        }

        static void XMLCALL endElement (void* userData, const XML_Char*)
        {
            auto& reader = *static_cast<Reader*> (userData);
            --reader.depth;

            // Expat may still report the end of an empty element whose start was refused.
            if (! reader.building || reader.ownFault.isNotEmpty() || reader.open.empty())
                return;

            reader.addPendingText();
            reader.open.pop_back();
        }

        static void XMLCALL characterData (void* userData, const XML_Char* characters, int length)
        {
            static_cast<Reader*> (userData)->text.append (characters, (size_t) length);
        }

        static void XMLCALL startDocumentType (void* userData, const XML_Char*, const XML_Char*, const XML_Char*, int)
        {
            // A document type could define entities and defaults the plug-in never writes.
            static_cast<Reader*> (userData)->refuse ("document type declarations are not accepted");
        }

        static void XMLCALL processingInstruction (void* userData, const XML_Char* target, const XML_Char*)
        {
            if (! isAsciiName (target))
                static_cast<Reader*> (userData)->refuse ("processing instruction target not in ASCII");
        }
    };
} // namespace

juce::String findFault (const char* text, size_t numBytes)
{
    if (text == nullptr || numBytes == 0)
        return "no text";

    return Reader (false).read (reinterpret_cast<const uint8_t*> (text), numBytes);
}

std::unique_ptr<juce::XmlElement> parse (const void* bytes, size_t numBytes)
{
    if (bytes == nullptr || numBytes == 0)
        return nullptr;

    Reader reader (true);

    if (reader.read (static_cast<const uint8_t*> (bytes), numBytes).isNotEmpty())
        return nullptr;

    return reader.takeDocumentElement();
}
} // namespace StrictXml
} // namespace morsello
