// The effect engine's tonal kinds (ring mod, wavefold, resonator, orbit).

#include "dsp/ChunkFrames.h"
#include "dsp/EffectKinds.h"
#include "dsp/HighQuality.h"
#include "dsp/LayerCommon.h"
#include "dsp/VectorMath.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace morsello
{
namespace
{
constexpr double twoPi = juce::MathConstants<double>::twoPi;
constexpr double pi = juce::MathConstants<double>::pi;

//==============================================================================
// Tonal kinds: one oscillator phase and one resonator write position per slot, both advanced
// on every sample; the oscillator kinds take the sine of the channel's oscillator angle
// (channel 1 may run ahead).
//
// As with the delay-line kinds, the block is taken in chunks: first the phases and write
// positions of the chunk (with the phase's floor call), then each channel through it. The
// channels share nothing but those per-sample values (each has its own one-pole state and comb
// line), so channel by channel gives the same result as sample by sample. Within a channel's
// chunk, every maths call whose argument does not depend on an earlier output (the oscillator's
// sine, the ring mod's tanh, the wavefold's sine and arcsine) is made for the whole chunk at once
// through the vector kernels (`startChannel`); `wet` then runs what is left sample by sample.

struct TonalFrame
{
    float* const* channels;
    int numChannels;
    int numSamples;
    float amount;
    double phaseIncrement;               // oscillator cycles per sample
    std::array<double, 2> channelOffset; // in cycles
};

// advanced - floor (advanced), the phase's wrap into [0, 1). A phase below 1 plus an increment
// below 1 stays below 2, where the floor is 0 or 1 and a comparison finds it without the
// library call, whose latency would otherwise chain every sample to the one before.
inline double wrapPhase (double advanced) noexcept
{
    if (advanced >= 0.0 && advanced < 2.0)
        return advanced - (advanced >= 1.0 ? 1.0 : 0.0);

    return advanced - std::floor (advanced);
}

using ChunkSines = std::array<double, kChunkLength>;

template <bool usesOscillator, typename Kind>
void runTonalFrame (const TonalFrame& frame, TonalState& state, Kind& kind) noexcept
{
    const auto length = (uint64_t) state.resonatorLines[0].getLength();
    auto phase = state.phase;
    auto index = state.resonatorIndex;
    ChunkSines phases {}, sines {};

    for (int start = 0; start < frame.numSamples; start += kChunkLength)
    {
        const auto n = std::min (kChunkLength, frame.numSamples - start);
        kind.startChunk (index, n, length);

        for (int i = 0; i < n; ++i)
        {
            phases[(size_t) i] = phase;
            phase = wrapPhase (phase + frame.phaseIncrement);

            if (++index == length)
                index = 0;
        }

        for (int channel = 0; channel < frame.numChannels; ++channel)
        {
            auto* const samples = frame.channels[channel] + start;

            if constexpr (usesOscillator)
            {
                const auto offset = frame.channelOffset[(size_t) channel];

                for (size_t i = 0; i < (size_t) n; ++i)
                    sines[i] = twoPi * (phases[i] + offset);

                VectorMath::sinInPlace (sines.data(), n);
            }

            kind.startChannel (channel, samples, n, sines);

            if constexpr (! Kind::bothChannelsPerSample)
            {
                for (int i = 0; i < n; ++i)
                {
                    const auto x = samples[i];
                    const auto e = kind.wet (channel, i, x);
                    samples[i] = mixLayer (x, e, frame.amount);
                }
            }
        }

        // A kind whose channels each run a recursion visits both channels per sample, so that
        // the two recursions' latencies overlap.
        if constexpr (Kind::bothChannelsPerSample)
        {
            for (int i = 0; i < n; ++i)
                for (int channel = 0; channel < frame.numChannels; ++channel)
                {
                    auto& sample = frame.channels[channel][start + i];
                    sample = mixLayer (sample, kind.wet (channel, i, sample), frame.amount);
                }
        }
    }

    state.phase = phase;
    state.resonatorIndex = index;
}

// The input times a carrier pushed from a sine towards a square by the shape knob.
struct RingMod
{
    static constexpr bool bothChannelsPerSample = false;

    float shape;
    ChunkValues sine {}, shaped {};

    void startChunk (uint64_t, int, uint64_t) noexcept {}

    void startChannel (int, const float*, int n, const ChunkSines& sines) noexcept
    {
        for (size_t i = 0; i < (size_t) n; ++i)
        {
            sine[i] = (float) sines[i];
            shaped[i] = 5.0f * sine[i];
        }

        VectorMath::tanhInPlace (shaped.data(), n);
    }

    float wet (int, int i, float x) const noexcept
    {
        const auto s = sine[(size_t) i];
        const auto carrier = s + shape * (shaped[(size_t) i] - s);
        return carrier * x;
    }
};

// asin (sin (u)) is a triangle wave of u in [-pi/2, pi/2]; subtracting the bias's own fold keeps
// silence silent, and a one-pole low-pass tames the folded edges.
struct Wavefold
{
    static constexpr bool bothChannelsPerSample = true;

    std::array<float, 2> toneState; // a copy, kept in registers; stored back after the block
    float drive, bias, biasFold, coefficient;
    std::array<ChunkValues, 2> folded {};

    // asin (sin (u)) through the same kernels as the samples' folds, so that the bias's fold
    // cancels a silent sample's exactly.
    static float foldOf (float u) noexcept
    {
        VectorMath::sinInPlace (&u, 1);
        VectorMath::asinInPlace (&u, 1);
        return u;
    }

    void startChunk (uint64_t, int, uint64_t) noexcept {}

    // A channel's folds, up to the quotient by pi: everything before the one-pole recursion.
    void startChannel (int channel, const float* samples, int n, const ChunkSines&) noexcept
    {
        auto& fold = folded[(size_t) channel];

        for (size_t i = 0; i < (size_t) n; ++i)
            fold[i] = drive * samples[i] + bias;

        VectorMath::sinInPlace (fold.data(), n);
        VectorMath::asinInPlace (fold.data(), n);

        for (size_t i = 0; i < (size_t) n; ++i)
        {
            const auto difference = fold[i] - biasFold;
            fold[i] = (float) ((double) difference / pi);
        }
    }

    float wet (int channel, int i, float) noexcept
    {
        auto& state = toneState[(size_t) channel];
        state += coefficient * (folded[(size_t) channel][(size_t) i] - state);
        return state;
    }
};

// A comb tuned by the pitch knob with a one-pole low-pass inside its feedback loop. Both
// channels read their lines at the same position, found once per sample.
struct Resonator
{
    static constexpr bool bothChannelsPerSample = false;

    std::array<DelayLine, 2>& lines;
    std::array<float, 2> toneState; // a copy, kept in registers; stored back after the block
    double period;                  // samples
    float feedback, coefficient;

    // Whole read points, not ChunkReadPoints' separate fields: this loop reads a sample's
    // index, next index and fraction together and is not vectorised, and the separate fields
    // measured about 6 % slower here.
    std::array<DelayLine::ReadPoint, kChunkLength> point {};
    std::array<int, kChunkLength> writeIndex {};

    void startChunk (uint64_t index, int n, uint64_t length) noexcept
    {
        for (size_t i = 0; i < (size_t) n; ++i)
        {
            writeIndex[i] = (int) index;
            point[i] = lines[0].readPointFor ((float) ((double) index - period));

            if (++index == length)
                index = 0;
        }
    }

    void startChannel (int, const float*, int, const ChunkSines&) noexcept {}

    float wet (int channel, int i, float x) noexcept
    {
        auto& line = lines[(size_t) channel];
        auto& state = toneState[(size_t) channel];
        const auto r = line.read (point[(size_t) i]);
        state += coefficient * (r - state);
        line[writeIndex[(size_t) i]] = feedback * state + (1.0f - feedback) * x;
        return state;
    }
};

// Tremolo; with the stereo knob at 1 the channels move in opposite phase (auto-pan).
struct Orbit
{
    static constexpr bool bothChannelsPerSample = false;

    float depth;
    ChunkValues swing {};

    void startChunk (uint64_t, int, uint64_t) noexcept {}

    void startChannel (int, const float*, int n, const ChunkSines& sines) noexcept
    {
        for (size_t i = 0; i < (size_t) n; ++i)
            swing[i] = (float) (0.5 + 0.5 * sines[i]);
    }

    float wet (int, int i, float x) const noexcept
    {
        const auto gain = (1.0f - depth) + depth * swing[(size_t) i];
        return gain * x;
    }
};

//==============================================================================
// The tonal kinds in "high": the nonlinearity at the top rate of the kind's oversampler, the
// layer's mix against its input delayed by the oversampler's latency. The oscillator phase and
// the resonator position advance exactly as in "standard", so a kind after this one finds them
// where it would.

using FastValues = std::array<float, kChunkLength * Oversampler::kMaxFactor>;

// The oscillator phase of each of the chunk's n samples, and the phase and resonator position
// moved on past them.
void advanceTonalChunk (const TonalFrame& frame, TonalState& state, int n, ChunkSines& phases) noexcept
{
    const auto length = (uint64_t) state.resonatorLines[0].getLength();

    for (int i = 0; i < n; ++i)
    {
        phases[(size_t) i] = state.phase;
        state.phase = wrapPhase (state.phase + frame.phaseIncrement);

        if (++state.resonatorIndex == length)
            state.resonatorIndex = 0;
    }
}

// The product of the input and the shaped carrier at twice the rate, where the carrier's
// harmonics times the input's band all lie below the top rate's Nyquist frequency, so the way
// down removes every product above the band instead of folding it back.
void runHighQualityRingMod (const TonalFrame& frame, TonalState& state, float shape) noexcept
{
    auto& stage = state.highRingMod;
    auto& oversampler = stage.oversampler;
    const auto factor = oversampler.getFactor();
    const auto fastIncrement = frame.phaseIncrement / factor;

    ChunkSines phases {};
    FastValues fast, shaped;
    std::array<double, kChunkLength * Oversampler::kMaxFactor> angles;
    ChunkValues wet {}, dry {};

    for (int start = 0; start < frame.numSamples; start += kChunkLength)
    {
        const auto n = std::min (kChunkLength, frame.numSamples - start);
        advanceTonalChunk (frame, state, n, phases);

        for (int channel = 0; channel < frame.numChannels; ++channel)
        {
            auto* const samples = frame.channels[channel] + start;
            oversampler.up (channel, samples, n, fast.data());
            VectorMath::ringModProducts (phases.data(), n, factor, fastIncrement, frame.channelOffset[(size_t) channel], shape,
                                         angles.data(), shaped.data(), fast.data());
            oversampler.down (channel, fast.data(), n, wet.data());
            stage.delayDry (channel, samples, n, dry.data());

            for (size_t i = 0; i < (size_t) n; ++i)
                samples[i] = mixLayer (dry[i], wet[i], frame.amount);
        }
    }
}

// The fold at eight times the rate, each top-rate sample the fold averaged twice over the last
// three arguments (its second antiderivative's second divided difference), which takes the
// corners' harmonics down by two further orders; then the tone's one-pole at the layer's rate.
void runHighQualityWavefold (const TonalFrame& frame, TonalState& state, float drive, float bias, float coefficient) noexcept
{
    auto& stage = state.highWavefold;
    auto& oversampler = stage.oversampler;
    const auto factor = oversampler.getFactor();
    const auto biasFold = trianglefold::fold ((double) bias);

    ChunkSines phases {};
    FastValues fast;
    ChunkValues folded {}, dry {};
    std::array<double, kChunkLength * Oversampler::kMaxFactor + 2> arguments, integrals, averages;

    for (int start = 0; start < frame.numSamples; start += kChunkLength)
    {
        const auto n = std::min (kChunkLength, frame.numSamples - start);
        const auto count = n * factor;
        advanceTonalChunk (frame, state, n, phases);

        for (int channel = 0; channel < frame.numChannels; ++channel)
        {
            auto* const samples = frame.channels[channel] + start;
            oversampler.up (channel, samples, n, fast.data());

            // The last chunk's last two arguments, then this chunk's (on the first chunk, the
            // first argument stands for the two before it).
            VectorMath::foldArguments (fast.data(), count, drive, bias, arguments.data() + 2, integrals.data() + 2);
            auto& last = state.lastFoldArguments[(size_t) channel];

            if (! state.foldArgumentKnown)
                last[0] = last[1] = arguments[2];

            for (size_t k = 0; k < 2; ++k)
            {
                arguments[k] = last[k];
                integrals[k] = trianglefold::secondAntiderivative (last[k]);
            }

            VectorMath::foldSecondAverages (arguments.data(), integrals.data(), biasFold, averages.data(), fast.data(), count);
            last[0] = arguments[(size_t) count];
            last[1] = arguments[(size_t) count + 1];
            oversampler.down (channel, fast.data(), n, folded.data());
            stage.delayDry (channel, samples, n, dry.data());
            smoothThenMix (folded.data(), n, coefficient, state.toneState[(size_t) channel], dry.data(), frame.amount, samples);
        }

        state.foldArgumentKnown = true;
    }

    for (auto& memory : state.toneState)
        if (std::abs (memory) < 1.0e-30f)
            memory = 0.0f;
}

// Enters the slot's tonal state for the kind (see TonalState::enter) and gives the block's
// frame at the oscillator's frequency, or nothing when there is nothing to run.
std::optional<TonalFrame> tonalFrameFor (juce::AudioBuffer<float>& block, EffectSlot& slot, EffectKind kind,
                                         const EffectKnobs& knobs) noexcept
{
    if (! slot.tonal.enter (kind))
        return {};

    const auto frequency = kind == EffectKind::ringMod ? 12.0 * std::pow (100.0, (double) knobs.k1)
                                                       : 0.05 * std::pow (320.0, (double) knobs.k1);
    const auto numSamples = block.getNumSamples();

    if (numSamples <= 0)
        return {};

    return TonalFrame { block.getArrayOfWritePointers(),
                        std::min (block.getNumChannels(), 2),
                        numSamples,
                        knobs.amount,
                        frequency / slot.sampleRate,
                        { 0.0, 0.5 * (double) knobs.k3 } }; // channel c runs k3 * c / 2 cycles ahead
}
} // namespace

void effectkinds::runRingMod (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept
{
    if (const auto frame = tonalFrameFor (block, slot, EffectKind::ringMod, knobs))
    {
        if (slot.highQuality)
        {
            runHighQualityRingMod (*frame, slot.tonal, knobs.k2);
            return;
        }

        RingMod ringMod { knobs.k2 };
        runTonalFrame<true> (*frame, slot.tonal, ringMod);
    }
}

void effectkinds::runWavefold (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept
{
    const auto frame = tonalFrameFor (block, slot, EffectKind::wavefold, knobs);

    if (! frame)
        return;

    auto& state = slot.tonal;
    const auto drive = 1.0f + 15.0f * knobs.k1;
    const auto bias = 1.5f * (knobs.k2 - 0.5f);
    const auto coefficient = (float) (1.0 - std::exp (-1130.9733552923256 * std::pow (80.0, (double) knobs.k3) / slot.sampleRate));

    if (slot.highQuality)
    {
        runHighQualityWavefold (*frame, state, drive, bias, coefficient);
        return;
    }

    Wavefold wavefold { state.toneState, drive, bias, Wavefold::foldOf (bias), coefficient };
    runTonalFrame<false> (*frame, state, wavefold);

    // In silence the one-pole memory decays until its step towards zero is too small for a
    // float and is flushed; it then stays at about 1e-37, and every sample's update underflows
    // again, which costs time on some processors. A memory that small (far below anything
    // audible) is let go to zero once the block is done.
    for (auto& memory : wavefold.toneState)
        if (std::abs (memory) < 1.0e-30f)
            memory = 0.0f;

    state.toneState = wavefold.toneState;
}

void effectkinds::runResonator (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept
{
    const auto frame = tonalFrameFor (block, slot, EffectKind::resonator, knobs);

    if (! frame)
        return;

    auto& state = slot.tonal;
    Resonator resonator { state.resonatorLines, state.toneState,
                          slot.sampleRate / (45.0 * std::pow (40.0, (double) knobs.k1)),
                          0.96f * knobs.k2,
                          (float) (1.0 - std::exp (-1884.9555921538758 * std::pow (40.0, 1.0 - (double) knobs.k3) / slot.sampleRate)) };
    runTonalFrame<false> (*frame, state, resonator);
    state.toneState = resonator.toneState;
}

void effectkinds::runOrbit (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept
{
    if (const auto frame = tonalFrameFor (block, slot, EffectKind::orbit, knobs))
    {
        Orbit orbit { knobs.k2 };
        runTonalFrame<true> (*frame, slot.tonal, orbit);
    }
}
} // namespace morsello
