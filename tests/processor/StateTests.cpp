#include "processor/PluginProcessor.h"
#include "support/ParameterValues.h"
#include "support/HostChunks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace morsello;

namespace
{
constexpr uint32_t chunkMagic = 0x21324356; // "VC2!"

juce::String xmlTextOf (const juce::MemoryBlock& chunk)
{
    return juce::String::fromUTF8 (static_cast<const char*> (chunk.getData()) + 8, (int) chunk.getSize() - 9);
}

// A chunk in the framework's format around any text.
juce::MemoryBlock chunkAround (const juce::String& text)
{
    juce::MemoryBlock chunk;
    juce::MemoryOutputStream out (chunk, false);
    out.writeInt ((int) chunkMagic);
    out.writeInt ((int) text.getNumBytesAsUTF8());
    out << text;
    out.writeByte (0);
    out.flush();
    return chunk;
}

TEST (StateChunk, FreshInstanceWritesTheFrameworkFormatOnOneLine)
{
    MorselloAudioProcessor processor;
    const auto chunk = chunkOf (processor);
    const auto* bytes = static_cast<const uint8_t*> (chunk.getData());

    ASSERT_GT (chunk.getSize(), 9u);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (bytes), chunkMagic);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (bytes + 4), (uint32_t) chunk.getSize() - 9);
    EXPECT_EQ (bytes[chunk.getSize() - 1], 0);

    const auto text = xmlTextOf (chunk);
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <MORSELLO_STATE program=\"0\">")) << text;
    EXPECT_FALSE (text.containsAnyOf ("\r\n\t"));
    EXPECT_FALSE (text.containsChar (0));

    const auto xml = juce::parseXML (text);
    ASSERT_NE (xml, nullptr);
    EXPECT_FALSE (xml->hasAttribute ("presetName"));
    EXPECT_EQ (xml->getNumAttributes(), 1);
    EXPECT_EQ (xml->getStringAttribute ("program"), "0");

    // The parameter tree makes its children in code-point order of the IDs.
    const juce::StringArray order { "bite", "breadMode", "breadType", "fill1", "fill2", "fill3", "fill4", "fillingType",
                                    "left1", "left2", "left3", "output", "right1", "right2", "right3", "toast" };
    ASSERT_EQ (xml->getNumChildElements(), 16);

    for (int i = 0; i < 16; ++i)
    {
        const auto* param = xml->getChildElement (i);
        EXPECT_TRUE (param->hasTagName ("PARAM"));
        EXPECT_EQ (param->getStringAttribute ("id"), order[i]);

        const auto id = order[i];
        EXPECT_NEAR (param->getDoubleAttribute ("value"), rawValue (processor, id), 1.0e-7) << id;
    }
}

TEST (StateChunk, RoundTripRestoresEveryParameterAndTheProgram)
{
    MorselloAudioProcessor source;
    source.applyFactoryRecipe (11);
    source.setParameterValue ("output", -7.3f);
    source.setParameterValue ("left2", 0.987f);

    MorselloAudioProcessor target;
    target.applyFactoryRecipe (4);
    restore (target, chunkOf (source));

    EXPECT_EQ (parameterValues (target), parameterValues (source));
    EXPECT_EQ (target.getCurrentProgram(), 11);
    EXPECT_EQ (chunkOf (target), chunkOf (source));

    // The program is read from the chunk, not kept in the live tree, so a recipe file saved
    // from that tree does not carry it.
    EXPECT_FALSE (target.getParameterTree().copyState().hasProperty ("program"));
}

