// morsello-render run as a user runs it: a child process given files and options. Its renders
// are compared with the plug-in's processor fed the same blocks.

#include "AudioFiles.h"
#include "Demo.h"
#include "processor/PluginProcessor.h"
#include "processor/programs/FactoryRecipes.h"
#include "recipes/RecipeFile.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace morsello;

namespace
{
constexpr double tailSeconds = 4.0;

struct Run
{
    int exitCode = -1;
    juce::String output; // standard output and error together
};

Run runTool (juce::StringArray arguments)
{
    arguments.insert (0, MORSELLO_RENDER_PROGRAM);
    juce::ChildProcess process;
    Run result;

    if (! process.start (arguments, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr))
        return result;

    result.output = process.readAllProcessOutput();
    process.waitForProcessToFinish (120000);
    result.exitCode = (int) process.getExitCode();
    return result;
}

// A signal with sharp onsets, a held tone and different channels.
juce::AudioBuffer<float> testSignal (int channels, double rate, double seconds)
{
    juce::AudioBuffer<float> signal (channels, (int) (seconds * rate));
    juce::Random random (7);

    for (int i = 0; i < signal.getNumSamples(); ++i)
    {
        const auto t = (double) i / rate;
        const auto hit = std::exp (-12.0 * std::fmod (t, 0.25));
        const auto tone = 0.3 * std::sin (juce::MathConstants<double>::twoPi * 196.0 * t);

        for (int channel = 0; channel < channels; ++channel)
            signal.setSample (channel, i, (float) (hit * (tone + 0.2 * (random.nextDouble() - 0.5)) * (1.0 - 0.3 * channel)));
    }

    return signal;
}

void writeAudio (juce::AudioFormat& format, const juce::File& file, const juce::AudioBuffer<float>& audio, double rate, int bits)
{
    file.deleteFile();
    auto stream = file.createOutputStream();
    ASSERT_NE (stream, nullptr);
    std::unique_ptr<juce::AudioFormatWriter> writer (format.createWriterFor (stream.get(), rate, (unsigned int) audio.getNumChannels(), bits, {}, 0));
    ASSERT_NE (writer, nullptr);
    stream.release();
    ASSERT_TRUE (writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples()));
}

void writeWav (const juce::File& file, const juce::AudioBuffer<float>& audio, double rate, int bits = 32)
{
    juce::WavAudioFormat wav;
    writeAudio (wav, file, audio, rate, bits);
}

struct Audio
{
    juce::AudioBuffer<float> samples;
    double rate = 0.0;
    unsigned int bits = 0;
    bool isFloat = false;
};

Audio readWav (const juce::File& file)
{
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader (wav.createReaderFor (file.createInputStream().release(), true));
    Audio audio;

    if (reader == nullptr)
        return audio;

    audio.samples.setSize ((int) reader->numChannels, (int) reader->lengthInSamples);
    reader->read (&audio.samples, 0, audio.samples.getNumSamples(), 0, true, true);
    audio.rate = reader->sampleRate;
    audio.bits = reader->bitsPerSample;
    audio.isFloat = reader->usesFloatingPointData;
    return audio;
}

// A change of settings made on the processor before the block that starts at `sample`.
struct ProcessorChange
{
    juce::int64 sample;
    std::function<void (MorselloAudioProcessor&)> apply;
};

// What the processor makes of `input` followed by the tail, in blocks of `blockSize` that are
// cut where a change falls.
juce::AudioBuffer<float> processorRender (MorselloAudioProcessor& processor, const juce::AudioBuffer<float>& input, double rate,
                                          int blockSize, const std::vector<ProcessorChange>& changes = {})
{
    const auto set = input.getNumChannels() == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (set);
    layout.outputBuses.add (set);
    EXPECT_TRUE (processor.setBusesLayout (layout));
    processor.prepareToPlay (rate, blockSize);

    const auto total = input.getNumSamples() + (int) std::lround (tailSeconds * rate);
    juce::AudioBuffer<float> audio (input.getNumChannels(), total);
    audio.clear();

    for (int channel = 0; channel < input.getNumChannels(); ++channel)
        audio.copyFrom (channel, 0, input, channel, 0, input.getNumSamples());

    juce::MidiBuffer midi;
    size_t next = 0;

    for (int start = 0; start < total;)
    {
        while (next < changes.size() && changes[next].sample <= start)
            changes[next++].apply (processor);

        auto end = std::min (start + blockSize, total);

        if (next < changes.size())
            end = std::min (end, (int) changes[next].sample);

        juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), audio.getNumChannels(), start, end - start);
        processor.processBlock (block, midi);
        start = end;
    }

    return audio;
}

