#include "recipes/RecipeFile.h"
#include "editor/RecipeDialogs.h"
#include "processor/PluginProcessor.h"
#include "support/ParameterValues.h"

#include <gtest/gtest.h>

#include <vector>

using namespace morsello;

namespace
{
// A folder of its own per test, removed afterwards.
class RecipeFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                     .getNonexistentChildFile ("morsello-recipe-files", {}, false);
        ASSERT_TRUE (folder.createDirectory().wasOk());
    }

    void TearDown() override
    {
        folder.deleteRecursively();
    }

    // Every parameter away from a fresh instance's value, `output` included.
    static void setDistinctState (MorselloAudioProcessor& processor)
    {
        processor.setParameterValue ("breadType", 7.0f);
        processor.setParameterValue ("breadMode", 2.0f);
        processor.setParameterValue ("fillingType", 5.0f);

        for (int index = firstKnobIndex; index <= lastKnobIndex; ++index)
            processor.setParameterValue (kParameterIds[(size_t) index], 0.9f - 0.013f * (float) index);

        processor.setParameterValue ("output", -7.3f);
    }

    // The name shown after the last save or load that was done, as the editor shows it.
    bool show (const RecipeFile::Result& result)
    {
        if (result.succeeded())
            shownName = result.name;

        return result.succeeded();
    }

    juce::File folder;
    juce::String shownName { "before" };
};

TEST_F (RecipeFileTest, ExtensionIsAppendedReplacedOrKept)
{
    struct Case
    {
        const char* chosen;
        const char* expected;
    };

    const Case cases[] {
        { "my morsello", "my morsello.morsellopreset" },
        { "my morsello.morsellopreset", "my morsello.morsellopreset" },
        { "LOUD.MORSELLOPRESET", "LOUD.MORSELLOPRESET" },
        { "mixed.MorselloPreset", "mixed.MorselloPreset" },
        { "take.txt", "take.morsellopreset" },
        { "take.2.wav", "take.2.morsellopreset" },
        { "trailing.", "trailing.morsellopreset" },
        { "almostmorsellopreset", "almostmorsellopreset.morsellopreset" },
        { "v1.2/plain", "v1.2/plain.morsellopreset" }, // a dot in the folder is not the name's
    };

    for (const auto& c : cases)
        EXPECT_EQ (RecipeFile::withRecipeExtension (folder.getChildFile (c.chosen)).getFullPathName(),
                   folder.getChildFile (c.expected).getFullPathName())
            << c.chosen;

    EXPECT_EQ (RecipeFile::withRecipeExtension ({}), juce::File());
}

TEST_F (RecipeFileTest, SavedFileHasTheExactLayoutWithCrLfLineEnds)
{
    MorselloAudioProcessor processor;

    // Values whose text is short and exact, so the expected bytes can be written out in full.
    processor.setParameterValue ("breadType", 3.0f);
    processor.setParameterValue ("breadMode", 1.0f);
    processor.setParameterValue ("fillingType", 8.0f);

    for (int index = firstKnobIndex; index <= lastKnobIndex; ++index)
        processor.setParameterValue (kParameterIds[(size_t) index], 0.5f);

    processor.setParameterValue ("left2", 0.25f);
    processor.setParameterValue ("fill4", 1.0f);
    processor.setParameterValue ("bite", 0.0f);
    processor.setParameterValue ("output", -6.0f);

    ASSERT_TRUE (show (RecipeFile::save (processor, folder.getChildFile ("my morsello"))));

    const auto written = folder.getChildFile ("my morsello.morsellopreset");
    juce::MemoryBlock bytes;
    ASSERT_TRUE (written.loadFileAsData (bytes));

    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "\r\n"
        "<MORSELLO_STATE presetName=\"my morsello\">\r\n"
        "  <PARAM id=\"bite\" value=\"0.0\"/>\r\n"
        "  <PARAM id=\"breadMode\" value=\"1.0\"/>\r\n"
        "  <PARAM id=\"breadType\" value=\"3.0\"/>\r\n"
        "  <PARAM id=\"fill1\" value=\"0.5\"/>\r\n"
        "  <PARAM id=\"fill2\" value=\"0.5\"/>\r\n"
        "  <PARAM id=\"fill3\" value=\"0.5\"/>\r\n"
        "  <PARAM id=\"fill4\" value=\"1.0\"/>\r\n"
        "  <PARAM id=\"fillingType\" value=\"8.0\"/>\r\n"
        "  <PARAM id=\"left1\" value=\"0.5\"/>\r\n"
        "  <PARAM id=\"left2\" value=\"0.25\"/>\r\n"
        "  <PARAM id=\"left3\" value=\"0.5\"/>\r\n"
        "  <PARAM id=\"output\" value=\"-6.0\"/>\r\n"
        "  <PARAM id=\"right1\" value=\"0.5\"/>\r\n"
        "  <PARAM id=\"right2\" value=\"0.5\"/>\r\n"
        "  <PARAM id=\"right3\" value=\"0.5\"/>\r\n"
        "  <PARAM id=\"toast\" value=\"0.5\"/>\r\n"
        "</MORSELLO_STATE>\r\n";

    EXPECT_EQ (bytes.toString().toStdString(), expected);

    // The name goes on the saved copy only; the live tree stays without it.
    EXPECT_FALSE (processor.getParameterTree().state.hasProperty ("presetName"));
    EXPECT_EQ (shownName, "my morsello");

    // Written through a temporary file that is gone once the target is in place.
    EXPECT_EQ (folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1);
}

