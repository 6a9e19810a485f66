// libFuzzer entry point, built once per check (MORSELLO_FUZZ_CHECK names one of the functions in
// FuzzChecks.h): each input goes through that check, and a broken invariant stops the run with
// the reason, so that the input is kept as a crash.

#include "fuzz/FuzzChecks.h"

#include <juce_events/juce_events.h>

#include <cstdio>
#include <cstdlib>

#define MORSELLO_STRINGIFY_NAME(name) #name
#define MORSELLO_STRINGIFY(name) MORSELLO_STRINGIFY_NAME (name)

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
    if (const auto problem = fuzzchecks::MORSELLO_FUZZ_CHECK (data, size); ! problem.empty())
    {
        std::fprintf (stderr, "%s: %s\n", MORSELLO_STRINGIFY (MORSELLO_FUZZ_CHECK), problem.c_str());
        std::abort();
    }

    return 0;
}