// The first sample (over all channels) at which two buffers differ, or -1 when they are equal.
int firstDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    if (a.getNumChannels() != b.getNumChannels() || a.getNumSamples() != b.getNumSamples())
        return 0;

    for (int i = 0; i < a.getNumSamples(); ++i)
        for (int channel = 0; channel < a.getNumChannels(); ++channel)
            if (a.getSample (channel, i) != b.getSample (channel, i))
                return i;

    return -1;
}

class RenderToolTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("morsello-render", {}, false);
        ASSERT_TRUE (folder.createDirectory().wasOk());
    }

    void TearDown() override { folder.deleteRecursively(); }

    juce::File file (const juce::String& name) const { return folder.getChildFile (name); }

    juce::StringArray fileNames() const
    {
        juce::StringArray names;

        for (const auto& entry : folder.findChildFiles (juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles, false))
            names.add (entry.getFileName());

        for (const auto& entry : folder.findChildFiles (juce::File::findFiles, false, ".*"))
            names.addIfNotAlreadyThere (entry.getFileName());

        names.sort (false);
        return names;
    }

    juce::File folder;
};

TEST_F (RenderToolTest, RendersSampleForSampleAsTheProcessorDoes)
{
    // A recipe file written by the editor's save code, from values set by hand.
    const auto setByHand = [] (MorselloAudioProcessor& processor)
    {
        processor.setParameterValue ("breadType", 3.0f);
        processor.setParameterValue ("breadMode", 2.0f);
        processor.setParameterValue ("fillingType", 1.0f);

        for (int index = firstKnobIndex; index <= lastKnobIndex; ++index)
            processor.setParameterValue (kParameterIds[(size_t) index], 0.91f - 0.0537f * (float) index);

        processor.setParameterValue ("output", -4.7f);
    };

    {
        MorselloAudioProcessor saver;
        setByHand (saver);
        ASSERT_TRUE (RecipeFile::save (saver, file ("hand made.morsellopreset")).succeeded());
    }

    struct Case
    {
        const char* what;
        juce::StringArray options;
        std::function<void (MorselloAudioProcessor&)> settings;
        int channels;
        double rate;
        int blockSize;
    };

    const std::vector<Case> cases {
        { "a recipe by name", { "--recipe", "jam tomorrow" }, [] (auto& p)
          { p.applyFactoryRecipe (3); },
          2,
          44100.0,
          512 },
        { "a recipe file saved by the editor's code", { "--recipe-file", file ("hand made.morsellopreset").getFullPathName() }, setByHand, 2, 48000.0, 512 },
        { "--set values over a recipe, mono, 300-sample blocks",
          { "--recipe", "7", "--set", "fill2=0.7", "--set", "output=-3dB", "--set", "breadType=ring mod", "--set", "breadMode=2", "--block-size", "300" },
          [] (auto& p)
          {
              p.applyFactoryRecipe (7);
              p.setParameterValue ("fill2", 0.7f);
              p.setParameterValue ("output", -3.0f);
              p.setParameterValue ("breadType", 9.0f);
              p.setParameterValue ("breadMode", 2.0f);
          },
          1,
          22050.0,
          300 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto input = testSignal (c.channels, c.rate, 1.0);
        writeWav (file ("in.wav"), input, c.rate);

        auto arguments = c.options;
        arguments.addArray ({ "--float", file ("in.wav").getFullPathName(), "-o", file ("out.wav").getFullPathName() });
        const auto run = runTool (arguments);
        ASSERT_EQ (run.exitCode, 0) << run.output;

        const auto rendered = readWav (file ("out.wav"));
        EXPECT_TRUE (rendered.isFloat);
        EXPECT_EQ (rendered.rate, c.rate);

        auto processor = std::make_unique<MorselloAudioProcessor>();
        c.settings (*processor);
        const auto expected = processorRender (*processor, input, c.rate, c.blockSize);

        ASSERT_EQ (rendered.samples.getNumChannels(), c.channels);
        ASSERT_EQ (rendered.samples.getNumSamples(), expected.getNumSamples()); // the input and 4 s of tail
        EXPECT_EQ (firstDifference (rendered.samples, expected), -1);
        EXPECT_GT (rendered.samples.getMagnitude (input.getNumSamples(), expected.getNumSamples() - input.getNumSamples()), 0.0f)
            << "the tail holds the effect's ring";
    }
}

TEST_F (RenderToolTest, ChangeTakesEffectAtItsSample)
{
    constexpr double rate = 48000.0;
    constexpr juce::int64 changeAt = 14400; // 0.3 s, inside the 38th block of 384
    const auto input = testSignal (2, rate, 1.0);
    writeWav (file ("in.wav"), input, rate);

    const auto render = [&] (juce::StringArray extra, const char* name)
    {
        extra.addArray ({ "--float", "--block-size", "384", "--recipe", "soft centre", file ("in.wav").getFullPathName(), "-o", file (name).getFullPathName() });
        const auto run = runTool (extra);
        EXPECT_EQ (run.exitCode, 0) << run.output;
        return readWav (file (name)).samples;
    };

    const auto steady = render ({}, "steady.wav");
    const auto changed = render ({ "--change", "0.3:breadType=drive", "--change", "0.3:toast=0.9" }, "changed.wav");

    // Everything before the change is the render without it; the transition starts at once.
    const auto first = firstDifference (steady, changed);
    EXPECT_GE (first, changeAt);
    EXPECT_LT (first, changeAt + 8);

    auto processor = std::make_unique<MorselloAudioProcessor>();
    processor->applyFactoryRecipe (0);
    const auto expected = processorRender (*processor, input, rate, 384, { { changeAt, [] (MorselloAudioProcessor& p)
                                                                             {
                                                                                 p.setParameterValue ("breadType", 1.0f);
                                                                                 p.setParameterValue ("toast", 0.9f);
                                                                             } } });
    EXPECT_EQ (firstDifference (changed, expected), -1);
}

TEST_F (RenderToolTest, WritesTwentyFourBitPcmUnlessAskedForFloatAndReadsEveryFormatAlike)
{
    constexpr double rate = 44100.0;
    const auto input = testSignal (2, rate, 0.5);

    // The same 24-bit samples as WAV, AIFF and FLAC.
    juce::AiffAudioFormat aiff;
    const auto flac = makeFlacFormat();
    writeWav (file ("in.wav"), input, rate, 24);
    writeAudio (aiff, file ("in.aiff"), input, rate, 24);
    writeAudio (*flac, file ("in.flac"), input, rate, 24);

    for (const auto* name : { "in.wav", "in.aiff", "in.flac" })
    {
        SCOPED_TRACE (name);
        const auto run = runTool ({ "--float", "--no-tail", file (name).getFullPathName(), "-o", file (juce::String (name) + ".float.wav").getFullPathName() });
        ASSERT_EQ (run.exitCode, 0) << run.output;
    }

    const auto fromWav = readWav (file ("in.wav.float.wav"));
    EXPECT_EQ (fromWav.samples.getNumSamples(), input.getNumSamples()) << "--no-tail ends with the input";
    EXPECT_EQ (firstDifference (fromWav.samples, readWav (file ("in.aiff.float.wav")).samples), -1);
    EXPECT_EQ (firstDifference (fromWav.samples, readWav (file ("in.flac.float.wav")).samples), -1);

    const auto run = runTool ({ "--no-tail", file ("in.wav").getFullPathName(), "-o", file ("pcm.wav").getFullPathName() });
    ASSERT_EQ (run.exitCode, 0) << run.output;
    const auto pcm = readWav (file ("pcm.wav"));
    EXPECT_EQ (pcm.bits, 24u);
    EXPECT_FALSE (pcm.isFloat);
    ASSERT_EQ (pcm.samples.getNumSamples(), fromWav.samples.getNumSamples());

    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < pcm.samples.getNumSamples(); ++i)
            ASSERT_NEAR (pcm.samples.getSample (channel, i), fromWav.samples.getSample (channel, i), 1.0 / 8388608.0);
}

