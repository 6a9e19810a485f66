// morsello-render: The Morsello's sound on audio files, without a host. The settings go through
// the plug-in's own parameters (a processor that is never run stands in for the host's view of
// them, so every value is snapped and stored as the plug-in stores it); the audio goes through
// the engine alone, on worker threads without the framework's message loop. See --help.

#include "AudioFiles.h"
#include "Demo.h"
#include "EngineRender.h"
#include "processor/PluginProcessor.h"
#include "processor/programs/FactoryRecipes.h"
#include "recipes/RecipeFile.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>
#include <thread>
#include <type_traits>
#include <unistd.h>

namespace morsello
{
namespace
{
// Exit codes.
enum Exit
{
    rendered = 0,
    failed = 1,         // something unexpected went wrong
    badCommandLine = 2, // an unknown option, recipe or parameter; a bad value; a malformed change
    badInput = 3,       // an input or recipe file that cannot be used
    cannotWrite = 4     // an output that cannot be written
};

// The help text around the option list that CLI11 makes from the options themselves.
const char* const usageText = R"(usage:
  morsello-render [options] INPUT -o OUTPUT.wav
  morsello-render [options] INPUT... -o FOLDER
  morsello-render --demo FOLDER [--demo-seconds S] [--block-size N] [--no-tail] [--float] [--quiet]
  morsello-render --list | --help | --version

Renders audio files through The Morsello exactly as the plug-in sounds in a host that runs it
with the same block size. Inputs are WAV, AIFF or FLAC, mono or stereo, at any sample rate;
each output is a WAV file with the input's channels and rate.
)";

const char* const footerText = R"(Several inputs are rendered side by side, one per processor core. A progress bar is shown on
a terminal when a render takes more than a moment. An output is written under a temporary name
beside it and moved into place only when complete: a failed render never leaves a partial file.

Exit codes:
  0  every output was written
  1  an unexpected failure
  2  a bad command line: unknown option, recipe or parameter; a value outside its range; a
     malformed --change or number; an output path equal to an input; two inputs with one output name
  3  an input cannot be used: missing, unreadable, not WAV/AIFF/FLAC, more than two channels;
     or a recipe file that is missing or not a recipe
  4  an output cannot be written)";

// The usage lines and the description above the options, instead of CLI11's one usage line.
class HelpFormatter : public CLI::Formatter
{
public:
    std::string make_description (const CLI::App*) const override { return usageText; }
    std::string make_usage (const CLI::App*, std::string) const override { return {}; }
};

// A one-line error; thrown from anywhere below main, caught there.
struct Failure
{
    Exit code;
    juce::String message;
};

[[noreturn]] void fail (Exit code, const juce::String& message)
{
    throw Failure { code, message };
}

// A whole string as a finite number, or nothing.
std::optional<double> parseNumber (const juce::String& text)
{
    const auto trimmed = text.trim();

    if (trimmed.isEmpty())
        return {};

    const auto utf8 = trimmed.toStdString();
    char* end = nullptr;
    const auto value = std::strtod (utf8.c_str(), &end);

    if (end != utf8.c_str() + utf8.size() || ! std::isfinite (value))
        return {};

    return value;
}

// The processor whose parameters hold the settings; never prepared, never run.
class SettingsHolder
{
public:
    EngineSettings settings() const
    {
        EngineSettings result;

        for (size_t i = 0; i < kParameterIds.size(); ++i)
            result.values[i] = processor.getParameterTree().getRawParameterValue (kParameterIds[i])->load();

        return result;
    }

    void applyRecipe (const juce::String& text)
    {
        processor.applyFactoryRecipe (recipeIndex (text));
    }

    void loadRecipeFile (const juce::String& path)
    {
        const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (path);

        if (! file.existsAsFile())
            fail (badInput, "no such recipe file: " + file.getFullPathName());

        if (! RecipeFile::load (processor, file).succeeded())
            fail (badInput, "not a Morsello recipe file: " + file.getFullPathName());
    }

