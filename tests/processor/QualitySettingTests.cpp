// The quality setting of an instance: kept in the host chunk (a root attribute, only for "high"),
// never in the parameter tree, recipe files, recipes or the dice; the latency told to the host.

#include "processor/PluginProcessor.h"
#include "recipes/ChefsChoice.h"
#include "recipes/RecipeFile.h"
#include "support/HostChunks.h"

#include <gtest/gtest.h>

using namespace morsello;

namespace
{
// "high" round-trips through the chunk with the latency it brings; a chunk without the
// attribute (every earlier version's, and today's "standard") restores "standard", even over an
// instance in "high"; a value other than "high" counts as "standard".
TEST (QualitySetting, HostChunkKeepsItAndOldChunksLoadStandard)
{
    MorselloAudioProcessor saved;
    EXPECT_EQ (saved.getQuality(), Quality::standard);
    const auto standardChunk = chunkOf (saved);

    saved.setQuality (Quality::high);
    EXPECT_EQ (saved.getLatencySamples(), MorselloEngine::latencyOf (Quality::high));
    const auto highChunk = chunkOf (saved);

    MorselloAudioProcessor restored;
    restore (restored, highChunk);
    EXPECT_EQ (restored.getQuality(), Quality::high);
    EXPECT_EQ (restored.getLatencySamples(), MorselloEngine::latencyOf (Quality::high));

    // Written again as it was read, and the parameter tree never holds it.
    EXPECT_EQ (chunkOf (restored), highChunk);
    EXPECT_FALSE (restored.getParameterTree().state.hasProperty (MorselloAudioProcessor::qualityProperty));

    restore (restored, standardChunk);
    EXPECT_EQ (restored.getQuality(), Quality::standard);
    EXPECT_EQ (restored.getLatencySamples(), 0);

    MorselloAudioProcessor fromFixture;
    fromFixture.setQuality (Quality::high);
    juce::MemoryBlock oldChunk;
    ASSERT_TRUE (juce::File (MORSELLO_TEST_FIXTURE_DIR "/host-state-1.0.0.chunk").loadFileAsData (oldChunk));
    restore (fromFixture, oldChunk);
    EXPECT_EQ (fromFixture.getQuality(), Quality::standard);

    // A "standard" chunk is byte for byte what earlier versions wrote: no attribute at all.
    EXPECT_FALSE (juce::String::fromUTF8 (static_cast<const char*> (standardChunk.getData()) + 8).contains ("quality"));

    auto oddText = juce::String::fromUTF8 (static_cast<const char*> (highChunk.getData()) + 8).replace ("quality=\"high\"", "quality=\"HIGH\"");
    juce::MemoryBlock odd;
    MorselloAudioProcessor::copyXmlToBinary (*juce::parseXML (oddText), odd);
    restore (fromFixture, highChunk);
    restore (fromFixture, odd);
    EXPECT_EQ (fromFixture.getQuality(), Quality::standard);
}

// Recipes, the dice and recipe files carry the parameters only: none of them changes the
// quality, and a recipe file saved in "high" does not hold it.
TEST (QualitySetting, RecipesDiceAndRecipeFilesLeaveItAlone)
{
    MorselloAudioProcessor processor;
    processor.setQuality (Quality::high);

    processor.applyFactoryRecipe (7);
    ChefsChoice::randomise (processor);
    EXPECT_EQ (processor.getQuality(), Quality::high);

    const auto file = juce::File::createTempFile (".morsellopreset");
    ASSERT_EQ (RecipeFile::save (processor, file).outcome, RecipeFile::Result::Outcome::done);
    EXPECT_FALSE (file.loadFileAsString().contains ("quality"));

    processor.setQuality (Quality::standard);
    ASSERT_EQ (RecipeFile::load (processor, file).outcome, RecipeFile::Result::Outcome::done);
    EXPECT_EQ (processor.getQuality(), Quality::standard);
    file.deleteFile();
}
} // namespace
