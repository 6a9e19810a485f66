// A small plug-in host for measuring what a loaded plug-in costs while a musician only looks at
// it: it loads a VST3 bundle through the framework's hosting, as a DAW does, feeds it audio in
// real time from an audio thread of its own (48 kHz, 512-sample blocks), optionally opens its
// editor in a window, and reports the process's CPU time over a measured stretch.
//
//     morsello_idle_host <bundle.vst3> <state> [measure seconds] [warm-up seconds]
//
// States: open-silence (window open, silent input), open-music (window open, a plucked-chord
// phrase that keeps the meters moving), closed (no window, no audio: loaded, prepared, idle).
// Prints one line: "cpu <process %> audio <audio thread %> seconds <measured>", the percentages
// of one core. bench/idle_cost.sh runs it for the benchmark in docs/performance.md.

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include <dlfcn.h>
#include <pthread.h>
#include <sys/resource.h>
#include <time.h>

namespace morsello::idle
{
namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

enum class State
{
    openSilence,
    openMusic,
    closed
};

// Seconds of CPU the whole process has used so far.
double processCpuSeconds()
{
    rusage usage {};
    getrusage (RUSAGE_SELF, &usage);
    const auto seconds = [] (const timeval& t) { return (double) t.tv_sec + (double) t.tv_usec * 1.0e-6; };
    return seconds (usage.ru_utime) + seconds (usage.ru_stime);
}

double threadCpuSeconds (clockid_t clock)
{
    timespec t {};
    clock_gettime (clock, &t);
    return (double) t.tv_sec + (double) t.tv_nsec * 1.0e-9;
}

// A phrase of plucked two-note chords, one every 0.3 s, decaying, at up to about -4 dBFS: the
// meters rise, hold and fall all the time, as with music.
void fillMusic (juce::AudioBuffer<float>& buffer, int64_t& sampleIndex)
{
    static constexpr double roots[] { 220.0, 246.94, 196.0, 261.63, 174.61, 293.66 };

    for (int i = 0; i < buffer.getNumSamples(); ++i, ++sampleIndex)
    {
        const auto t = (double) sampleIndex / sampleRate;
        const auto note = (int64_t) (t / 0.3);
        const auto sinceHit = t - (double) note * 0.3;
        const auto root = roots[note % 6];
        const auto envelope = std::exp (-sinceHit * 6.0) * (0.45 + 0.15 * (double) (note % 3));
        const auto twoPi = juce::MathConstants<double>::twoPi;
        const auto tone = std::sin (twoPi * root * t) + 0.5 * std::sin (twoPi * root * 1.5 * t);

        buffer.setSample (0, i, (float) (envelope * tone));
        buffer.setSample (1, i, (float) (0.8 * envelope * tone));
    }
}

// Runs blocks at the pace of real time, as a host's audio callback would.
class AudioThread
{
public:
    AudioThread (juce::AudioPluginInstance& p, bool music) : plugin (p), withMusic (music)
    {
        thread = std::thread ([this] { run(); });

        while (! started.load())
            std::this_thread::yield();
    }

    ~AudioThread()
    {
        keepRunning = false;
        thread.join();
    }

    clockid_t cpuClock() const { return clock; }

private:
    void run()
    {
        pthread_getcpuclockid (pthread_self(), &clock);
        started = true;

        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::MidiBuffer midi;
        int64_t sampleIndex = 0;
        const auto period = std::chrono::duration<double> (blockSize / sampleRate);
        auto next = std::chrono::steady_clock::now();

        while (keepRunning.load())
        {
            if (withMusic)
                fillMusic (buffer, sampleIndex);
            else
                buffer.clear();

            plugin.processBlock (buffer, midi);
            next += std::chrono::duration_cast<std::chrono::steady_clock::duration> (period);
            std::this_thread::sleep_until (next);
        }
    }