TEST_F (RecipeFileTest, SaveReplacesAnExistingFileAndShowsTheFixedName)
{
    MorselloAudioProcessor processor;
    const auto target = folder.getChildFile ("dinner.morsellopreset");
    ASSERT_TRUE (target.replaceWithText ("an older recipe"));

    ASSERT_TRUE (show (RecipeFile::save (processor, folder.getChildFile ("dinner.txt"))));

    const auto xml = juce::parseXML (target);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getStringAttribute ("presetName"), "dinner");
    EXPECT_FALSE (folder.getChildFile ("dinner.txt").exists());
    EXPECT_EQ (shownName, "dinner");
}

TEST_F (RecipeFileTest, FailedSaveReportsTheFailureAndLeavesEverythingAsItWas)
{
    MorselloAudioProcessor processor;

    // We may run as root, so permissions cannot make a folder unwritable. Instead: a "folder"
    // that is a regular file, and a target that is a folder with something in it.
    const auto notAFolder = folder.getChildFile ("notes");
    ASSERT_TRUE (notAFolder.replaceWithText ("keep me"));

    const auto folderInTheWay = folder.getChildFile ("taken.morsellopreset");
    ASSERT_TRUE (folderInTheWay.createDirectory().wasOk());
    ASSERT_TRUE (folderInTheWay.getChildFile ("inside").replaceWithText ("keep me too"));

    for (const auto& chosen : { notAFolder.getChildFile ("recipe"), folder.getChildFile ("taken") })
    {
        const auto result = RecipeFile::save (processor, chosen);
        EXPECT_EQ (result.outcome, RecipeFile::Result::Outcome::failed) << chosen.getFullPathName();
        show (result);

        // What the save dialog then shows.
        const auto message = RecipeDialogs::saveFailedMessage();
        EXPECT_EQ (message.getIconType(), juce::MessageBoxIconType::WarningIcon);
        EXPECT_EQ (message.getTitle(), "Save failed");
        EXPECT_EQ (message.getMessage(), "The recipe could not be saved. Please choose a writable folder.");
        ASSERT_EQ (message.getNumButtons(), 1);
        EXPECT_EQ (message.getButtonText (0), TRANS ("OK"));
        EXPECT_EQ (message.getAssociatedComponent(), nullptr);

        EXPECT_EQ (shownName, "before");
    }

    EXPECT_EQ (notAFolder.loadFileAsString(), "keep me");
    EXPECT_EQ (folderInTheWay.getChildFile ("inside").loadFileAsString(), "keep me too");

    // No temporary file is left behind beside the target.
    EXPECT_EQ (folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 2);
}

