// The plug-in loaded and idle in an LV2 host that does nothing itself: Debian's lilv loads the
// built bundle, instantiates and activates the plug-in, runs one block, and then the host only
// waits. What the process spends meanwhile is the plug-in's own idle cost (its message thread
// and timers), with no host event loop or window in the figure.
//
//     morsello_lv2_idle_host <bundle.lv2> <lv2 core bundle> <plug-in URI> [measure s] [warm-up s]
//
// Prints "cpu <process %> audio 0 seconds <measured>", as morsello_idle_host does.

#include "Lv2Host.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace morsello::idle
{
namespace
{
double processCpuSeconds()
{
    rusage usage {};
    getrusage (RUSAGE_SELF, &usage);
    const auto seconds = [] (const timeval& t) { return (double) t.tv_sec + (double) t.tv_usec * 1.0e-6; };
    return seconds (usage.ru_utime) + seconds (usage.ru_stime);
}
} // namespace

int run (int argc, char** argv)
{
    if (argc < 4)
    {
        std::fprintf (stderr, "usage: morsello_lv2_idle_host <bundle.lv2> <lv2 core bundle> <plug-in URI> [measure seconds] [warm-up seconds]\n");
        return 2;
    }

    const auto measureSeconds = argc > 4 ? std::atof (argv[4]) : 20.0;
    const auto warmUpSeconds = argc > 5 ? std::atof (argv[5]) : 5.0;
    constexpr int blockSize = 512;

    lv2host::Host host (argv[1], argv[2], argv[3]);
    auto instance = host.instantiate (48000.0, blockSize);

    std::vector<float> left (blockSize), right (blockSize), outLeft (blockSize), outRight (blockSize);
    const float* inputs[] { left.data(), right.data() };
    float* outputs[] { outLeft.data(), outRight.data() };
    instance->process (inputs, outputs, blockSize);

    std::this_thread::sleep_for (std::chrono::duration<double> (warmUpSeconds));
    const auto start = std::chrono::steady_clock::now();
    const auto cpuStart = processCpuSeconds();
    std::this_thread::sleep_for (std::chrono::duration<double> (measureSeconds));
    const auto seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();
    const auto cpu = processCpuSeconds() - cpuStart;

    std::printf ("cpu %.4f audio 0 seconds %.2f\n", 100.0 * cpu / seconds, seconds);
    return 0;
}
} // namespace morsello::idle

int main (int argc, char** argv)
{
    return morsello::idle::run (argc, argv);
}