TEST_F (RenderToolTest, EveryBadInputFailsWithOneLineAndNoOutput)
{
    writeWav (file ("in.wav"), testSignal (2, 48000.0, 0.2), 48000.0);
    writeWav (file ("three.wav"), testSignal (3, 48000.0, 0.2), 48000.0);
    file ("text.wav").replaceWithText ("not audio at all\n");
    file ("text.morsellopreset").replaceWithText ("<NOT_MORSELLO/>\n");
    file ("a folder.wav").createDirectory();
    file ("blocker").replaceWithText ("a regular file where a folder is needed\n");

    const auto in = file ("in.wav").getFullPathName();
    const auto out = file ("out.wav").getFullPathName();

    struct Case
    {
        juce::StringArray arguments;
        int exitCode;
        const char* message;
    };

    const std::vector<Case> cases {
        { { file ("missing.wav").getFullPathName(), "-o", out }, 3, "no such file" },
        { { file ("a folder.wav").getFullPathName(), "-o", out }, 3, "not a file" },
        { { file ("text.wav").getFullPathName(), "-o", out }, 3, "not a WAV, AIFF or FLAC file" },
        { { file ("three.wav").getFullPathName(), "-o", out }, 3, "3 channels" },
        { { "--recipe-file", file ("missing.morsellopreset").getFullPathName(), in, "-o", out }, 3, "no such recipe file" },
        { { "--recipe-file", file ("text.morsellopreset").getFullPathName(), in, "-o", out }, 3, "not a Morsello recipe file" },
        { { "--recipe", "burnt toast", in, "-o", out }, 2, "unknown recipe 'burnt toast'" },
        { { "--recipe", "16", in, "-o", out }, 2, "no factory recipe 16" },
        { { "--set", "crust=1", in, "-o", out }, 2, "unknown parameter 'crust'" },
        { { "--set", "fill2=1.5", in, "-o", out }, 2, "value 1.5 for fill2 is outside 0..1" },
        { { "--set", "output=-19dB", in, "-o", out }, 2, "outside -18..6" },
        { { "--set", "breadType=toaster", in, "-o", out }, 2, "unknown choice 'toaster' for breadType" },
        { { "--set", "fillingType=9", in, "-o", out }, 2, "outside 0..8" },
        { { "--set", "toast=half", in, "-o", out }, 2, "is not a number" },
        { { "--set", "toast", in, "-o", out }, 2, "malformed --set" },
        { { "--change", "2.5breadType=drive", in, "-o", out }, 2, "malformed --change" },
        { { "--change", "soon:breadType=drive", in, "-o", out }, 2, "malformed --change" },
        { { "--change", "-1:breadType=drive", in, "-o", out }, 2, "malformed --change" },
        { { "--change", "0.1:breadType", in, "-o", out }, 2, "malformed --change" },
        { { "--change", "0.1:crust=1", in, "-o", out }, 2, "unknown parameter 'crust'" },
        { { "--change", "60:toast=1", in, "-o", out }, 2, "falls after the end of the render" },
        { { "--block-size", "0", in, "-o", out }, 2, "--block-size: must be" },
        { { "--quality", "best", in, "-o", out }, 2, "--quality: must be standard or high, not 'best'" },
        { { in, "-o", out, "--recipe" }, 2, "--recipe: 1 required" },
        { { "--bogus", in, "-o", out }, 2, "unknown option --bogus" },
        { { in }, 2, "no output given" },
        { {}, 2, "nothing to do" },
        { { in, "-o", in }, 2, "is an input" },
        { { in, "-o", file ("blocker/out.wav").getFullPathName() }, 4, "cannot create the folder" },
    };

    const auto filesBefore = fileNames();

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.arguments.joinIntoString (" "));
        const auto run = runTool (c.arguments);
        EXPECT_EQ (run.exitCode, c.exitCode);
        EXPECT_TRUE (run.output.startsWith ("morsello-render: error: ")) << run.output;
        EXPECT_TRUE (run.output.contains (c.message)) << run.output;
        EXPECT_EQ (run.output.trimEnd().indexOfChar ('\n'), -1) << "one line: " << run.output;
        EXPECT_EQ (fileNames(), filesBefore) << "no output and no temporary file";
    }

    EXPECT_EQ (readWav (file ("in.wav")).samples.getNumSamples(), 9600) << "the input is untouched";
}

