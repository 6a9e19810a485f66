// The framework's Linux plug-in message thread, compiled from the patched copy the plug-in's
// wrappers use. A plug-in in a host without its own event loop gets everything through this
// thread: posted messages, timers, window events. It must sleep between them, wake for each at
// once, and stop promptly when the plug-in goes or a host takes over the events.

#include <gtest/gtest.h>

#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

#include <juce_audio_plugin_client/utility/juce_LinuxMessageThread.h>

#include "support/ThreadWakeUps.h"

#include <atomic>
#include <memory>

#include <dlfcn.h>

using namespace morsello;

namespace
{
using namespace std::chrono_literals;

// A thread that sleeps is woken by the fallback timeout about once a second, and by the
// framework's own bookkeeping now and then; the old loop woke about 900 times a second.
constexpr long maxIdleWakeUpsPerSecond = 20;

// Every message below must arrive long before the sleeping thread's fallback wake-up (1 s) would
// have brought it: a delivery that waits for that timeout fails here.
constexpr auto prompt = 300ms;

// Posts `work` to the message thread and waits for it to have run there. The state is shared so
// that a message that comes too late finds it alive.
bool runOnMessageThread (std::function<void()> work, std::chrono::milliseconds timeout = 5000ms)
{
    struct State
    {
        juce::WaitableEvent done;
        std::atomic<bool> onMessageThread { false };
    };

    auto state = std::make_shared<State>();
    juce::MessageManager::callAsync ([state, work = std::move (work)]
                                     {
                                         state->onMessageThread = juce::MessageManager::getInstance()->isThisTheMessageThread();
                                         work();
                                         state->done.signal(); });

    return state->done.wait ((int) timeout.count()) && state->onMessageThread.load();
}

std::chrono::milliseconds since (std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds> (std::chrono::steady_clock::now() - start);
}

// The kernel ID of the thread the message manager runs on now.
int messageThreadId()
{
    int id = -1;
    runOnMessageThread ([&id]
                        { id = thread_wake_ups::currentThreadId(); });
    return id;
}

void expectAsleep (const char* when)
{
    const auto id = messageThreadId();
    const auto wakeUps = thread_wake_ups::wakeUpsDuring ({ id }, 1000ms);
    ASSERT_EQ (wakeUps.size(), 1u) << when;
    EXPECT_LT (wakeUps.begin()->second, maxIdleWakeUpsPerSecond) << when;
}

// What a plug-in instance holds, in the order the framework's wrappers hold it: the framework's
// initialisation (the message manager), then the shared message thread.
struct PluginInstance
{
    juce::ScopedJuceInitialiser_GUI framework;
    juce::SharedResourcePointer<juce::MessageThread> thread;
};

struct CountingTimer final : public juce::Timer
{
    void timerCallback() override
    {
        onMessageThread = onMessageThread && juce::MessageManager::getInstance()->isThisTheMessageThread();
        ++ticks;
    }