TEST_F (RecipeFileTest, CancelledDialogsDoNothing)
{
    MorselloAudioProcessor processor;
    const auto before = parameterValues (processor);

    EXPECT_FALSE (show (RecipeFile::save (processor, {})));
    EXPECT_FALSE (show (RecipeFile::load (processor, {})));

    EXPECT_EQ (parameterValues (processor), before);
    EXPECT_EQ (shownName, "before");
    EXPECT_EQ (folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
}

TEST_F (RecipeFileTest, RoundTripSetsAllSixteenParametersAndKeepsTheProgram)
{
    MorselloAudioProcessor source;
    setDistinctState (source);
    ASSERT_TRUE (show (RecipeFile::save (source, folder.getChildFile ("late supper"))));

    MorselloAudioProcessor destination;
    destination.applyFactoryRecipe (5);
    ASSERT_NE (parameterValues (destination), parameterValues (source));

    ASSERT_TRUE (show (RecipeFile::load (destination, folder.getChildFile ("late supper.morsellopreset"))));

    const auto expected = parameterValues (source);
    const auto actual = parameterValues (destination);

    for (size_t i = 0; i < kParameterIds.size(); ++i)
        EXPECT_EQ (actual[i], expected[i]) << kParameterIds[i];

    EXPECT_EQ (destination.getCurrentProgram(), 5);
    EXPECT_EQ (shownName, "late supper");

    // The name travels with the live tree into the host's chunk and the next file saved,
    // where a save under another name overwrites it.
    EXPECT_EQ (destination.getParameterTree().state.getProperty ("presetName").toString(), "late supper");
    ASSERT_TRUE (show (RecipeFile::save (destination, folder.getChildFile ("second helping"))));
    const auto resaved = juce::parseXML (folder.getChildFile ("second helping.morsellopreset"));
    ASSERT_NE (resaved, nullptr);
    EXPECT_EQ (resaved->getStringAttribute ("presetName"), "second helping");
}

// A file as version 1.0.0 saved it (factory recipe 9, then toast, left2, breadType and output
// edited) keeps loading to the same values.
TEST_F (RecipeFileTest, FileFromVersion100LoadsItsValues)
{
    MorselloAudioProcessor processor;
    ASSERT_TRUE (show (RecipeFile::load (processor, juce::File (MORSELLO_TEST_FIXTURE_DIR "/recipe-1.0.0.morsellopreset"))));

    juce::MemoryBlock chunk;
    ASSERT_TRUE (juce::File (MORSELLO_TEST_FIXTURE_DIR "/host-state-1.0.0.chunk").loadFileAsData (chunk));
    MorselloAudioProcessor fromChunk;
    fromChunk.setStateInformation (chunk.getData(), (int) chunk.getSize());

    EXPECT_EQ (parameterValues (processor), parameterValues (fromChunk));
    EXPECT_FLOAT_EQ (rawValue (processor, "left2"), 0.333f);
    EXPECT_FLOAT_EQ (rawValue (processor, "output"), -4.5f);
    EXPECT_EQ (shownName, "recipe-1.0.0");
}

TEST_F (RecipeFileTest, LoadShowsTheFilesPresentNameNotTheStoredOne)
{
    MorselloAudioProcessor source;
    setDistinctState (source);
    ASSERT_TRUE (show (RecipeFile::save (source, folder.getChildFile ("first name"))));

    const auto renamed = folder.getChildFile ("new name.MORSELLOPRESET");
    ASSERT_TRUE (folder.getChildFile ("first name.morsellopreset").moveFileTo (renamed));

    MorselloAudioProcessor destination;
    ASSERT_TRUE (show (RecipeFile::load (destination, renamed)));

    EXPECT_EQ (shownName, "new name");
    EXPECT_EQ (parameterValues (destination), parameterValues (source));
}

TEST_F (RecipeFileTest, PartialRecipeSetsItsParametersAndLeavesTheOthers)
{
    MorselloAudioProcessor processor;
    setDistinctState (processor);
    auto expected = parameterValues (processor);

    // toast is set, breadType has no value (so takes its default), an unknown child and the
    // root's attributes stay in the tree.
    const auto file = folder.getChildFile ("pinch.morsellopreset");
    ASSERT_TRUE (file.replaceWithText ("<MORSELLO_STATE presetName=\"old\" extra=\"kept\" program=\"7\">"
                                       "<PARAM id=\"toast\" value=\"0.25\"/>"
                                       "<PARAM id=\"breadType\"/>"
                                       "<PARAM id=\"sprinkles\" value=\"3\"/>"
                                       "</MORSELLO_STATE>"));

    ASSERT_TRUE (show (RecipeFile::load (processor, file)));

    expected[toIndex (ParameterIndex::toast)] = 0.25f;
    expected[toIndex (ParameterIndex::breadType)] = 0.0f;
    EXPECT_EQ (parameterValues (processor), expected);

    // A program index is host-chunk business: a recipe file neither sets it nor keeps it.
    EXPECT_EQ (processor.getCurrentProgram(), 0);

    const auto state = processor.getParameterTree().copyState();
    EXPECT_FALSE (state.hasProperty ("program"));
    EXPECT_EQ (state.getProperty ("extra").toString(), "kept");
    EXPECT_TRUE (state.getChildWithProperty ("id", "sprinkles").isValid());
    EXPECT_EQ (state.getNumChildren(), 17);
    EXPECT_EQ (shownName, "pinch");
}

// A file saved by another editor: with a UTF-8 byte-order mark, or as UTF-16.
TEST_F (RecipeFileTest, FileWithAByteOrderMarkLoads)
{
    MorselloAudioProcessor source;
    setDistinctState (source);
    const auto saved = folder.getChildFile ("saved.morsellopreset");
    ASSERT_TRUE (RecipeFile::save (source, saved).succeeded());
    const auto text = saved.loadFileAsString();

    for (const auto asUtf16 : { false, true })
    {
        const auto file = folder.getChildFile (asUtf16 ? "utf16.morsellopreset" : "utf8.morsellopreset");
        ASSERT_TRUE (file.replaceWithText (text, asUtf16, true, "\r\n"));

        MorselloAudioProcessor processor;
        EXPECT_TRUE (RecipeFile::load (processor, file).succeeded()) << asUtf16;
        EXPECT_EQ (parameterValues (processor), parameterValues (source)) << asUtf16;
    }
}

// A file far larger than any recipe is refused without being read, even when it would parse.
TEST_F (RecipeFileTest, FileLargerThanAnyRecipeIsRefused)
{
    const auto file = folder.getChildFile ("large.morsellopreset");
    const auto padding = juce::String::repeatedString (" ", (int) RecipeFile::maximumFileSize);
    ASSERT_TRUE (file.replaceWithText ("<MORSELLO_STATE><PARAM id=\"toast\" value=\"0.9\"/></MORSELLO_STATE>" + padding));

    MorselloAudioProcessor processor;
    const auto before = parameterValues (processor);
    EXPECT_FALSE (RecipeFile::load (processor, file).succeeded());
    EXPECT_EQ (parameterValues (processor), before);
}

TEST_F (RecipeFileTest, UnacceptableFilesChangeNothingAndShowNothing)
{
    struct Case
    {
        const char* name;
        const char* content; // nullptr: the file does not exist
    };

    const Case cases[] {
        { "missing.morsellopreset", nullptr },
        { "empty.morsellopreset", "" },
        { "prose.morsellopreset", "a shopping list: bread, cheese, tomatoes" },
        { "lower case root.morsellopreset", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<morsello_state><PARAM id=\"toast\" value=\"0.9\"/></morsello_state>\r\n" },
        { "other root.morsellopreset", "<OTHER_STATE><PARAM id=\"toast\" value=\"0.9\"/></OTHER_STATE>" },
        { "broken.morsellopreset", "<MORSELLO_STATE><PARAM id=\"toast\" value=\"0.9\"/>" },
        { "damaged.morsellopreset", "<MORSELLO_STATE><PARAM id=\"toast\" value=\"0.9\x1a\x1a\xd4/>\r\n</MORSELLO_STATE>" },
        { "twice.morsellopreset", "<MORSELLO_STATE><PARAM id=\"toast\" value=\"0.9\" value=\"0.1\"/></MORSELLO_STATE>" },
    };

    MorselloAudioProcessor processor;
    processor.applyFactoryRecipe (2);
    const auto before = parameterValues (processor);
    const auto stateBefore = processor.getParameterTree().copyState();

    for (const auto& c : cases)
    {
        const auto file = folder.getChildFile (c.name);

        if (c.content != nullptr)
        {
            ASSERT_TRUE (file.replaceWithText (c.content, false, false, nullptr));
        }

        EXPECT_FALSE (show (RecipeFile::load (processor, file))) << c.name;
        EXPECT_EQ (parameterValues (processor), before) << c.name;
        EXPECT_TRUE (processor.getParameterTree().copyState().isEquivalentTo (stateBefore)) << c.name;
        EXPECT_EQ (shownName, "before") << c.name;
    }

    EXPECT_EQ (processor.getCurrentProgram(), 2);
}
} // namespace