// In "high" the renderer compensates the latency: its output is what the processor (in "high",
// fed the same blocks) puts out that many samples later, bit for bit, and as long as in
// "standard".
TEST_F (RenderToolTest, HighQualityRenderLinesUpWithItsInput)
{
    constexpr double rate = 48000.0;
    const auto input = testSignal (2, rate, 0.5);
    writeWav (file ("in.wav"), input, rate);

    const auto run = runTool ({ "--recipe", "5", "--quality", "high", "--float", file ("in.wav").getFullPathName(), "-o", file ("out.wav").getFullPathName() });
    ASSERT_EQ (run.exitCode, 0) << run.output;
    const auto rendered = readWav (file ("out.wav")).samples;

    auto processor = std::make_unique<MorselloAudioProcessor>();
    processor->applyFactoryRecipe (5);
    processor->setQuality (Quality::high);
    const auto latency = processor->getLatencySamples();
    ASSERT_GT (latency, 0);
    const auto late = processorRender (*processor, input, rate, 512);

    ASSERT_EQ (rendered.getNumSamples(), late.getNumSamples());
    const auto compared = late.getNumSamples() - latency;
    juce::AudioBuffer<float> shifted (2, compared), head (2, compared);

    for (int channel = 0; channel < 2; ++channel)
    {
        shifted.copyFrom (channel, 0, late, channel, latency, compared);
        head.copyFrom (channel, 0, rendered, channel, 0, compared);
    }

    EXPECT_EQ (firstDifference (head, shifted), -1);
    EXPECT_GT (head.getMagnitude (0, 1000), 0.0f);
}

