// The plug-in's own message thread inside a host: the VST3 wrapper runs one while no host run
// loop drives the plug-in's events (no editor open). It must deliver what the plug-in posts,
// give way to the host's loop when an editor opens and come back when it closes, end with the
// last instance, and sleep while there is nothing to do.

#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include "support/ThreadWakeUps.h"

#include <atomic>
#include <set>
#include <thread>

#include <dlfcn.h>

using namespace morsello;

namespace
{
using namespace std::chrono_literals;

constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

constexpr long maxIdleWakeUpsPerSecond = thread_wake_ups::maxIdlePluginWakeUpsPerSecond;

std::unique_ptr<juce::AudioPluginInstance> load()
{
    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile (types, MORSELLO_VST3_BUNDLE);

    if (types.size() != 1)
    {
        ADD_FAILURE() << "expected one plug-in in " << MORSELLO_VST3_BUNDLE;
        return nullptr;
    }

    juce::String error;
    auto instance = format.createInstanceFromDescription (*types[0], sampleRate, blockSize, error);

    if (instance == nullptr)
        ADD_FAILURE() << "could not load the plug-in: " << error;

    return instance;
}

// Counts the host-side notices of the plug-in's program changes. A state restored by the host
// that moves the plug-in to another program makes the plug-in ask the host to refresh; it asks
// from its own message thread (a message it posts to itself, since the restore came from
// another thread), so a notice proves that thread delivered a message.
struct ProgramNotices final : public juce::AudioProcessorListener
{
    void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override {}
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details) override
    {
        if (details.programChanged)
            ++count;
    }

    std::atomic<int> count { 0 };
};

// Parameter changes travel between the host's view and the plug-in with the audio callback and
// the message loop, as in a DAW: run one block, then let messages arrive.
void exchange (juce::AudioPluginInstance& instance)
{
    juce::AudioBuffer<float> silence (2, blockSize);
    juce::MidiBuffer midi;

    for (int round = 0; round < 3; ++round)
    {
        silence.clear();
        instance.processBlock (silence, midi);
        juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    }
}

// Runs the host's own message loop until the count grows past `before`, for at most 5 s.
bool waitForNotice (const ProgramNotices& notices, int before)
{
    for (int slice = 0; slice < 100 && notices.count.load() <= before; ++slice)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (50);

    return notices.count.load() > before;
}

void ignoreXErrors()
{
    if (auto* x11 = dlopen ("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD))
        if (auto* setHandler = reinterpret_cast<void* (*) (int (*) (void*, void*))> (dlsym (x11, "XSetErrorHandler")))
            setHandler ([] (void*, void*)
                        { return 0; });
}

// The threads the plug-in starts, found as the ones a first instance adds to the process (after
// a warm-up load, so that the host's own lazily started threads are not among them).
std::set<int> pluginThreads()
{
    load().reset();
    const auto before = thread_wake_ups::threadIds();
    auto probe = load();
    return thread_wake_ups::newThreads (before);
}

void expectAsleep (const std::set<int>& threads, const char* when)
{
    EXPECT_LT (thread_wake_ups::mostWakeUpsDuring (threads, 1000ms), maxIdleWakeUpsPerSecond) << when;
}
} // namespace

TEST (PluginEvents, MessagesArriveWhileTheThreadSleepsAndEditorsComeAndGo)
{
    const auto before = thread_wake_ups::threadIds();
    const auto instance = load();
    ASSERT_NE (instance, nullptr);
    instance->prepareToPlay (sampleRate, blockSize);
    const auto threads = thread_wake_ups::newThreads (before);
    ASSERT_FALSE (threads.empty());

    ProgramNotices notices;
    instance->addListener (&notices);

    // A state saved on `program`, restored while the instance is on the next one.
    const auto changeProgram = [&] (int program)
    {
        instance->setCurrentProgram (program);
        exchange (*instance);
        juce::MemoryBlock state;
        instance->getStateInformation (state);
        instance->setCurrentProgram ((program + 1) % 16);
        exchange (*instance);

        const auto before = notices.count.load();
        instance->setStateInformation (state.getData(), (int) state.getSize());
        return waitForNotice (notices, before) && instance->getCurrentProgram() == program;
    };

    expectAsleep (threads, "loaded and idle");
    EXPECT_TRUE (changeProgram (3)) << "no notice from the plug-in's thread";
    expectAsleep (threads, "after a program change");

    // An open editor hands the plug-in's events to the host's loop; closing it hands them back.
    ignoreXErrors();

    for (int round = 0; round < 5; ++round)
    {
        SCOPED_TRACE ("editor round " + std::to_string (round));
        std::unique_ptr<juce::AudioProcessorEditor> editor (instance->createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);
        editor->addToDesktop (juce::ComponentPeer::windowIsTemporary);
        editor->setVisible (true);
        juce::MessageManager::getInstance()->runDispatchLoopUntil (100);
        EXPECT_EQ (editor->getWidth(), 1254);
        EXPECT_TRUE (changeProgram (round % 2 == 0 ? 5 : 6)) << "editor open";

        editor->removeFromDesktop();
        editor.reset();
        juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
        EXPECT_TRUE (changeProgram (round % 2 == 0 ? 7 : 8)) << "editor closed";
    }

    // The editor's window kept the framework's repaint timer going; it stops 3 s after the last
    // paint. The plug-in's message thread itself is a new one by now (it stops while a host
    // loop drives the events).
    std::this_thread::sleep_for (3500ms);
    expectAsleep (thread_wake_ups::newThreads (before), "after the editors closed");
    instance->removeListener (&notices);
}

TEST (PluginEvents, InstancesComeAndGoAndTheThreadEndsWithTheLast)
{
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;
    const auto baseline = pluginThreads();
    ASSERT_FALSE (baseline.empty());
    const auto before = thread_wake_ups::threadIds();

    for (int round = 0; round < 30; ++round)
    {
        auto first = load();
        auto second = load();
        ASSERT_NE (first, nullptr);
        ASSERT_NE (second, nullptr);

        for (auto* instance : { first.get(), second.get() })
        {
            instance->prepareToPlay (sampleRate, blockSize);
            buffer.clear();
            instance->processBlock (buffer, midi);
        }

        // The second instance shares the first one's threads.
        const auto started = thread_wake_ups::newThreads (before);
        EXPECT_EQ (started.size(), baseline.size()) << "round " << round;

        // Destroyed in the other order from creation in every second round.
        if (round % 2 == 0)
            first.reset();

        second.reset();
        first.reset();

        EXPECT_TRUE (thread_wake_ups::allEndWithin (started, 2000ms)) << "round " << round << ": a thread outlived the last instance";
    }
}
