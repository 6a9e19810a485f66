#pragma once

#include "processor/PluginProcessor.h"

#include <vector>

namespace morsello
{
// What the parameter tree stores for one ID: the raw value the audio thread reads (a choice's
// index, a knob's 0..1, the output in dB).
inline float rawValue (const MorselloAudioProcessor& processor, juce::StringRef id)
{
    return processor.getParameterTree().getRawParameterValue (id)->load();
}

// Every parameter's raw value, in kParameterIds order.
inline std::vector<float> parameterValues (const MorselloAudioProcessor& processor)
{
    std::vector<float> values;

    for (const auto* id : kParameterIds)
        values.push_back (rawValue (processor, id));

    return values;
}
} // namespace morsello