// A host reopening a project restores the chunk into a fresh instance and then selects the
// program it remembers; the framework's wrapper applies that program only when it differs from
// the current one. The edits made after choosing the program must survive.
TEST (StateChunk, ReselectingTheSavedProgramAfterARestoreKeepsTheEdits)
{
    MorselloAudioProcessor saved;
    saved.setCurrentProgram (9);
    saved.setParameterValue ("toast", 0.9f);
    saved.setParameterValue ("left2", 0.333f);
    saved.setParameterValue ("breadType", 10.0f);

    MorselloAudioProcessor reopened;
    restore (reopened, chunkOf (saved));

    if (reopened.getCurrentProgram() != 9)
        reopened.setCurrentProgram (9);

    EXPECT_EQ (reopened.getCurrentProgram(), 9);
    EXPECT_EQ (parameterValues (reopened), parameterValues (saved));

    // A program the user really chooses afterwards still applies its recipe.
    reopened.setCurrentProgram (3);
    MorselloAudioProcessor recipe3;
    recipe3.setCurrentProgram (3);
    EXPECT_EQ (parameterValues (reopened), parameterValues (recipe3));
}

// The framework's VST3 wrapper sends changes made away from its message thread with the next
// block but nothing for a restore; when the host prepares the plug-in after a restore, every
// restored value is told once more, so nothing older is sent last. Reading the program tells
// nothing: a getter has no side effect.
TEST (StateChunk, RestoredValuesAreToldOnceWhenTheHostPreparesAfterARestore)
{
    struct ValueRecorder final : juce::AudioProcessorListener
    {
        void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override { told.emplace_back (index, value); }
        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
        std::vector<std::pair<int, float>> told;
    };

    MorselloAudioProcessor source;
    source.setCurrentProgram (9);
    source.setParameterValue ("toast", 0.9f);

    MorselloAudioProcessor reopened;
    reopened.setCurrentProgram (9);
    restore (reopened, chunkOf (source));

    ValueRecorder recorder;
    reopened.addListener (&recorder);
    EXPECT_EQ (reopened.getCurrentProgram(), 9);
    EXPECT_TRUE (recorder.told.empty());
    reopened.prepareToPlay (48000.0, 256);
    const auto toldAfterRestore = recorder.told;
    recorder.told.clear();
    reopened.prepareToPlay (48000.0, 256);
    reopened.removeListener (&recorder);

    ASSERT_EQ (toldAfterRestore.size(), kParameterIds.size());
    EXPECT_EQ (toldAfterRestore[toIndex (ParameterIndex::toast)].first, (int) toIndex (ParameterIndex::toast));
    EXPECT_FLOAT_EQ (toldAfterRestore[toIndex (ParameterIndex::toast)].second, 0.9f);
    EXPECT_TRUE (recorder.told.empty());
}

// Only a plain index of a factory recipe is taken; anything else leaves the program as it was
// and the parameters are restored all the same.
TEST (StateChunk, UnusableProgramTextsKeepTheCurrentProgram)
{
    const char* texts[] { "16", "-1", "3.5", "abc", "", " 3", "007", "99999999999" };

    for (const auto* text : texts)
    {
        MorselloAudioProcessor processor;
        processor.applyFactoryRecipe (6);
        restore (processor, chunkAround (juce::String ("<MORSELLO_STATE program=\"") + text + "\">"
                                                                                              "<PARAM id=\"toast\" value=\"0.25\"/></MORSELLO_STATE>"));

        EXPECT_EQ (processor.getCurrentProgram(), 6) << "program=\"" << text << "\"";
        EXPECT_FLOAT_EQ (rawValue (processor, "toast"), 0.25f) << text;
    }

    MorselloAudioProcessor processor;
    restore (processor, chunkAround ("<MORSELLO_STATE program=\"15\"/>"));
    EXPECT_EQ (processor.getCurrentProgram(), 15);
}

