#pragma once

#include "dsp/EngineSettings.h"
#include "dsp/HighQuality.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <atomic>
#include <functional>
#include <vector>

namespace morsello
{
// Runs audio through MorselloEngine exactly as the plug-in's processor would be run by a host
// with a fixed block size: prepared with the first settings, then block after block.

// New settings from a point of the render on, given in seconds.
struct TimedChange
{
    double seconds = 0.0;
    EngineSettings settings;
};

// Everything about a render but its audio.
struct RenderPlan
{
    EngineSettings settings;          // from the first sample
    std::vector<TimedChange> changes; // in time order; each holds every setting from then on
    int blockSize = 512;
    double tailSeconds = 4.0; // silence appended after the input, for the effect to ring out
    Quality quality = Quality::standard;
};

// The first sample at which a change made at `seconds` applies.
juce::int64 changeSample (double seconds, double sampleRate) noexcept;

// The number of samples a render of `inputLength` samples produces.
juce::int64 renderLength (juce::int64 inputLength, double sampleRate, const RenderPlan& plan) noexcept;

// Renders `total` samples on `numChannels` channels. `fill` puts the input into each block
// (starting at the given sample) before it is processed; `take` receives each processed block
// and returns false to stop. Blocks are plan.blockSize long, except that a block ends early
// where a change falls, so that the change applies from its own sample, as a host that splits
// its blocks at parameter changes would do. `progress`, when given, counts the samples done.
// A quality with latency is compensated: the engine runs that many samples longer (on silence)
// and its first output samples are dropped, so that sample n of what `take` receives answers
// input sample n, as a host's delay compensation would line it up.
bool renderThroughEngine (double sampleRate, int numChannels, juce::int64 total, const RenderPlan& plan,
                          const std::function<void (juce::AudioBuffer<float>&, juce::int64)>& fill,
                          const std::function<bool (const juce::AudioBuffer<float>&)>& take,
                          std::atomic<juce::int64>* progress = nullptr);

// Renders audio held in memory: the input followed by the tail, as one buffer.
juce::AudioBuffer<float> renderBuffer (const juce::AudioBuffer<float>& input, double sampleRate, const RenderPlan& plan,
                                       std::atomic<juce::int64>* progress = nullptr);
} // namespace morsello
