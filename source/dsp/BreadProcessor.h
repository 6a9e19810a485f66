#pragma once

#include "dsp/DelayLine.h"
#include "dsp/EngineSettings.h"
#include "dsp/HighQuality.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>

namespace morsello
{
// The state of one bread layer running one of the four simple kinds (filter, drive, chorus, echo).
struct BreadState
{
    std::array<DelayLine, 2> buffers;     // one line per channel, both of the same length
    std::array<float, 2> filterMemory {}; // filter kind: one-pole low-pass memory per channel
    std::array<float, 2> driveMemory {};  // drive kind: smoothing memory per channel
    int writeIndex = 0;                   // shared write position of both lines
    double lfoPhase = 0.0;                // chorus oscillator, cycles in [0, 1)
    double sampleRate = 44100.0;          // the one rate the layer runs at, set by prepare()
    bool highQuality = false;             // the drive runs oversampled (set by the engine)
    OversampledStage highDrive;           // the drive's oversampler in "high"
    std::array<float, 2> lastDriveArgument {}; // the drive's last argument per channel in "high"
    bool driveArgumentKnown = false;

    // Sizes both lines to max (4096, 4 s of audio) samples, all zero, for the rate, and the
    // drive's oversampler.
    void prepare (double newSampleRate);

    // Zeroes the lines, memories (the oversampler's too), write position and phase; lengths are
    // kept. The quality stays.
    void reset() noexcept;
};

// A bread layer's three knobs, 0..1.
using BreadKnobs = std::array<float, 3>;

// The four simple bread kinds, processed in place on at most the first two channels.
struct BreadProcessor
{
    // kind: 0 filter, 1 drive, 2 chorus, 3 echo, run at the state's rate. An unprepared
    // state or an empty block leaves everything untouched.
    static void process (juce::AudioBuffer<float>& block, BreadState& state, BreadType kind, const BreadKnobs& knobs) noexcept;

    // The delay that running `kind` adds in the state's quality, in samples: the oversampled
    // drive's, else 0.
    static int latencyOf (const BreadState& state, BreadType kind) noexcept;
};
} // namespace morsello