TEST_F (RenderToolTest, AnExistingOutputIsReplacedOnlyByACompleteRender)
{
    writeWav (file ("in.wav"), testSignal (2, 48000.0, 0.2), 48000.0);
    writeWav (file ("three.wav"), testSignal (3, 48000.0, 0.2), 48000.0);
    file ("out.wav").replaceWithText ("the previous render\n");
    const auto previous = file ("out.wav").loadFileAsString();

    EXPECT_EQ (runTool ({ file ("three.wav").getFullPathName(), "-o", file ("out.wav").getFullPathName() }).exitCode, 3);
    EXPECT_EQ (runTool ({ "--set", "toast=2", file ("in.wav").getFullPathName(), "-o", file ("out.wav").getFullPathName() }).exitCode, 2);
    EXPECT_EQ (file ("out.wav").loadFileAsString(), previous);

    const auto run = runTool ({ file ("in.wav").getFullPathName(), "-o", file ("out.wav").getFullPathName() });
    ASSERT_EQ (run.exitCode, 0) << run.output;
    EXPECT_EQ (readWav (file ("out.wav")).samples.getNumSamples(), 9600 + 4 * 48000);
    EXPECT_EQ (fileNames(), juce::StringArray ({ "in.wav", "out.wav", "three.wav" })) << "no temporary file is left";
}