// A chunk as version 1.0.0 wrote it (factory recipe 9, then toast, left2, breadType and output
// edited) has no program: it restores its sixteen values exactly and leaves the program alone.
TEST (StateChunk, ChunkFromVersion100RestoresItsValues)
{
    juce::MemoryBlock chunk;
    ASSERT_TRUE (juce::File (MORSELLO_TEST_FIXTURE_DIR "/host-state-1.0.0.chunk").loadFileAsData (chunk));

    MorselloAudioProcessor processor;
    processor.applyFactoryRecipe (4);
    restore (processor, chunk);

    // The values as the file writes them, in kParameterIds order.
    const std::vector<float> expected { 10.0f, 2.0f, 0.0f, // wavefold, free, granular
                                        0.7300000190734863f, 0.3330000042915344f, 0.4900000095367432f,
                                        0.3100000023841858f, 0.8200000524520874f, 0.6200000047683716f,
                                        0.3900000154972076f, 0.9100000262260437f, 0.4400000274181366f, 0.7800000309944153f,
                                        0.9000000357627869f, 0.6800000071525574f, -4.5f };
    EXPECT_EQ (parameterValues (processor), expected);
    EXPECT_EQ (processor.getCurrentProgram(), 4);
}

TEST (StateChunk, MalformedChunksChangeNothing)
{
    MorselloAudioProcessor other;
    other.applyFactoryRecipe (7);
    const auto valid = chunkOf (other);

    auto withLength = [&valid] (int32_t length)
    {
        auto chunk = valid;
        static_cast<int32_t*> (chunk.getData())[1] = juce::ByteOrder::swapIfBigEndian (length);
        return chunk;
    };

    auto withMagic = [&valid] (const char* magic)
    {
        auto chunk = valid;
        chunk.copyFrom (magic, 0, 4);
        return chunk;
    };

    struct Case
    {
        const char* what;
        juce::MemoryBlock chunk;
    };

    const Case cases[] {
        { "empty", {} },
        { "eight bytes", juce::MemoryBlock (valid.getData(), 8) },
        { "wrong magic", withMagic ("CcnK") },
        { "magic in the other byte order", withMagic ("!2CV") },
        { "length 0", withLength (0) },
        { "negative length", withLength (-5) },
        { "not XML", chunkAround ("this is no recipe") },
        { "another root", chunkAround ("<OTHER_STATE><PARAM id=\"toast\" value=\"0.9\"/></OTHER_STATE>") },
        { "truncated XML", juce::MemoryBlock (valid.getData(), valid.getSize() / 2) },
        // Which of two values would play and which would be saved is anyone's guess.
        { "a value given twice",
          chunkAround ("<MORSELLO_STATE><PARAM id=\"fill2\" value=\"0.91\" value=\"0.31\"/></MORSELLO_STATE>") },
        // Texts on which the framework's parser loops or reads past its buffer.
        { "an element left open inside an attribute", chunkAround ("<MORSELLO_STATE><P ARAM id=<M\"/></MORSELLO_STATE>") },
        { "invalid UTF-8 in a value", chunkAround ("<MORSELLO_STATE><PARAM id=\"toast\" value=\"0.9\xd4/></MORSELLO_STATE>") },
    };

    for (const auto& c : cases)
    {
        MorselloAudioProcessor processor;
        processor.applyFactoryRecipe (2);
        const auto before = chunkOf (processor);

        processor.setStateInformation (c.chunk.getData(), (int) c.chunk.getSize());
        EXPECT_EQ (chunkOf (processor), before) << c.what;
    }
}

TEST (StateChunk, LengthBeyondTheBytesIsCutToTheBytesPresent)
{
    MorselloAudioProcessor source;
    source.applyFactoryRecipe (9);
    auto chunk = chunkOf (source);
    static_cast<int32_t*> (chunk.getData())[1] = juce::ByteOrder::swapIfBigEndian ((int32_t) 1000000);

    MorselloAudioProcessor target;
    restore (target, chunk);
    EXPECT_EQ (parameterValues (target), parameterValues (source));
}

