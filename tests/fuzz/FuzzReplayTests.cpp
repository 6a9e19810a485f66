#include "fuzz/FuzzChecks.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace
{
struct Harness
{
    const char* name;
    std::function<std::string (const uint8_t*, size_t)> check;
};

const std::vector<Harness> kHarnesses {
    { "state_chunk", fuzzchecks::checkStateChunk },
    { "recipe_file", fuzzchecks::checkRecipeFile },
    { "engine_run", fuzzchecks::checkEngineRun },
};

// Every committed seed and every input a fuzzer once found at fault, through the same checks the
// fuzzers run, so a fault mended stays mended in the ordinary build.
TEST (FuzzReplay, EveryCommittedInputKeepsTheInvariants)
{
    const juce::File root (MORSELLO_FUZZ_DIR);

    for (const auto& harness : kHarnesses)
    {
        int replayed = 0;

        for (const auto* folder : { "corpus", "regressions" })
        {
            const auto inputs = root.getChildFile (folder).getChildFile (harness.name).findChildFiles (juce::File::findFiles, false);

            for (const auto& input : inputs)
            {
                juce::MemoryBlock bytes;
                ASSERT_TRUE (input.loadFileAsData (bytes)) << input.getFullPathName();
                EXPECT_EQ (harness.check (static_cast<const uint8_t*> (bytes.getData()), bytes.getSize()), "")
                    << input.getFullPathName();
                ++replayed;
            }
        }

        EXPECT_GT (replayed, 0) << "no committed input for " << harness.name;
    }
}
} // namespace