TEST_F (RenderToolTest, SeveralInputsRenderIntoAFolderAsEachAlone)
{
    writeWav (file ("a.wav"), testSignal (2, 44100.0, 1.5), 44100.0);
    writeWav (file ("b.wav"), testSignal (1, 96000.0, 0.7), 96000.0);
    file ("sub").createDirectory();
    writeWav (file ("sub/a.wav"), testSignal (1, 48000.0, 0.1), 48000.0);

    const auto a = file ("a.wav").getFullPathName(), b = file ("b.wav").getFullPathName();
    const auto options = juce::StringArray ({ "--float", "--recipe", "crumbs in orbit", "--change", "0.5:fill1=0.9" });

    auto batch = options;
    batch.addArray ({ a, b, "-o", file ("batch").getFullPathName() });
    const auto run = runTool (batch);
    ASSERT_EQ (run.exitCode, 0) << run.output;

    // Outside a terminal: a line per output and no progress bar.
    EXPECT_EQ (juce::StringArray::fromLines (run.output.trimEnd()).size(), 2) << run.output;
    EXPECT_FALSE (run.output.containsChar ('\r'));

    for (const auto* name : { "a", "b" })
    {
        auto alone = options;
        alone.addArray ({ "--quiet", file (juce::String (name) + ".wav").getFullPathName(), "-o", file (juce::String (name) + "-alone.wav").getFullPathName() });
        const auto single = runTool (alone);
        ASSERT_EQ (single.exitCode, 0);
        EXPECT_EQ (single.output, "") << "--quiet prints nothing";

        juce::MemoryBlock together, separate;
        ASSERT_TRUE (file ("batch").getChildFile (juce::String (name) + ".wav").loadFileAsData (together));
        ASSERT_TRUE (file (juce::String (name) + "-alone.wav").loadFileAsData (separate));
        EXPECT_TRUE (together == separate) << name;
    }

    // One input into a folder that does not exist yet.
    ASSERT_EQ (runTool ({ "--quiet", b, "-o", file ("one").getFullPathName() + "/" }).exitCode, 0);
    EXPECT_TRUE (file ("one/b.wav").existsAsFile());

    const auto clash = runTool ({ a, file ("sub/a.wav").getFullPathName(), "-o", file ("clash").getFullPathName() });
    EXPECT_EQ (clash.exitCode, 2);
    EXPECT_TRUE (clash.output.contains ("two inputs would be rendered to")) << clash.output;
    EXPECT_FALSE (file ("clash").exists());
}

TEST_F (RenderToolTest, ListAndHelpNameEverything)
{
    const auto list = runTool ({ "--list" });
    EXPECT_EQ (list.exitCode, 0);

    for (int index = 0; index < kNumFactoryRecipes; ++index)
        EXPECT_TRUE (list.output.contains (kFactoryRecipes[(size_t) index].name));

    for (const auto* id : kParameterIds)
        EXPECT_TRUE (list.output.contains (juce::String ("\n  ") + id + " ")) << id;

    EXPECT_TRUE (list.output.contains ("-18 to 6 dB in steps of 0.1; default 0"));
    EXPECT_TRUE (list.output.contains ("9 ring mod"));

    const auto help = runTool ({ "--help" });
    EXPECT_EQ (help.exitCode, 0);

    for (const auto* option : { "--recipe ", "--recipe-file", "--set", "--change", "--output", "--block-size", "--no-tail",
                                "--float", "--quiet", "--list", "--demo ", "--demo-seconds", "--help", "--version", "Exit codes" })
        EXPECT_TRUE (help.output.contains (option)) << option;

    for (const auto* code : { "0  ", "1  ", "2  ", "3  ", "4  " })
        EXPECT_TRUE (help.output.contains (juce::String ("\n  ") + code)) << code;

    const auto version = runTool ({ "--version" });
    EXPECT_EQ (version.exitCode, 0);
    EXPECT_EQ (version.output, "morsello-render " MORSELLO_VERSION "\n");
}

TEST_F (RenderToolTest, DemoWritesEveryRecipeAndTheOverview)
{
    const auto run = runTool ({ "--quiet", "--demo", file ("demo").getFullPathName(), "--demo-seconds", "1" });
    ASSERT_EQ (run.exitCode, 0) << run.output;

    const auto renders = file ("demo").findChildFiles (juce::File::findFiles, false, "[0-9][0-9]-*.wav");
    EXPECT_EQ (renders.size(), kNumFactoryRecipes);

    for (const auto& render : renders)
    {
        const auto audio = readWav (render);
        EXPECT_EQ (audio.samples.getNumChannels(), 2) << render.getFileName();
        EXPECT_EQ (audio.samples.getNumSamples(), (int) ((1.0 + tailSeconds) * Demo::sampleRate)) << render.getFileName();
        EXPECT_GT (audio.samples.getMagnitude (0, audio.samples.getNumSamples()), 0.05f) << render.getFileName();
    }

    EXPECT_TRUE (file ("demo/phrase.wav").existsAsFile());
    const auto picture = juce::ImageFileFormat::loadFrom (file ("demo/overview.png"));
    ASSERT_TRUE (picture.isValid());
    EXPECT_EQ (picture.getWidth(), Demo::overviewWidth);
    EXPECT_EQ (picture.getHeight(), Demo::overviewHeight (kNumFactoryRecipes));
}
} // namespace