    // NAME=VALUE, as --set and the part of --change after the time give it.
    void set (const juce::String& assignment, const juce::String& option)
    {
        if (! assignment.containsChar ('='))
            fail (badCommandLine, "malformed " + option + " '" + assignment + "': expected NAME=VALUE");

        const auto name = assignment.upToFirstOccurrenceOf ("=", false, false).trim();
        const auto text = assignment.fromFirstOccurrenceOf ("=", false, false).trim();
        auto* parameter = parameterNamed (name);

        if (parameter == nullptr)
            fail (badCommandLine, "unknown parameter '" + name + "' (see --list)");

        processor.setParameterValue (parameter->getParameterID(), plainValue (*parameter, text));
    }

    juce::AudioProcessorValueTreeState& parameters() { return processor.getParameterTree(); }

    double tailSeconds() const { return processor.getTailLengthSeconds(); }

    static int recipeIndex (const juce::String& text)
    {
        const auto trimmed = text.trim();

        if (trimmed.isNotEmpty() && trimmed.containsOnly ("0123456789"))
        {
            if (trimmed.length() <= 2 && trimmed.getIntValue() < kNumFactoryRecipes)
                return trimmed.getIntValue();

            fail (badCommandLine, "no factory recipe " + trimmed + " (the recipes are 0 to 15; see --list)");
        }

        for (int index = 0; index < kNumFactoryRecipes; ++index)
            if (trimmed.equalsIgnoreCase (kFactoryRecipes[(size_t) index].name))
                return index;

        fail (badCommandLine, "unknown recipe '" + trimmed + "' (see --list)");
    }

private:
    juce::RangedAudioParameter* parameterNamed (const juce::String& name)
    {
        for (const auto* id : kParameterIds)
            if (name.equalsIgnoreCase (id))
                return processor.getParameterTree().getParameter (id);

        return nullptr;
    }

    static float plainValue (juce::RangedAudioParameter& parameter, const juce::String& text)
    {
        const auto id = parameter.getParameterID();

        if (auto* choice = dynamic_cast<juce::AudioParameterChoice*> (&parameter))
        {
            const auto byName = choice->choices.indexOf (text, true);

            if (byName >= 0)
                return (float) byName;

            if (text.isNotEmpty() && text.containsOnly ("0123456789"))
            {
                if (text.length() <= 4 && text.getIntValue() < choice->choices.size())
                    return (float) text.getIntValue();

                fail (badCommandLine, "value " + text + " for " + id + " is outside 0.." + juce::String (choice->choices.size() - 1));
            }

            fail (badCommandLine, "unknown choice '" + text + "' for " + id + " (" + choice->choices.joinIntoString (", ") + ")");
        }

        // A value may carry the unit the host shows with it.
        auto number = text;
        const auto unit = parameter.getLabel();

        if (unit.isNotEmpty() && number.endsWithIgnoreCase (unit))
            number = number.dropLastCharacters (unit.length());

        const auto value = parseNumber (number);

        if (! value)
            fail (badCommandLine, "value '" + text + "' for " + id + " is not a number");

        const auto& range = parameter.getNormalisableRange();

        if (*value < (double) range.start || *value > (double) range.end)
            fail (badCommandLine, "value " + text + " for " + id + " is outside " + juce::String (range.start) + ".." + juce::String (range.end));

        return (float) *value;
    }

    MorselloAudioProcessor processor;
};

struct Options
{
    juce::StringArray inputs;
    juce::String output, demoFolder;
    RenderPlan plan;
    SampleFormat format = SampleFormat::pcm24;
    double demoSeconds = Demo::defaultSeconds;
    bool quiet = false, list = false;
};

// A check that a number option's text is a number within [lowest, highest] (a whole one when
// asked), which also stores the number.
template <typename Number>
CLI::Validator numberFrom (Number& number, double lowest, double highest, const std::string& rule)
{
    return CLI::Validator (
        [&number, lowest, highest, rule] (std::string& text) -> std::string
        {
            const auto value = parseNumber (juce::String::fromUTF8 (text.c_str()));

            if (! value || *value < lowest || *value > highest || (std::is_integral_v<Number> && *value != std::floor (*value)))
                return "must be " + rule + ", not '" + text + "'";

            number = (Number) *value;
            return {};
        },
        "");
}