TEST (StateChunk, RootTagIsAcceptedInAnyCaseAndSavedInItsOwn)
{
    MorselloAudioProcessor source;
    source.applyFactoryRecipe (13);
    const auto lowerCase = xmlTextOf (chunkOf (source)).replace ("MORSELLO_STATE", "morsello_state");

    MorselloAudioProcessor target;
    restore (target, chunkAround (lowerCase));

    EXPECT_EQ (parameterValues (target), parameterValues (source));
    // Saved again under the plug-in's own spelling, so the state stays loadable everywhere
    // that checks the tag exactly (recipe files).
    EXPECT_EQ (target.getParameterTree().state.getType().toString(), "MORSELLO_STATE");
    EXPECT_TRUE (xmlTextOf (chunkOf (target)).contains ("<MORSELLO_STATE"));
}

TEST (StateChunk, PartialStateSetsWhatItNamesAndKeepsTheRest)
{
    MorselloAudioProcessor processor;
    processor.applyFactoryRecipe (2);
    processor.setParameterValue ("output", 3.0f);
    auto expected = parameterValues (processor);

    restore (processor, chunkAround ("<MORSELLO_STATE><PARAM id=\"toast\" value=\"0.9\"/></MORSELLO_STATE>"));

    expected[toIndex (ParameterIndex::toast)] = processor.getParameterTree().getParameter ("toast")->getNormalisableRange().snapToLegalValue (0.9f);
    EXPECT_EQ (parameterValues (processor), expected);
}

TEST (StateChunk, ValuesPassTheParameterRanges)
{
    struct Case
    {
        const char* param;
        float expected;
    };

    const Case cases[] {
        { "<PARAM id=\"breadType\" value=\"40\"/>", 12.0f },
        { "<PARAM id=\"breadType\"/>", 0.0f }, // no value: the default
        { "<PARAM id=\"breadType\" value=\"2.6\"/>", 3.0f },
        { "<PARAM id=\"breadType\" value=\"-3\"/>", 0.0f },
        // Exponents too long for the framework's own reader, which overflowed on them.
        { "<PARAM id=\"breadType\" value=\"0E3900000154972076\"/>", 0.0f },
        { "<PARAM id=\"breadType\" value=\"7e99999999999999999999\"/>", 12.0f },
        { "<PARAM id=\"breadType\" value=\"7e-99999999999999999999\"/>", 0.0f },
    };

    for (const auto& c : cases)
    {
        MorselloAudioProcessor processor;
        processor.applyFactoryRecipe (3);
        restore (processor, chunkAround (juce::String ("<MORSELLO_STATE>") + c.param + "</MORSELLO_STATE>"));
        EXPECT_EQ (rawValue (processor, "breadType"), c.expected) << c.param;
    }
}

// A value the text reader turns into NaN would pass every range check untouched, be saved back
// as "nan" and reach the host and the engine; such a value is ignored like an absent one. The
// infinities are ordinary out-of-range values and land on the range's ends.
TEST (StateChunk, NonFiniteValuesKeepTheParameterOrLandOnTheRangeEnds)
{
    struct Case
    {
        const char* id;
        const char* value;
        float expected; // NaN: the value the parameter had before
    };

    const auto kept = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] {
        { "toast", "nan", kept },
        { "toast", "-NaN", kept },
        { "breadType", "nan", kept },
        { "output", "nan", kept },
        { "toast", "inf", 1.0f },
        { "toast", "-inf", 0.0f },
        { "breadType", "inf", 12.0f },
        { "output", "-inf", -18.0f },
    };

    for (const auto& c : cases)
    {
        MorselloAudioProcessor processor;
        processor.applyFactoryRecipe (3);
        auto* value = processor.getParameterTree().getRawParameterValue (c.id);
        const auto before = value->load();

        restore (processor, chunkAround (juce::String ("<MORSELLO_STATE><PARAM id=\"") + c.id + "\" value=\"" + c.value
                                         + "\"/></MORSELLO_STATE>"));

        const auto after = value->load();
        EXPECT_EQ (after, std::isnan (c.expected) ? before : c.expected) << c.id << " = " << c.value;
        EXPECT_FALSE (xmlTextOf (chunkOf (processor)).containsIgnoreCase ("nan")) << c.id << " = " << c.value;
    }
}

