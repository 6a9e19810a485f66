#pragma once

#include "processor/Parameters.h"

#include <juce_audio_processors/juce_audio_processors.h>

namespace morsello
{
// Records what the host would see of parameter changes, as "begin", "change" and "end" with the
// parameter's ID, in the order they happen.
struct GestureRecorder final : juce::AudioProcessorListener
{
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float) override { add ("change", index); }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override { add ("begin", index); }
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override { add ("end", index); }

    void add (const char* what, int index) { events.add (juce::String (what) + " " + kParameterIds[(size_t) index]); }

    // The events one complete gesture per ID gives, in the IDs' order.
    static juce::StringArray gesturesFor (std::initializer_list<const char*> ids)
    {
        juce::StringArray expected;

        for (const auto* id : ids)
            expected.addArray ({ juce::String ("begin ") + id, juce::String ("change ") + id, juce::String ("end ") + id });

        return expected;
    }

    juce::StringArray events;
};
} // namespace morsello
