#include "dsp/BreadProcessor.h"

#include <algorithm>

void BreadState::prepare (double sampleRate)
{
    const auto length = std::max (4096, (int) (sampleRate * 4.0));

    for (auto& line : buffers)
        line.prepare (length);
}

void BreadState::reset() noexcept
{
    writeIndex = 0;
    lfoPhase = 0.0;
    filterMemory = {};
    driveMemory = {};

    for (auto& line : buffers)
        line.clear();
}

// The four kinds arrive with the audio engine; until then a bread passes its block unchanged.
void BreadProcessor::process (juce::AudioBuffer<float>&, BreadState&, int, float, float, float, double) noexcept {}
