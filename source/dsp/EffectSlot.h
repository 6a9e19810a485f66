#pragma once

#include "dsp/DelayLine.h"
#include "dsp/HighQuality.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>
#include <cstdint>
#include <optional>

namespace morsello
{
// The nine kinds of the shared effect engine. The filling runs its fillingType as the kind; a
// bread layer runs the kind its breadType names (see kBreadRoutes in BreadLayer.h).
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

// The values a kind runs one block with: its three knobs and its wet amount, all 0..1.
struct EffectKnobs
{
    float k1, k2, k3, amount;
};

// Granular, delay and smear write and read these lines; every delay-line kind (lo-fi too)
// advances the LFO and the write position, which the kinds share so that a change of kind
// carries on where the last one stopped.
struct DelayLinesState
{
    std::array<DelayLine, 2> lines;
    int writeIndex = 0;     // shared write position of both lines
    double lfoPhase = 0.0;  // cycles in [0, 1)

    void reset() noexcept;
};

// Lo-fi's sample-and-hold and its noise generator.
struct LoFiState
{
    static constexpr uint32_t kInitialNoiseState = 0x051F15E5u;

    std::array<float, 2> heldSample {};       // held value per channel
    std::array<int, 2> holdCountdown {};      // samples until the next capture
    uint32_t noiseState = kInitialNoiseState; // xorshift state; a reset leaves it running on

    void reset() noexcept;
};

// Smear's one-pole low-pass memory per channel.
struct SmearState
{
    std::array<float, 2> memory {};
};

// The tonal kinds' oscillator and resonator. A change between tonal kinds, or the first tonal
// call after another kind, starts it afresh (see enter()).
struct TonalState
{
    double phase = 0.0;                      // oscillator, cycles in [0, 1)
    uint64_t resonatorIndex = 0;             // resonator write position
    std::array<DelayLine, 2> resonatorLines; // resonator comb lines
    std::array<float, 2> toneState {};       // wavefold / resonator one-pole memory
    std::optional<EffectKind> lastKind;      // tonal kind of the last call, if it was one

    // "high" only: the ring mod's and the wavefold's oversamplers, and the wavefold's last two
    // arguments at the top rate per channel (the fold's second average spans three).
    OversampledStage highRingMod, highWavefold;
    std::array<std::array<double, 2>, 2> lastFoldArguments {};
    bool foldArgumentKnown = false;

    // Starts the state afresh unless the last call ran the same tonal kind, and remembers the
    // kind. Returns false while the lines are unprepared.
    bool enter (EffectKind kind) noexcept;

    void reset() noexcept;
};

// Everything one effect-engine instance remembers between blocks, kind by kind. One slot per
// layer. The slot's rate, set by prepare(), is the one rate its kinds run at.
struct EffectSlot
{
    double sampleRate = 44100.0;
    bool highQuality = false; // the tonal kinds' nonlinearities run oversampled (set by the engine)
    DelayLinesState delayLines;
    LoFiState loFi;
    SmearState smear;
    juce::Reverb reverb;
    TonalState tonal;

    // Sizes the lines for the rate (delay: max (4096, 4 s); comb: 0.1 s + 8) and the
    // oversamplers, and starts
    // everything afresh, as in a new slot. Never called while a block is processed.
    void prepare (double newSampleRate);

    bool isPrepared() const noexcept { return delayLines.lines[0].getLength() > 0; }

    // Full reset: everything but lo-fi's noise state, the reverb's parameter smoothing and the
    // line lengths. What a jump in the settings clears.
    void reset() noexcept;

    // Everything as prepare() left it: a reset, and the noise generator and the reverb's
    // parameter smoothing started afresh. Allocates nothing (the reverb's sizes are kept).
    void restart() noexcept;
};
} // namespace morsello
