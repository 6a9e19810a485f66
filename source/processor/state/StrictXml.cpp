#include "processor/state/StrictXml.h"

#include <climits>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace morsello
{
namespace StrictXml
{
namespace
{
    bool isXmlCharacter (uint32_t c) noexcept
    {
        return c == 0x9 || c == 0xa || c == 0xd || (c >= 0x20 && c <= 0xd7ff) || (c >= 0xe000 && c <= 0xfffd)
               || (c >= 0x10000 && c <= 0x10ffff);
    }

    bool startsWithUtf8ByteOrderMark (const char* text, size_t length) noexcept
    {
        return length >= 3 && std::memcmp (text, "\xef\xbb\xbf", 3) == 0;
    }

    // The text's bytes as UTF-8: no truncated or overlong sequence, no surrogate, nothing past
    // U+10FFFF, and only characters XML allows (no control characters but tab and line ends).
    juce::String findEncodingFault (std::string_view text)
    {
        for (size_t i = 0; i < text.size();)
        {
            const auto lead = (uint8_t) text[i];
            size_t length = 1;
            uint32_t c = lead;

            if (lead >= 0x80)
            {
                if (lead >= 0xc2 && lead <= 0xdf)
                    length = 2, c = lead & 0x1fu;
                else if (lead >= 0xe0 && lead <= 0xef)
                    length = 3, c = lead & 0x0fu;
                else if (lead >= 0xf0 && lead <= 0xf4)
                    length = 4, c = lead & 0x07u;
                else
                    return "invalid UTF-8 at byte " + juce::String ((int64_t) i);

                if (text.size() - i < length)
                    return "truncated UTF-8 at byte " + juce::String ((int64_t) i);

                for (size_t k = 1; k < length; ++k)
                {
                    const auto next = (uint8_t) text[i + k];

                    if ((next & 0xc0) != 0x80)
                        return "invalid UTF-8 at byte " + juce::String ((int64_t) i);

                    c = (c << 6) | (next & 0x3fu);
                }

                static constexpr uint32_t smallestOfLength[] { 0, 0, 0x80, 0x800, 0x10000 };

                if (c < smallestOfLength[length])
                    return "overlong UTF-8 at byte " + juce::String ((int64_t) i);
            }

            if (! isXmlCharacter (c))
                return "character U+" + juce::String::toHexString ((int) c) + " not allowed, at byte " + juce::String ((int64_t) i);

            i += length;
        }

        return {};
    }

    // The grammar of a well-formed document, over text already known to be valid UTF-8. Names
    // are limited to ASCII, which is all the plug-in writes.
    class Scanner
    {
    public:
        explicit Scanner (std::string_view textToScan) : text (textToScan) {}

        juce::String findFault()
        {
            document();
            return fault;
        }

    private:
        std::string_view text;
        size_t position = 0;
        juce::String fault;

        bool atEnd() const noexcept { return position >= text.size(); }
        char peek (size_t ahead = 0) const noexcept
        {
            return position + ahead < text.size() ? text[position + ahead] : '\0';
        }
        bool startsWith (std::string_view s) const noexcept { return text.substr (position, s.size()) == s; }

        bool fail (const juce::String& why)
        {
            if (fault.isEmpty())
                fault = why + " (at byte " + juce::String ((int64_t) position) + ")";

            return false;
        }

        bool expect (std::string_view s)
        {
            if (! startsWith (s))
                return fail ("expected '" + juce::String (std::string (s)) + "'");

            position += s.size();
            return true;
        }

        static bool isSpace (char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

        bool skipSpace()
        {
            const auto start = position;

            while (! atEnd() && isSpace (text[position]))
                ++position;

            return position != start;
        }

        static bool isNameStart (char c) noexcept
        {
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
        }

        static bool isNameChar (char c) noexcept
        {
            return isNameStart (c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
        }

        bool name (std::string_view& result)
        {
            if (! isNameStart (peek()))
                return fail ("expected a name");

            const auto start = position;

            while (isNameChar (peek()))
                ++position;

            result = text.substr (start, position - start);
            return true;
        }

        // Through the end of `terminator`, which must come.
        bool skipPast (std::string_view terminator, const char* what)
        {
            const auto end = text.find (terminator, position);

            if (end == std::string_view::npos)
                return fail (juce::String (what) + " is not closed");

            position = end + terminator.size();
            return true;
        }

        bool comment()
        {
            position += 4; // <!--
            const auto end = text.find ("--", position);

            if (end == std::string_view::npos)
                return fail ("comment is not closed");

            if (text.substr (end, 3) != "-->")
                return fail ("'--' inside a comment");

            position = end + 3;
            return true;
        }

        bool processingInstruction (bool declarationAllowed)
        {
            position += 2; // <?
            std::string_view target;

            if (! name (target))
                return false;

            if (juce::String (std::string (target)).equalsIgnoreCase ("xml") && ! declarationAllowed)
                return fail ("XML declaration not at the start");

            if (! startsWith ("?>") && ! isSpace (peek()))
                return fail ("malformed processing instruction");

            return skipPast ("?>", "processing instruction");
        }

        // Comments, processing instructions and white space between the document's parts.
        bool miscellany (bool declarationAllowed)
        {
            for (;;)
            {
                if (skipSpace())
                    declarationAllowed = false;

                if (startsWith ("<!--"))
                {
                    if (! comment())
                        return false;
                }
                else if (startsWith ("<?"))
                {
                    if (! processingInstruction (declarationAllowed))
                        return false;
                }
                else
                {
                    return true;
                }

                declarationAllowed = false;
            }
        }

        bool reference()
        {
            ++position; // &

            if (peek() == '#')
            {
                ++position;
                const auto hexadecimal = peek() == 'x';
                position += hexadecimal ? 1 : 0;
                const auto maximumDigits = hexadecimal ? 8u : 12u;
                uint64_t code = 0;
                size_t digits = 0;

                for (; digits <= maximumDigits && peek() != ';'; ++digits, ++position)
                {
                    const auto c = juce::CharacterFunctions::getHexDigitValue ((juce::juce_wchar) (uint8_t) peek());

                    if (c < 0 || (! hexadecimal && c > 9))
                        return fail ("malformed character reference");

                    code = code * (hexadecimal ? 16u : 10u) + (uint64_t) c;
                }

                if (digits == 0 || digits > maximumDigits || code > 0x10ffff || ! isXmlCharacter ((uint32_t) code))
                    return fail ("malformed character reference");

                return expect (";");
            }

            std::string_view entity;

            if (! name (entity))
                return false;

            if (entity != "lt" && entity != "gt" && entity != "amp" && entity != "apos" && entity != "quot")
                return fail ("unknown entity '" + juce::String (std::string (entity)) + "'");

            return expect (";");
        }

        bool attributeValue()
        {
            const auto quote = peek();

            if (quote != '"' && quote != '\'')
                return fail ("attribute value not quoted");

            ++position;

            for (;;)
            {
                if (atEnd())
                    return fail ("attribute value is not closed");

                const auto c = text[position];

                if (c == quote)
                {
                    ++position;
                    return true;
                }

                if (c == '<')
                    return fail ("'<' inside an attribute value");

                if (c == '&')
                {
                    if (! reference())
                        return false;
                }
                else
                {
                    ++position;
                }
            }
        }

        bool element (int depth)
        {
            if (depth > maximumDepth)
                return fail ("elements nested deeper than " + juce::String (maximumDepth));

            ++position; // <
            std::string_view tag;

            if (! name (tag))
                return false;

            std::vector<std::string_view> attributes;

            for (;;)
            {
                const auto separated = skipSpace();

                if (startsWith ("/>"))
                {
                    position += 2;
                    return true;
                }

                if (peek() == '>')
                {
                    ++position;
                    break;
                }

                if (! separated)
                    return fail ("malformed start tag");

                std::string_view attribute;

                if (! name (attribute))
                    return false;

                for (const auto& seen : attributes)
                    if (seen == attribute)
                        return fail ("attribute '" + juce::String (std::string (attribute)) + "' given twice");

                attributes.push_back (attribute);
                skipSpace();

                if (! expect ("="))
                    return false;

                skipSpace();

                if (! attributeValue())
                    return false;
            }

            return content (tag, depth);
        }

        bool content (std::string_view tag, int depth)
        {
            for (;;)
            {
                if (atEnd())
                    return fail ("element '" + juce::String (std::string (tag)) + "' is not closed");

                if (startsWith ("</"))
                {
                    position += 2;
                    std::string_view closing;

                    if (! name (closing))
                        return false;

                    if (closing != tag)
                        return fail ("'" + juce::String (std::string (tag)) + "' closed as '" + juce::String (std::string (closing)) + "'");

                    skipSpace();
                    return expect (">");
                }

                bool ok = true;

                if (startsWith ("<!--"))
                    ok = comment();
                else if (startsWith ("<![CDATA["))
                    ok = skipPast ("]]>", "CDATA section");
                else if (startsWith ("<?"))
                    ok = processingInstruction (false);
                else if (startsWith ("<!"))
                    ok = fail ("markup not allowed here");
                else if (peek() == '<')
                    ok = element (depth + 1);
                else if (peek() == '&')
                    ok = reference();
                else if (startsWith ("]]>"))
                    ok = fail ("']]>' in text");
                else
                    ++position;

                if (! ok)
                    return false;
            }
        }

        void document()
        {
            if (! miscellany (true))
                return;

            if (startsWith ("<!DOCTYPE"))
            {
                fail ("document type declarations are not accepted");
                return;
            }

            if (peek() != '<' || ! isNameStart (peek (1)))
            {
                fail ("no root element");
                return;
            }

            if (! element (1) || ! miscellany (false))
                return;

            if (! atEnd())
                fail ("more after the root element");
        }
    };

    void appendUtf8 (std::string& result, uint32_t c)
    {
        if (c < 0x80)
        {
            result += (char) c;
            return;
        }

        const auto continuationBytes = c < 0x800 ? 1 : (c < 0x10000 ? 2 : 3);
        static constexpr uint8_t leadMarks[] { 0, 0xc0, 0xe0, 0xf0 };
        result += (char) (leadMarks[continuationBytes] | (c >> (6 * continuationBytes)));

        for (auto shift = 6 * (continuationBytes - 1); shift >= 0; shift -= 6)
            result += (char) (0x80 | ((c >> shift) & 0x3f));
    }

    // UTF-16 bytes (starting with the byte-order mark, which is dropped) as UTF-8, up to the first
    // zero character. False when the bytes are not valid UTF-16.
    bool convertUtf16 (const uint8_t* bytes, size_t numBytes, bool bigEndian, std::string& result)
    {
        if (numBytes % 2 != 0)
            return false;

        const auto unitAt = [&] (size_t index)
        {
            const auto first = bytes[index * 2], second = bytes[index * 2 + 1];
            return (uint32_t) (bigEndian ? (first << 8) | second : (second << 8) | first);
        };

        const auto numUnits = numBytes / 2;

        for (size_t index = 1; index < numUnits; ++index)
        {
            auto c = unitAt (index);

            if (c == 0)
                break;

            if (c >= 0xdc00 && c <= 0xdfff)
                return false;

            if (c >= 0xd800 && c <= 0xdbff)
            {
                if (index + 1 >= numUnits)
                    return false;

                const auto low = unitAt (++index);

                if (low < 0xdc00 || low > 0xdfff)
                    return false;

                c = 0x10000 + ((c - 0xd800) << 10) + (low - 0xdc00);
            }

            appendUtf8 (result, c);
        }

        return true;
    }
} // namespace

juce::String findFault (const char* text, size_t numBytes)
{
    if (text == nullptr || numBytes == 0)
        return "no text";

    const auto length = strnlen (text, numBytes);
    std::string_view whole (text, length);

    if (startsWithUtf8ByteOrderMark (text, length))
        whole.remove_prefix (3);

    if (auto fault = findEncodingFault (whole); fault.isNotEmpty())
        return fault;

    return Scanner (whole).findFault();
}

std::unique_ptr<juce::XmlElement> parse (const void* bytes, size_t numBytes)
{
    if (bytes == nullptr || numBytes == 0)
        return nullptr;

    const auto* text = static_cast<const char*> (bytes);
    std::string converted;

    if (numBytes >= 2)
    {
        const auto* raw = static_cast<const uint8_t*> (bytes);
        const auto littleEndian = raw[0] == 0xff && raw[1] == 0xfe;
        const auto bigEndian = raw[0] == 0xfe && raw[1] == 0xff;

        if (littleEndian || bigEndian)
        {
            if (! convertUtf16 (raw, numBytes, bigEndian, converted))
                return nullptr;

            text = converted.data();
            numBytes = converted.size();
        }
    }

    if (findFault (text, numBytes).isNotEmpty())
        return nullptr;

    auto length = strnlen (text, numBytes);

    if (startsWithUtf8ByteOrderMark (text, length))
        text += 3, length -= 3;

    if (length > (size_t) INT_MAX)
        return nullptr;

    return juce::parseXML (juce::String::fromUTF8 (text, (int) length));
}
} // namespace StrictXml
} // namespace morsello