// Reads the command line (CLI::ParseError for what CLI11 itself refuses); the settings options
// are applied in their fixed order, whatever their order on the line.
Options parseCommandLine (int argc, char** argv, SettingsHolder& holder)
{
    Options options;
    std::string output, recipe, recipeFile, demoFolder, blockSizeText, demoSecondsText, qualityText = "standard";
    std::vector<std::string> inputs, sets, changes;
    auto noTail = false, asFloat = false;

    CLI::App app { "", "morsello-render" };
    app.formatter (std::make_shared<HelpFormatter>());
    app.get_formatter()->column_width (28);
    app.footer (footerText);
    // Unknown options are reported below in the tool's own words. An option given twice takes
    // its last value, as it always did; --set and --change keep every one.
    app.allow_extras();
    app.option_defaults()->multi_option_policy (CLI::MultiOptionPolicy::TakeLast);

    const auto settingsGroup = "Settings, applied in this order (a fresh plug-in's settings, recipe 0, are the start)";
    app.add_option ("--recipe", recipe, "a factory recipe, by name (\"jam tomorrow\") or number 0..15")
        ->type_name ("NAME|INDEX")
        ->group (settingsGroup);
    app.add_option ("--recipe-file", recipeFile, "a recipe file saved by the plug-in (.morsellopreset)")
        ->type_name ("FILE")
        ->group (settingsGroup);
    app.add_option ("--set", sets, "one parameter (repeatable): a plain value as the host shows it\n"
                                   "(fill2=0.7, output=-3 or output=-3dB), a choice by name or index\n"
                                   "(breadType=drive, breadType=1)")
        ->type_name ("NAME=VALUE")
        ->allow_extra_args (false)
        ->multi_option_policy (CLI::MultiOptionPolicy::TakeAll)
        ->group (settingsGroup);
    app.add_option ("--change", changes, "from T seconds into the render on, NAME takes VALUE (repeatable);\n"
                                         "the change applies from the sample nearest T, which starts a block\n"
                                         "of its own, so a jump and its crossfade can be heard")
        ->type_name ("T:NAME=VALUE")
        ->allow_extra_args (false)
        ->multi_option_policy (CLI::MultiOptionPolicy::TakeAll)
        ->group (settingsGroup);

    const auto renderingGroup = "Rendering";
    app.add_option ("-o,--output", output, "the output file; with several inputs, an existing folder or a\n"
                                           "path ending in \"/\", a folder (made if missing) in which each\n"
                                           "input's render is named after it (NAME.wav)")
        ->type_name ("PATH")
        ->group (renderingGroup);
    app.add_option ("--block-size", blockSizeText, "samples per block, 1..65536 (default 512)")
        ->type_name ("N")
        ->check (numberFrom (options.plan.blockSize, 1, 65536, "a whole number from 1 to 65536"))
        ->group (renderingGroup);
    app.add_flag ("--no-tail", noTail, "end with the input; by default 4 s of silence are rendered after\n"
                                       "it, for echoes and reverbs to ring out")
        ->group (renderingGroup);
    app.add_flag ("--float", asFloat, "write 32-bit float samples (default: 24-bit PCM)")->group (renderingGroup);
    app.add_option ("--quality", qualityText, "standard (default: the sound every recipe was voiced with) or high\n"
                                              "(the drive, fold, ring mod and toast oversampled against aliasing;\n"
                                              "its latency is compensated, so the output lines up with the input)")
        ->type_name ("standard|high")
        ->check (CLI::Validator ([] (std::string& text) -> std::string
                                 { return text == "standard" || text == "high" ? "" : "must be standard or high, not '" + text + "'"; },
                                 ""))
        ->group (renderingGroup);
    app.add_flag ("--quiet", options.quiet, "print nothing but errors")->group (renderingGroup);

    const auto otherGroup = "Other";
    app.add_flag ("--list", options.list, "the factory recipes and every parameter with its range, choices and default")
        ->group (otherGroup);
    app.add_option ("--demo", demoFolder, "synthesise a test phrase (plucked notes, a chord, a drum-like hit,\n"
                                          "a voice-like vowel sweep), render it through all sixteen recipes\n"
                                          "into FOLDER (phrase.wav, NN-recipe-name.wav) and draw overview.png:\n"
                                          "a row per recipe with its output's waveform above the input's and\n"
                                          "its spectrogram (--recipe, --recipe-file, --set and --change do not\n"
                                          "apply to the demo)")
        ->type_name ("FOLDER")
        ->group (otherGroup);
    app.add_option ("--demo-seconds", demoSecondsText, "the phrase's length for --demo, 0.5..60 (default 6)")
        ->type_name ("S")
        ->check (numberFrom (options.demoSeconds, 0.5, 60.0, "from 0.5 to 60"))
        ->group (otherGroup);
    app.set_help_flag ("-h,--help", "this text")->group (otherGroup);
    app.set_version_flag ("--version", std::string ("morsello-render ") + MORSELLO_VERSION, "the version of morsello-render")
        ->group (otherGroup);

    app.add_option ("INPUT", inputs, "WAV, AIFF or FLAC files to render")
        ->multi_option_policy (CLI::MultiOptionPolicy::TakeAll)
        ->group ("");

    try
    {
        app.parse (argc, argv);
    }
    catch (const CLI::CallForHelp&)
    {
        std::cout << app.help();
        throw;
    }
    catch (const CLI::CallForVersion& version)
    {
        std::cout << version.what() << "\n";
        throw;
    }

    for (const auto& extra : app.remaining())
        if (extra.size() > 1 && extra[0] == '-')
            fail (badCommandLine, "unknown option " + juce::String::fromUTF8 (extra.c_str()) + " (see --help)");
        else
            inputs.push_back (extra);

    for (const auto& input : inputs)
        options.inputs.add (juce::String::fromUTF8 (input.c_str()));

    options.output = juce::String::fromUTF8 (output.c_str());
    options.demoFolder = juce::String::fromUTF8 (demoFolder.c_str());
    options.format = asFloat ? SampleFormat::float32 : SampleFormat::pcm24;

    if (options.list)
        return options;

    if (! recipe.empty())
        holder.applyRecipe (juce::String::fromUTF8 (recipe.c_str()));

    if (! recipeFile.empty())
        holder.loadRecipeFile (juce::String::fromUTF8 (recipeFile.c_str()));

    for (const auto& assignment : sets)
        holder.set (juce::String::fromUTF8 (assignment.c_str()), "--set");

    options.plan.settings = holder.settings();
    options.plan.tailSeconds = noTail ? 0.0 : holder.tailSeconds();
    options.plan.quality = qualityText == "high" ? Quality::high : Quality::standard;

    // Changes in time order (those at one time in their order on the line), each on top of all before it.
    std::vector<std::pair<double, juce::String>> timed;

    for (const auto& text : changes)
    {
        const auto change = juce::String::fromUTF8 (text.c_str());
        const auto time = parseNumber (change.upToFirstOccurrenceOf (":", false, false));

        if (! change.containsChar (':') || ! time || *time < 0.0)
            fail (badCommandLine, "malformed --change '" + change + "': expected SECONDS:NAME=VALUE, e.g. 2.5:breadType=drive");

        timed.emplace_back (*time, change.fromFirstOccurrenceOf (":", false, false));
    }

    std::stable_sort (timed.begin(), timed.end(), [] (const auto& a, const auto& b)
                      { return a.first < b.first; });

    for (const auto& [time, assignment] : timed)
    {
        holder.set (assignment, "--change");
        options.plan.changes.push_back ({ time, holder.settings() });
    }

    return options;
}