// Hosts hand back whatever they stored, damaged or not. Random corruptions of a saved chunk
// (bytes changed, cut short, numbers rewritten) must leave every parameter finite, inside its
// range and on its step, and the audio path running.
TEST (StateChunk, CorruptedChunksLeaveEveryParameterInRange)
{
    MorselloAudioProcessor source;
    source.applyFactoryRecipe (9);
    const auto original = chunkOf (source);
    const auto text = xmlTextOf (original);

    const char* replacements[] { "nan", "inf", "-inf", "1e39", "-1e39", "0x7f", "", "\"", "<", "1e-45", "99999999999" };
    std::mt19937 random { 20261210 };
    auto pick = [&random] (int count)
    { return (int) std::uniform_int_distribution<int> (0, count - 1) (random); };

    MorselloAudioProcessor processor;
    processor.setPlayConfigDetails (2, 2, 48000.0, 256);
    processor.prepareToPlay (48000.0, 256);
    juce::AudioBuffer<float> block (2, 256);
    juce::MidiBuffer midi;

    for (int trial = 0; trial < 2000; ++trial)
    {
        juce::MemoryBlock chunk;

        if (trial % 2 == 0)
        {
            // Byte damage anywhere, header included, sometimes cut short.
            chunk = original;
            auto* bytes = static_cast<uint8_t*> (chunk.getData());

            for (int n = 1 + pick (4); --n >= 0;)
                bytes[pick ((int) chunk.getSize())] = (uint8_t) pick (256);

            if (pick (4) == 0)
                chunk.setSize ((size_t) pick ((int) chunk.getSize()));
        }
        else
        {
            // A well-formed chunk whose value texts are rewritten.
            auto damaged = text;

            for (int n = 1 + pick (3); --n >= 0;)
            {
                const auto start = damaged.indexOf (pick (damaged.length()), "value=\"");

                if (start < 0)
                    continue;

                const auto valueStart = start + 7;
                const auto valueEnd = damaged.indexOfChar (valueStart, '"');
                damaged = damaged.replaceSection (valueStart, valueEnd - valueStart, replacements[pick ((int) std::size (replacements))]);
            }

            chunk = chunkAround (damaged);
        }

        restore (processor, chunk);

        for (const auto* id : kParameterIds)
        {
            const auto value = rawValue (processor, id);
            const auto& range = processor.getParameterTree().getParameter (id)->getNormalisableRange();
            ASSERT_TRUE (std::isfinite (value)) << id << " after trial " << trial;
            ASSERT_GE (value, range.start) << id << " after trial " << trial;
            ASSERT_LE (value, range.end) << id << " after trial " << trial;
            ASSERT_EQ (range.snapToLegalValue (value), value) << id << " after trial " << trial;
        }

        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < block.getNumSamples(); ++i)
                block.setSample (ch, i, 0.5f * std::sin (0.05f * (float) (i + 7 * ch)));

        processor.processBlock (block, midi);

        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < block.getNumSamples(); ++i)
                ASSERT_TRUE (std::isfinite (block.getSample (ch, i))) << "trial " << trial;
    }
}

TEST (StateChunk, ForeignAttributesAndChildrenTravelOn)
{
    MorselloAudioProcessor processor;
    restore (processor, chunkAround ("<MORSELLO_STATE presetName=\"late supper\">"
                                     "<PARAM id=\"toast\" value=\"0.25\"/>"
                                     "<PARAM id=\"crust\" value=\"7\"/></MORSELLO_STATE>"));

    const auto xml = juce::parseXML (xmlTextOf (chunkOf (processor)));
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getStringAttribute ("presetName"), "late supper");
    EXPECT_NE (xml->getChildByAttribute ("id", "crust"), nullptr);
    EXPECT_EQ (xml->getNumChildElements(), 17);
    EXPECT_FLOAT_EQ (rawValue (processor, "toast"), 0.25f);
}
} // namespace
