#pragma once

// How often threads of this process wake up, read from Linux's per-thread context-switch counts
// (/proc/self/task/<id>/status): every return from a sleep is one switch. Threads are told
// apart by their kernel IDs; a plug-in's threads are the ones that appear when it is loaded
// (the framework's long thread names do not fit the kernel's 15 characters and are not set).

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <thread>

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace morsello
{
namespace thread_wake_ups
{
// The most wake-ups a second each of an idle plug-in's threads may show in a host: far below
// the framework's old millisecond polling (about 900), and above what they show at rest (the
// plug-in's parameter tree flushes on a timer that starts at 10 Hz and slows down to 2 Hz, and
// each tick wakes the timer thread and the message thread).
constexpr long maxIdlePluginWakeUpsPerSecond = 60;

// The kernel IDs of this process's threads.
inline std::set<int> threadIds()
{
    std::set<int> ids;

    if (auto* tasks = opendir ("/proc/self/task"))
    {
        while (auto* entry = readdir (tasks))
            if (entry->d_name[0] != '.')
                ids.insert (std::stoi (entry->d_name));

        closedir (tasks);
    }

    return ids;
}

// The kernel ID of the calling thread.
inline int currentThreadId() { return (int) syscall (SYS_gettid); }

// The threads in `now` that were not in `before`.
inline std::set<int> newThreads (const std::set<int>& before, const std::set<int>& now = threadIds())
{
    std::set<int> added;
    std::set_difference (now.begin(), now.end(), before.begin(), before.end(), std::inserter (added, added.end()));
    return added;
}

// Context switches (voluntary and not) of a thread so far; -1 once it has ended.
inline long switchesOf (int id)
{
    std::ifstream status ("/proc/self/task/" + std::to_string (id) + "/status");

    if (! status)
        return -1;

    long total = 0;

    for (std::string line; std::getline (status, line);)
        if (line.find ("ctxt_switches:") != std::string::npos)
            total += std::stol (line.substr (line.find (':') + 1));

    return total;
}

// Wake-ups of each thread over `period`; a thread that ended meanwhile is left out.
inline std::map<int, long> wakeUpsDuring (const std::set<int>& ids, std::chrono::milliseconds period)
{
    std::map<int, long> before;

    for (auto id : ids)
        before[id] = switchesOf (id);

    std::this_thread::sleep_for (period);

    std::map<int, long> wakeUps;

    for (const auto& [id, count] : before)
        if (const auto now = switchesOf (id); count >= 0 && now >= 0)
            wakeUps[id] = now - count;

    return wakeUps;
}

// The most wake-ups of any of the threads over `period`.
inline long mostWakeUpsDuring (const std::set<int>& ids, std::chrono::milliseconds period)
{
    long most = 0;

    for (const auto& entry : wakeUpsDuring (ids, period))
        most = std::max (most, entry.second);

    return most;
}

// Whether any of the threads still runs.
inline bool anyRunning (const std::set<int>& ids)
{
    return std::any_of (ids.begin(), ids.end(), [] (int id)
                        { return switchesOf (id) >= 0; });
}

// Whether every one of the threads has ended within the time given. The framework counts a
// thread as stopped once its function has returned, a moment before the system's thread is gone,
// so a check straight after a stop can still see it on a loaded machine.
inline bool allEndWithin (const std::set<int>& ids, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;

    while (anyRunning (ids))
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;

        std::this_thread::sleep_for (std::chrono::milliseconds (5));
    }

    return true;
}
} // namespace thread_wake_ups
} // namespace morsello