void printList (SettingsHolder& holder)
{
    std::cout << "Factory recipes (--recipe NAME or INDEX):\n";

    for (int index = 0; index < kNumFactoryRecipes; ++index)
        std::cout << "  " << juce::String (index).paddedLeft (' ', 2) << "  " << kFactoryRecipes[(size_t) index].name << "\n";

    std::cout << "\nParameters (--set NAME=VALUE):\n";

    for (const auto* id : kParameterIds)
    {
        auto* parameter = holder.parameters().getParameter (id);
        const auto& range = parameter->getNormalisableRange();
        const auto defaultValue = range.convertFrom0to1 (parameter->getDefaultValue());
        juce::String line = "  " + juce::String (id).paddedRight (' ', 12);

        if (auto* choice = dynamic_cast<juce::AudioParameterChoice*> (parameter))
        {
            juce::StringArray numbered;

            for (int index = 0; index < choice->choices.size(); ++index)
                numbered.add (juce::String (index) + " " + choice->choices[index]);

            line << "choice: " << numbered.joinIntoString (", ") << "; default " << choice->choices[(int) defaultValue];
        }
        else
        {
            line << juce::String (range.start) << " to " << juce::String (range.end) << " " << parameter->getLabel()
                 << (parameter->getLabel().isEmpty() ? "" : " ") << "in steps of " << juce::String (range.interval)
                 << "; default " << juce::String (defaultValue);
        }

        std::cout << line << "\n";
    }
}