    juce::AudioPluginInstance& plugin;
    const bool withMusic;
    std::atomic<bool> keepRunning { true }, started { false };
    clockid_t clock {};
    std::thread thread;
};

// Without a window manager (as under a bare virtual display) some window properties name atoms
// that do not exist; a host survives the X errors this causes.
void ignoreXErrors()
{
    if (auto* x11 = dlopen ("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD))
        if (auto* setHandler = reinterpret_cast<void* (*) (int (*) (void*, void*))> (dlsym (x11, "XSetErrorHandler")))
            setHandler ([] (void*, void*) { return 0; });
}

int usage()
{
    std::fprintf (stderr, "usage: morsello_idle_host <bundle.vst3> open-silence|open-music|closed [measure seconds] [warm-up seconds]\n");
    return 2;
}
} // namespace

int run (int argc, char** argv)
{
    if (argc < 3)
        return usage();

    const juce::String bundle (argv[1]), stateName (argv[2]);
    const auto measureSeconds = argc > 3 ? std::atof (argv[3]) : 20.0;
    const auto warmUpSeconds = argc > 4 ? std::atof (argv[4]) : 5.0;

    State state;

    if (stateName == "open-silence")
        state = State::openSilence;
    else if (stateName == "open-music")
        state = State::openMusic;
    else if (stateName == "closed")
        state = State::closed;
    else
        return usage();

    const juce::ScopedJuceInitialiser_GUI framework;
    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile (types, bundle);

    if (types.isEmpty())
    {
        std::fprintf (stderr, "no plug-in in %s\n", bundle.toRawUTF8());
        return 1;
    }

    juce::String error;
    auto plugin = format.createInstanceFromDescription (*types[0], sampleRate, blockSize, error);

    if (plugin == nullptr)
    {
        std::fprintf (stderr, "could not load %s: %s\n", bundle.toRawUTF8(), error.toRawUTF8());
        return 1;
    }

    plugin->enableAllBuses();
    plugin->prepareToPlay (sampleRate, blockSize);

    std::unique_ptr<AudioThread> audio;
    std::unique_ptr<juce::AudioProcessorEditor> editor;

    if (state != State::closed)
    {
        audio = std::make_unique<AudioThread> (*plugin, state == State::openMusic);
        ignoreXErrors();
        editor.reset (plugin->createEditorIfNeeded());

        if (editor == nullptr)
        {
            std::fprintf (stderr, "the plug-in has no editor\n");
            return 1;
        }

        editor->addToDesktop (juce::ComponentPeer::windowHasTitleBar);
        editor->setVisible (true);
    }

    // The host's message loop waits for events (never a polling loop of its own, which would
    // be measured too); a conductor thread ends it after the warm-up and the measurement.
    double cpu = 0.0, audioCpu = 0.0, seconds = 0.0;
    std::thread conductor ([&]
                           {
                               std::this_thread::sleep_for (std::chrono::duration<double> (warmUpSeconds));
                               const auto start = std::chrono::steady_clock::now();
                               const auto cpuStart = processCpuSeconds();
                               const auto audioStart = audio != nullptr ? threadCpuSeconds (audio->cpuClock()) : 0.0;

                               std::this_thread::sleep_for (std::chrono::duration<double> (measureSeconds));

                               seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();
                               cpu = processCpuSeconds() - cpuStart;
                               audioCpu = audio != nullptr ? threadCpuSeconds (audio->cpuClock()) - audioStart : 0.0;
                               juce::MessageManager::callAsync ([] { juce::MessageManager::getInstance()->stopDispatchLoop(); });
                           });

    juce::MessageManager::getInstance()->runDispatchLoop();
    conductor.join();

    std::printf ("cpu %.4f audio %.4f seconds %.2f\n", 100.0 * cpu / seconds, 100.0 * audioCpu / seconds, seconds);

    if (editor != nullptr)
    {
        editor->removeFromDesktop();
        editor.reset();
    }

    audio.reset();
    plugin->releaseResources();
    plugin.reset();
    return 0;
}
} // namespace morsello::idle

int main (int argc, char** argv)
{
    return morsello::idle::run (argc, argv);
}