    std::atomic<int> ticks { 0 };
    std::atomic<bool> onMessageThread { true };
};

// Without a window manager (as under a bare virtual display) some window properties name atoms
// that do not exist; a host survives the X errors this causes, and so must this test.
void ignoreXErrors()
{
    if (auto* x11 = dlopen ("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD))
        if (auto* setHandler = reinterpret_cast<void* (*) (int (*) (void*, void*))> (dlsym (x11, "XSetErrorHandler")))
            setHandler ([] (void*, void*)
                        { return 0; });
}

// A window that reports what reaches it from the display.
struct ReportingWindow final : public juce::Component
{
    void paint (juce::Graphics& g) override
    {
        g.fillAll (juce::Colours::black);
        painted.signal();
    }

    void resized() override
    {
        if (getWidth() == 320 && getHeight() == 180)
            resizedByTheServer.signal();
    }

    juce::WaitableEvent painted, resizedByTheServer;
};
} // namespace

TEST (PluginMessageThread, DeliversMessagesAndTimersPromptlyAndSleepsBetweenThem)
{
    const PluginInstance instance;
    ASSERT_TRUE (instance.thread->isRunning());

    expectAsleep ("started");

    // One message after another, each waited for: every one is a wake-up from sleep.
    const auto start = std::chrono::steady_clock::now();

    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE (runOnMessageThread ([] {}, prompt)) << "message " << i;

    EXPECT_LT (since (start), 50 * prompt);

    // Timers run through messages the timer thread posts: 20 ms ticks over half a second.
    CountingTimer timer;
    ASSERT_TRUE (runOnMessageThread ([&]
                                     { timer.startTimer (20); }));
    std::this_thread::sleep_for (500ms);
    ASSERT_TRUE (runOnMessageThread ([&]
                                     { timer.stopTimer(); }));
    EXPECT_GE (timer.ticks.load(), 15);
    EXPECT_LE (timer.ticks.load(), 30);
    EXPECT_TRUE (timer.onMessageThread.load());

    expectAsleep ("after the timer stopped");
}

TEST (PluginMessageThread, DeliversWindowEventsFromTheDisplay)
{
    const PluginInstance instance;
    auto* display = juce::XWindowSystem::getInstance()->getDisplay();

    if (display == nullptr)
        GTEST_SKIP() << "no display";

    ignoreXErrors();

    std::unique_ptr<ReportingWindow> window;
    ::Window handle = 0;
    ASSERT_TRUE (runOnMessageThread ([&]
                                     {
                                         window = std::make_unique<ReportingWindow>();
                                         window->setBounds (40, 40, 200, 120);
                                         window->addToDesktop (juce::ComponentPeer::windowIsTemporary);
                                         window->setVisible (true);
                                         handle = (::Window) window->getWindowHandle(); }));
    ASSERT_NE (handle, 0u);
    EXPECT_TRUE (window->painted.wait (5000)) << "no paint";

    // A change made by the display server, not by the framework: it comes only as an event on
    // the display's connection. (While a window is open, the framework's window runs a timer at
    // the display's refresh rate, so the thread does not sleep long then.)
    auto* x11 = juce::X11Symbols::getInstance();
    auto* otherClient = x11->xOpenDisplay (nullptr);
    ASSERT_NE (otherClient, nullptr);
    x11->xResizeWindow (otherClient, handle, 320, 180);
    x11->xFlush (otherClient);
    EXPECT_TRUE (window->resizedByTheServer.wait ((int) prompt.count())) << "the resize did not arrive promptly";
    x11->xCloseDisplay (otherClient);

    ASSERT_TRUE (runOnMessageThread ([&]
                                     { window.reset(); }));
    expectAsleep ("window closed");
}

// A host that drives the plug-in's events itself (an LV2 host's idle calls, a VST3 host's run
// loop) stops the thread, dispatches on its own thread, and hands the events back when done.
// The thread's sleep must not hold up either change.
TEST (PluginMessageThread, StopsPromptlyForAHostLoopAndComesBackAfterIt)
{
    const PluginInstance instance;
    auto& thread = instance.thread;

    for (int round = 0; round < 20; ++round)
    {
        SCOPED_TRACE ("round " + std::to_string (round));
        std::this_thread::sleep_for (20ms); // long enough to be asleep

        auto start = std::chrono::steady_clock::now();
        {
            juce::HostDrivenEventLoop hostLoop;
            EXPECT_LT (since (start), prompt) << "taking over";
            EXPECT_FALSE (thread->isRunning());

            bool ranHere = false;
            juce::MessageManager::callAsync ([&]
                                             { ranHere = juce::MessageManager::getInstance()->isThisTheMessageThread(); });
            hostLoop.processPendingEvents();
            EXPECT_TRUE (ranHere);
        }

        EXPECT_TRUE (thread->isRunning());
        EXPECT_TRUE (runOnMessageThread ([] {}, prompt)) << "handed back";
    }

    expectAsleep ("after the host loops");
}

// Instances of a plug-in come and go: the last one's going ends the thread, promptly, and the
// next instance starts a new one.
TEST (PluginMessageThread, EndsPromptlyWithItsLastUserAndStartsAgain)
{
    for (int round = 0; round < 20; ++round)
    {
        SCOPED_TRACE ("round " + std::to_string (round));
        auto first = std::make_unique<PluginInstance>();
        const auto id = messageThreadId();
        auto second = std::make_unique<PluginInstance>();
        EXPECT_EQ (messageThreadId(), id) << "the second instance shares the thread";
        std::this_thread::sleep_for (10ms);

        first.reset();
        EXPECT_TRUE (runOnMessageThread ([] {}, prompt)) << "one user left";

        const auto start = std::chrono::steady_clock::now();
        second.reset();
        EXPECT_LT (since (start), prompt) << "stopping";
        EXPECT_TRUE (thread_wake_ups::allEndWithin ({ id }, 2000ms));
    }
}

// No framework initialisation here: each test makes its own, as plug-in instances do.
int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