// Shows a bar on standard error while work is done, when that is a terminal and the work takes
// more than a moment.
class ProgressBar
{
public:
    ProgressBar (bool enabled, juce::int64 totalSamples)
        : shown (enabled && isatty (STDERR_FILENO) != 0), total (std::max<juce::int64> (1, totalSamples)) {}

    void update (juce::int64 done)
    {
        if (! shown || std::chrono::steady_clock::now() - started < std::chrono::milliseconds (1500))
            return;

        constexpr int width = 40;
        const auto fraction = std::min (1.0, (double) done / (double) total);
        const auto filled = (int) (fraction * width);
        std::cerr << "\r[" << std::string ((size_t) filled, '#') << std::string ((size_t) (width - filled), ' ') << "] "
                  << (int) (fraction * 100.0) << "%" << std::flush;
        drawn = true;
    }

    // Takes the bar off the terminal, before anything else is printed there.
    void finish()
    {
        if (drawn)
            std::cerr << "\r" << std::string (50, ' ') << "\r" << std::flush;

        drawn = false;
    }

    ~ProgressBar() { finish(); }

private:
    const bool shown;
    const juce::int64 total;
    const std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    bool drawn = false;
};

// Runs job(index) for every index on as many threads as there are cores (and jobs), while the
// main thread keeps the progress bar.
void runOnAllCores (int numJobs, const std::function<void (int)>& job, ProgressBar& progress, const std::atomic<juce::int64>& done)
{
    std::atomic<int> next { 0 };
    const auto numThreads = std::max (1, std::min (numJobs, (int) std::thread::hardware_concurrency()));
    std::vector<std::thread> threads;
    std::atomic<int> running { numThreads };

    for (int t = 0; t < numThreads; ++t)
        threads.emplace_back ([&]
                              {
                                  for (int index; (index = next++) < numJobs;)
                                      job (index);

                                  --running; });

    while (running > 0)
    {
        progress.update (done);
        std::this_thread::sleep_for (std::chrono::milliseconds (100));
    }

    for (auto& thread : threads)
        thread.join();

    progress.finish();
}

juce::String describe (const juce::File& file, juce::int64 length, int channels, double rate)
{
    return file.getFullPathName() + ": " + juce::String (channels) + " ch, " + juce::String (rate, 0) + " Hz, "
           + juce::String ((double) length / rate, 2) + " s";
}

