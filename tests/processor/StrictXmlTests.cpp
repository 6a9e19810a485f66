#include "processor/PluginProcessor.h"
#include "processor/state/StrictXml.h"
#include "processor/programs/FactoryRecipes.h"

#include <gtest/gtest.h>

#include <string>

using namespace morsello;

namespace
{
juce::String faultIn (const std::string& text)
{
    return StrictXml::findFault (text.data(), text.size());
}

std::string nested (int depth, const std::string& innermost = {})
{
    std::string text;

    for (int level = 0; level < depth; ++level)
        text += "<a>";

    text += innermost;

    for (int level = 0; level < depth; ++level)
        text += "</a>";

    return text;
}

// Texts the framework's parser would take (or choke on) but which are not well-formed: each must
// be refused before it gets there.
TEST (StrictXml, RefusesWhatIsNotWellFormed)
{
    struct Case
    {
        const char* what;
        std::string text;
    };

    const Case cases[] {
        { "nothing", "" },
        { "only a declaration", "<?xml version=\"1.0\"?>" },
        { "prose", "a shopping list" },
        { "root not closed", "<R><P id=\"a\"/>" },
        { "closed under another name", "<R></Q>" },
        { "element open inside an attribute", "<R><P ARAM id=<M\"/></R>" },
        { "attribute value not closed", "<R a=\"1/>" },
        { "attribute without quotes", "<R a=1/>" },
        { "attribute given twice", "<R><P id=\"fill2\" value=\"0.91\" value=\"0.31\"/></R>" },
        { "attributes not separated", "<R a=\"1\"b=\"2\"/>" },
        { "unknown entity", "<R a=\"&nbsp;\"/>" },
        { "entity without its semicolon", "<R>&amp</R>" },
        { "character reference to zero", "<R>&#0;</R>" },
        { "character reference past U+10FFFF", "<R>&#x110000;</R>" },
        { "character reference with a bad digit", "<R>&#12a;</R>" },
        { "control character", "<R a=\"0.39\x1a\"/>" },
        { "zero byte inside the root", std::string ("<R>a\0b</R>", 10) },
        { "truncated UTF-8", "<R>\xe2\x82</R>" },
        { "stray continuation byte", "<R>\x86</R>" },
        { "overlong UTF-8", "<R>\xc0\xaf</R>" },
        { "UTF-8 surrogate", "<R>\xed\xa0\x80</R>" },
        { "UTF-8 past U+10FFFF", "<R>\xf4\x90\x80\x80</R>" },
        { "document type", "<!DOCTYPE R [<!ENTITY e \"x\">]><R>&e;</R>" },
        { "two roots", "<R/><R/>" },
        { "text before the root", "x<R/>" },
        { "text after the root", "<R/>x" },
        { "comment not closed", "<R><!-- </R>" },
        { "double hyphen in a comment", "<R><!-- a -- b --></R>" },
        { "CDATA section not closed", "<R><![CDATA[ x </R>" },
        { "declaration after the root", "<R/><?xml version=\"1.0\"?>" },
        { "malformed declaration", "<?xml version0\"1.0\"?><R/>" },
        { "Latin-1 text under a Latin-1 declaration", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R a=\"caf\xe9\"/>" },
        { "element name not in ASCII", "<R><caf\xc3\xa9/></R>" },
        { "attribute name not in ASCII", "<R caf\xc3\xa9=\"1\"/>" },
        { "processing instruction target not in ASCII", "<R><?caf\xc3\xa9 x?></R>" },
        { "nested one level too deep", nested (StrictXml::maximumDepth + 1) },
        { "nested too deep, the innermost empty", nested (StrictXml::maximumDepth, "<b/>") },
    };

    for (const auto& c : cases)
    {
        EXPECT_TRUE (faultIn (c.text).isNotEmpty()) << c.what;
        EXPECT_EQ (StrictXml::parse (c.text.data(), c.text.size()), nullptr) << c.what;
    }
}

// The elements are built from expat's events; what the plug-in reads of them (elements and
// attributes, as a value tree) is what the framework's parser makes of the same text.
TEST (StrictXml, AcceptsWellFormedTextsAndParsesThemAsTheFrameworkDoes)
{
    const std::string texts[] {
        "<R a=\"1\"/>",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R a=\"caf\xc3\xa9\"><P id=\"x\" value=\"0.5\"/><P id=\"y\"/></R>",
        "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<R a=\"1\"/>\r\n",
        "  <!-- saved by hand --><?editor keep?>\n<R a = '1' ></R >",
        "<R a=\"1\"><![CDATA[ <not> & markup ]]>caf\xc3\xa9 &lt;&#65;&#x1F600;&gt;<P/></R>",
        nested (StrictXml::maximumDepth) + "<!-- end -->",
        std::string ("<R a=\"1\"/>\0 what follows a zero byte is not read", 47),
    };

    for (const auto& text : texts)
    {
        EXPECT_EQ (faultIn (text), "") << text;
        const auto element = StrictXml::parse (text.data(), text.size());
        ASSERT_NE (element, nullptr) << text;
        // The framework's parser takes a string, without the byte-order mark.
        const auto withoutMark = text.rfind ("\xef\xbb\xbf", 0) == 0 ? text.substr (3) : text;
        const auto framework = juce::parseXML (juce::String::fromUTF8 (withoutMark.c_str()));
        ASSERT_NE (framework, nullptr) << text;
        EXPECT_TRUE (juce::ValueTree::fromXml (*element).isEquivalentTo (juce::ValueTree::fromXml (*framework))) << text;
    }

    const std::string withEntities = "<R a=\"x &amp; &quot;y&quot; &lt;&#233;&gt;\"/>";
    const auto element = StrictXml::parse (withEntities.data(), withEntities.size());
    ASSERT_NE (element, nullptr);
    EXPECT_EQ (element->getStringAttribute ("a"), juce::String::fromUTF8 ("x & \"y\" <\xc3\xa9>"));
}

TEST (StrictXml, ReadsUtf16WithItsByteOrderMark)
{
    const auto encode = [] (const juce::String& text, bool bigEndian)
    {
        std::string bytes = bigEndian ? "\xfe\xff" : "\xff\xfe";

        const auto utf16 = text.toUTF16();

        const auto numUnits = utf16.sizeInBytes() / 2 - 1; // without the terminating zero

        for (size_t index = 0; index < numUnits; ++index)
        {
            const auto unit = (uint16_t) utf16.getAddress()[index];
            const char high = (char) (unit >> 8), low = (char) (unit & 0xff);
            bytes += bigEndian ? std::string { high, low } : std::string { low, high };
        }

        return bytes;
    };

    const auto text = juce::String::fromUTF8 ("<R a=\"caf\xc3\xa9 \xf0\x9f\x98\x80\"/>");

    for (const auto bigEndian : { false, true })
    {
        const auto bytes = encode (text, bigEndian);
        const auto element = StrictXml::parse (bytes.data(), bytes.size());
        ASSERT_NE (element, nullptr) << bigEndian;
        EXPECT_EQ (element->getStringAttribute ("a"), juce::String::fromUTF8 ("caf\xc3\xa9 \xf0\x9f\x98\x80"));
    }

    const std::string loneSurrogate ("\xff\xfe<\0R\0 \0a\0=\0\"\0\x00\xd8\"\0/\0>\0", 22);
    EXPECT_EQ (StrictXml::parse (loneSurrogate.data(), loneSurrogate.size()), nullptr);

    const std::string oddLength ("\xff\xfe<\0R\0/\0>", 9);
    EXPECT_EQ (StrictXml::parse (oddLength.data(), oddLength.size()), nullptr);
}

// Everything the plug-in writes passes the check: a chunk saved after each factory recipe and
// after an edit with every kind of value.
TEST (StrictXml, AcceptsEveryStateThePlugInWrites)
{
    for (int recipe = 0; recipe < kNumFactoryRecipes; ++recipe)
    {
        MorselloAudioProcessor processor;
        processor.applyFactoryRecipe (recipe);
        processor.setParameterValue ("output", -7.3f);

        juce::MemoryBlock chunk;
        processor.getStateInformation (chunk);
        const auto* text = static_cast<const char*> (chunk.getData()) + 8;
        EXPECT_EQ (StrictXml::findFault (text, chunk.getSize() - 8), "") << recipe;
    }
}
} // namespace
