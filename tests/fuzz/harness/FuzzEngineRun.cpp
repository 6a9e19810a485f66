// libFuzzer entry point: each input goes through fuzzchecks::checkEngineRun, and a broken invariant
// stops the run with the reason, so that the input is kept as a crash.

#include "fuzz/FuzzChecks.h"

#include <juce_events/juce_events.h>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize (int*, char***);
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    // Never destroyed: libFuzzer leaves through exit(), where the framework's own shutdown would
    // run after the statics it relies on are gone.
    static const auto* framework = new juce::ScopedJuceInitialiser_GUI();
    juce::ignoreUnused (framework);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    if (const auto problem = fuzzchecks::checkEngineRun (data, size); ! problem.empty())
    {
        std::fprintf (stderr, "checkEngineRun: %s\n", problem.c_str());
        std::abort();
    }

    return 0;
}