int renderFiles (const Options& options)
{
    if (options.inputs.isEmpty())
        fail (badCommandLine, "no input file (see --help)");

    if (options.output.isEmpty())
        fail (badCommandLine, "no output given: -o OUTPUT.wav, or -o FOLDER for several inputs");

    const auto cwd = juce::File::getCurrentWorkingDirectory();
    const auto outputPath = cwd.getChildFile (options.output);
    const auto intoFolder = options.inputs.size() > 1 || outputPath.isDirectory() || options.output.endsWithChar ('/');

    if (intoFolder && outputPath.existsAsFile())
        fail (badCommandLine, "the output " + outputPath.getFullPathName() + " is a file; several inputs need a folder");

    struct Job
    {
        juce::File input, output;
        std::unique_ptr<juce::AudioFormatReader> reader;
        juce::String error, summary;
        Exit code = rendered;
    };

    std::vector<Job> jobs ((size_t) options.inputs.size());

    for (size_t i = 0; i < jobs.size(); ++i)
    {
        auto& job = jobs[i];
        job.input = cwd.getChildFile (options.inputs[(int) i]);
        job.output = intoFolder ? outputPath.getChildFile (job.input.getFileNameWithoutExtension() + ".wav") : outputPath;
    }

    for (const auto& job : jobs)
        for (const auto& other : jobs)
        {
            if (job.output == other.input)
                fail (badCommandLine, "the output " + job.output.getFullPathName() + " is an input; choose another output");

            if (&other != &job && other.output == job.output)
                fail (badCommandLine, "two inputs would be rendered to " + job.output.getFullPathName());
        }

    // Every input is checked before anything is rendered.
    juce::int64 totalSamples = 0;

    for (auto& job : jobs)
    {
        juce::String error;
        job.reader = openInput (job.input, error);

        if (job.reader == nullptr)
            fail (badInput, error);

        const auto length = renderLength (job.reader->lengthInSamples, job.reader->sampleRate, options.plan);

        for (const auto& change : options.plan.changes)
            if (changeSample (change.seconds, job.reader->sampleRate) >= length)
                fail (badCommandLine, "the change at " + juce::String (change.seconds) + " s falls after the end of the render of "
                                          + job.input.getFileName() + " (" + juce::String ((double) length / job.reader->sampleRate, 3) + " s)");

        totalSamples += length;
    }

    std::atomic<juce::int64> done { 0 };
    ProgressBar progress (! options.quiet, totalSamples);

    runOnAllCores (
        (int) jobs.size(),
        [&] (int index)
        {
            auto& job = jobs[(size_t) index];
            auto& reader = *job.reader;
            const auto channels = (int) reader.numChannels;
            const auto length = renderLength (reader.lengthInSamples, reader.sampleRate, options.plan);

            // Reading stops with a failure flag: past its end a reader gives silence, the tail.
            auto readOk = true;
            const auto written = writeWavAtomically (
                job.output, reader.sampleRate, channels, options.format, [&] (juce::AudioFormatWriter& writer)
                { return renderThroughEngine (
                      reader.sampleRate, channels, length, options.plan,
                      [&] (juce::AudioBuffer<float>& block, juce::int64 start)
                      { readOk = reader.read (&block, 0, block.getNumSamples(), start, true, true) && readOk; },
                      [&] (const juce::AudioBuffer<float>& block)
                      { return readOk && writer.writeFromAudioSampleBuffer (block, 0, block.getNumSamples()); },
                      &done); },
                job.error);

            if (! readOk)
            {
                job.code = badInput;
                job.error = "reading " + job.input.getFullPathName() + " failed";
            }
            else if (! written)
            {
                job.code = cannotWrite;
            }
            else
            {
                job.summary = describe (job.output, length, channels, reader.sampleRate);
            }
        },
        progress, done);

    // Printed once the progress bar is gone, in the order of the inputs.
    auto code = rendered;

    for (const auto& job : jobs)
        if (job.code == rendered && ! options.quiet)
            std::cout << job.summary << "\n";

    for (const auto& job : jobs)
        if (job.code != rendered)
        {
            std::cerr << "morsello-render: error: " << job.error << "\n";
            code = code == rendered ? job.code : code;
        }

    return code;
}

