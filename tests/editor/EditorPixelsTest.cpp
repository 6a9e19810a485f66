// The editor's picture, pixel for pixel, against hashes of snapshots made from the drawing as
// it was when whole-window repaints were replaced by cached artwork and per-meter repaints. Any
// change to what a user sees fails here, however small.
//
// An intended change of the picture needs new hashes: run the test with
// MORSELLO_WRITE_SNAPSHOT_HASHES=1 and copy test-output/editor-snapshots.txt over the fixture.
// Every snapshot that differs is written to test-output/editor-snapshots/ for a look.

#include "support/EditorFixture.h"

#include <map>

using namespace morsello;

namespace
{
const juce::File fixtureFile { MORSELLO_TEST_FIXTURE_DIR "/editor-snapshots.txt" };
const juce::File outputFolder { MORSELLO_TEST_OUTPUT_DIR };

// The start size, the smallest the constrainer allows and one between, all at the design ratio.
struct Size
{
    const char* name;
    int width, height;
};

constexpr Size sizes[] { { "start", 1254, 706 }, { "smallest", 1170, 658 }, { "between", 1400, 788 } };

const char* const modeNames[] { "link", "mirror", "free" };

// The meters' states, reached in this order on one editor: each begins from the one before,
// so the sequence of ticks, and with it every state, is the same on every run.
struct MeterStep
{
    const char* name;
    std::array<float, 4> peaks; // raised before each tick: input L, R, output L, R
    int ticks;
};

constexpr MeterStep meterSteps[] {
    { "silence", { 0.0f, 0.0f, 0.0f, 0.0f }, 3 },
    { "steady", { 0.5f, 0.25f, 0.1f, 0.02f }, 10 },  // -6, -12, -20, -34 dB
    { "clipping", { 1.0f, 0.999f, 0.6f, 1.2f }, 1 }, // both inputs and the right output clip
    { "falling", { 0.0f, 0.0f, 0.0f, 0.0f }, 50 },   // holds over, clip colour gone, bars down
};

// A 64-bit FNV-1a hash of the pixels' colours, whatever the image's format, so an editor that
// becomes opaque (and is then snapshotted as RGB) still compares by what it shows. Each step of
// the hash is a one-to-one map of its state, so a change confined to one pixel always changes
// the hash; the image's size is hashed too.
juce::String pixelHash (const juce::Image& image)
{
    const juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readOnly);
    uint64_t hash = 14695981039346656037ull;

    const auto add = [&hash] (uint32_t value)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            hash = (hash ^ ((value >> shift) & 0xffu)) * 1099511628211ull;
    };

    add ((uint32_t) image.getWidth());
    add ((uint32_t) image.getHeight());

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            add (pixels.getPixelColour (x, y).getARGB());

    return juce::String::toHexString ((juce::int64) hash).paddedLeft ('0', 16);
}

std::map<juce::String, juce::String> readHashes (const juce::File& file)
{
    std::map<juce::String, juce::String> hashes;
    juce::StringArray lines;
    lines.addLines (file.loadFileAsString());

    for (const auto& line : lines)
    {
        const auto tokens = juce::StringArray::fromTokens (line, false);

        if (tokens.size() == 2 && ! line.startsWith ("#"))
            hashes[tokens[0]] = tokens[1];
    }

    return hashes;
}

class EditorPixels : public EditorTest
{
protected:
    void tickWith (const std::array<float, 4>& peaks)
    {
        for (int c = 0; c < 4; ++c)
            if (peaks[(size_t) c] > 0.0f)
                processor.getLevelMeters().raise (c, peaks[(size_t) c]);

        access->tick();
    }

    // Every snapshot of the sequence: for each bread mode, a fresh editor taken through the
    // meter steps, each shown at every size (so the editor is resized between snapshots), and
    // at twice the pixel density at the start size.
    std::vector<std::pair<juce::String, juce::Image>> takeSnapshots()
    {
        std::vector<std::pair<juce::String, juce::Image>> snapshots;

        for (int mode = 0; mode < 3; ++mode)
        {
            processor.setParameterValue ("breadMode", (float) mode);
            openEditor();

            for (const auto& step : meterSteps)
            {
                for (int tick = 0; tick < step.ticks; ++tick)
                    tickWith (step.peaks);

                const auto prefix = juce::String (modeNames[mode]) + "-" + step.name + "-";

                for (const auto& size : sizes)
                {
                    editor->setSize (size.width, size.height);
                    snapshots.emplace_back (prefix + size.name, editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f));
                }

                editor->setSize (sizes[0].width, sizes[0].height);
                snapshots.emplace_back (prefix + "start-x2", editor->createComponentSnapshot (editor->getLocalBounds(), true, 2.0f));
            }
        }

        return snapshots;
    }
};
} // namespace

TEST_F (EditorPixels, EverySnapshotMatchesItsReferenceHash)
{
    const auto snapshots = takeSnapshots();
    const auto references = readHashes (fixtureFile);
    const auto differing = outputFolder.getChildFile ("editor-snapshots");
    differing.deleteRecursively();

    juce::String written;

    for (const auto& [name, image] : snapshots)
    {
        const auto hash = pixelHash (image);
        written << name << " " << hash << "\n";

        const auto reference = references.find (name);

        if (reference == references.end())
        {
            ADD_FAILURE() << "no reference hash for " << name << " in " << fixtureFile.getFullPathName();
            continue;
        }

        if (reference->second != hash)
        {
            differing.createDirectory();
            const auto file = differing.getChildFile (name + ".png");
            juce::FileOutputStream stream (file);
            stream.setPosition (0);
            stream.truncate();
            juce::PNGImageFormat().writeImageToStream (image, stream);
            ADD_FAILURE() << name << " differs from its reference; the snapshot is in " << file.getFullPathName();
        }
    }

    EXPECT_EQ (references.size(), snapshots.size()) << "the fixture lists snapshots this test no longer takes";

    if (juce::SystemStats::getEnvironmentVariable ("MORSELLO_WRITE_SNAPSHOT_HASHES", {}).isNotEmpty())
    {
        outputFolder.createDirectory();
        outputFolder.getChildFile ("editor-snapshots.txt").replaceWithText (written);
    }
}
