#pragma once

#include "dsp/DelayLine.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>
#include <cstdint>

// The nine kinds of the shared effect engine. The filling runs its fillingType as the kind,
// a bread layer its breadType minus 4. Kinds 0..4 work on the slot's delay lines (or the
// framework reverb); kinds 5..8 are the tonal kinds.
enum class EffectKind
{
    granular = 0,
    reverb,
    delay,
    loFi,
    smear,
    ringMod,
    wavefold,
    resonator,
    orbit
};

inline constexpr int kNumEffectKinds = 9;
inline constexpr int kFirstTonalKind = (int) EffectKind::ringMod;

// Everything one engine instance remembers between blocks. One slot per layer.
struct EffectSlot
{
    static constexpr uint32_t kInitialNoiseState = 0x051F15E5u;

    std::array<DelayLine, 2> delay;           // granular, delay and smear lines
    int writeIndex = 0;                       // shared write position of both lines
    std::array<float, 2> heldSample {};       // lo-fi: held value per channel
    std::array<int, 2> holdCountdown {};      // lo-fi: samples until the next capture
    std::array<float, 2> smearState {};       // smear: one-pole state per channel
    uint32_t noiseState = kInitialNoiseState; // lo-fi: xorshift state, runs on across resets
    double lfoPhase = 0.0;                    // delay-line kinds' LFO, cycles in [0, 1)
    juce::Reverb reverb;                      // reverb kind
    double sampleRate = 44100.0;              // the tonal kinds' copy of the rate
    double tonalPhase = 0.0;                  // tonal oscillator, cycles in [0, 1)
    uint64_t tonalIndex = 0;                  // resonator write position
    std::array<DelayLine, 2> resonatorLine;   // resonator comb lines
    std::array<float, 2> toneState {};        // wavefold / resonator one-pole state
    int lastTonalKind = -1;                   // tonal kind of the last call, or -1

    // Sizes the lines for the rate (delay: max (4096, 4 s); comb: 0.1 s + 8) and starts
    // everything afresh, as in a new slot. Never called while a block is processed.
    void prepare (double newSampleRate);

    // Full reset: everything but noiseState, the reverb's parameter smoothing and the line
    // lengths. What a jump in the settings clears.
    void reset() noexcept;

    // Everything as prepare() left it: a reset, and the noise generator and the reverb's
    // parameter smoothing started afresh. Allocates nothing (the reverb's sizes are kept).
    void restart() noexcept;

    // Resets only what the tonal kinds use.
    void resetTonal() noexcept;
};