int runDemo (const Options& options)
{
    const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (options.demoFolder);
    const auto started = std::chrono::steady_clock::now();
    const auto phrase = Demo::makePhrase (options.demoSeconds);
    juce::String error;

    auto writeBuffer = [&] (const juce::AudioBuffer<float>& audio, const juce::File& file, juce::String& message)
    {
        return writeWavAtomically (
            file, Demo::sampleRate, audio.getNumChannels(), options.format, [&] (juce::AudioFormatWriter& writer)
            { return writer.writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples()); },
            message);
    };

    if (! writeBuffer (phrase, folder.getChildFile ("phrase.wav"), error))
        fail (cannotWrite, error);

    std::vector<juce::AudioBuffer<float>> renders ((size_t) kNumFactoryRecipes);
    std::vector<juce::String> errors ((size_t) kNumFactoryRecipes);
    std::atomic<juce::int64> done { 0 };
    ProgressBar progress (! options.quiet, renderLength (phrase.getNumSamples(), Demo::sampleRate, options.plan) * kNumFactoryRecipes);

    // Every recipe's settings as the plug-in's parameters hold them, read on this thread.
    std::vector<RenderPlan> plans ((size_t) kNumFactoryRecipes, options.plan);
    SettingsHolder holder;

    for (int index = 0; index < kNumFactoryRecipes; ++index)
    {
        holder.applyRecipe (juce::String (index));
        plans[(size_t) index].settings = holder.settings();
        plans[(size_t) index].changes.clear();
    }

    runOnAllCores (
        kNumFactoryRecipes, [&] (int index)
        {
            renders[(size_t) index] = renderBuffer (phrase, Demo::sampleRate, plans[(size_t) index], &done);
            writeBuffer (renders[(size_t) index], folder.getChildFile (Demo::renderFileName (index)), errors[(size_t) index]); },
        progress, done);

    for (const auto& message : errors)
        if (message.isNotEmpty())
            fail (cannotWrite, message);

    // The input row is padded to the render's length by the waveform drawing itself.
    std::vector<Demo::Row> rows;

    for (int index = 0; index < kNumFactoryRecipes; ++index)
        rows.push_back ({ kFactoryRecipes[(size_t) index].name, &phrase, &renders[(size_t) index] });

    const auto picture = folder.getChildFile ("overview.png");
    juce::TemporaryFile temporary (picture, juce::TemporaryFile::useHiddenFile);
    {
        juce::FileOutputStream stream (temporary.getFile());
        juce::PNGImageFormat png;

        if (! stream.openedOk() || ! png.writeImageToStream (Demo::drawOverview (rows, Demo::sampleRate), stream) || ! stream.getStatus().wasOk())
            fail (cannotWrite, "cannot write " + picture.getFullPathName());
    }

    if (! temporary.overwriteTargetFileWithTemporary())
        fail (cannotWrite, "cannot write " + picture.getFullPathName());

    if (! options.quiet)
    {
        const auto seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - started).count();
        std::cout << "demo: the phrase (phrase.wav) through " << kNumFactoryRecipes << " recipes in "
                  << folder.getFullPathName() << ", picture " << picture.getFullPathName() << " ("
                  << juce::String (seconds, 1) << " s)\n";
    }

    return rendered;
}
} // namespace
} // namespace morsello

using namespace morsello;

int main (int argc, char** argv)
{
    // The parameters' tree needs the framework's message manager to exist; its loop never runs.
    const juce::ScopedJuceInitialiser_GUI framework;

    try
    {
        if (argc <= 1)
            fail (badCommandLine, "nothing to do (see --help)");

        SettingsHolder holder;
        const auto options = parseCommandLine (argc, argv, holder);

        if (options.list)
        {
            printList (holder);
            return rendered;
        }

        if (options.demoFolder.isNotEmpty())
            return runDemo (options);

        return renderFiles (options);
    }
    catch (const CLI::Success&)
    {
        // --help or --version, whose text is printed.
        return rendered;
    }
    catch (const CLI::ParseError& error)
    {
        std::cerr << "morsello-render: error: " << error.what() << "\n";
        return badCommandLine;
    }
    catch (const Failure& failure)
    {
        std::cerr << "morsello-render: error: " << failure.message << "\n";
        return failure.code;
    }
    catch (const std::exception& exception)
    {
        std::cerr << "morsello-render: error: " << exception.what() << "\n";
        return failed;
    }
}
