#pragma once

#include "processor/PluginProcessor.h"

namespace morsello
{
// The host's view of the plug-in's state: the chunk it saves, and handing one back.
inline juce::MemoryBlock chunkOf (MorselloAudioProcessor& processor)
{
    juce::MemoryBlock chunk;
    processor.getStateInformation (chunk);
    return chunk;
}

inline void restore (MorselloAudioProcessor& processor, const juce::MemoryBlock& chunk)
{
    processor.setStateInformation (chunk.getData(), (int) chunk.getSize());
}
} // namespace morsello
