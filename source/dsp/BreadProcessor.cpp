#include "dsp/BreadProcessor.h"

#include "dsp/ChunkFrames.h"
#include "dsp/EngineSettings.h"
#include "dsp/LayerCommon.h"
#include "dsp/VectorMath.h"

#include <algorithm>
#include <cmath>

namespace morsello
{
void BreadState::prepare (double newSampleRate)
{
    sampleRate = newSampleRate;

    for (auto& line : buffers)
        line.prepare (layerDelayLength (sampleRate));

    highDrive.prepare (oversampling::kDriveStages, 2);
}

void BreadState::reset() noexcept
{
    writeIndex = 0;
    lfoPhase = 0.0;
    filterMemory = {};
    driveMemory = {};

    for (auto& line : buffers)
        line.clear();

    highDrive.reset();
    driveArgumentKnown = false;
}

namespace
{
// The knob-derived values of one block, all single precision except the oscillator rate.
struct BlockValues
{
    float driveGain, driveOffset, driveSmoothing;
    float chorusBaseDelayMs, echoTimeSeconds, echoFeedback;
    float filterCoefficient;
    double oscillatorIncrement; // cycles per sample
    float sampleRate;           // the rate as the delay positions use it
};

BlockValues blockValuesFor (float k1, float k2, double sampleRate) noexcept
{
    BlockValues values;
    values.sampleRate = (float) sampleRate;
    values.driveGain = k1 * 18.0f + 1.0f;
    values.driveOffset = (k2 - 0.5f) * 0.12f;
    values.driveSmoothing = k2 * 0.45f + 0.02f;
    values.chorusBaseDelayMs = k2 * 22.0f + 6.0f;
    values.echoTimeSeconds = k1 * k1 * 0.72f + 0.025f;
    values.echoFeedback = k2 * 0.82f;
    // Cutoff 70 Hz * 220^k1, as a one-pole coefficient.
    values.filterCoefficient = 1.0f - std::exp (std::pow (220.0f, k1) * 70.0f * (-6.2831855f) / values.sampleRate);
    values.oscillatorIncrement = ((double) k1 * 2.5 + 0.04) / sampleRate;
    return values;
}

// The shared frame: the oscillator and the write position advance on every sample whatever the
// kind; `startChunk` derives what a chunk's samples need before the channel loops (the delay
// kinds' read points, the drive's tanh values) and `wet` gives the kind's wet value for one
// channel's sample at a position in the chunk. The block is taken in chunks, the oscillator's
// sines first, all of a chunk's at once through the vector kernels, so that no library call
// sits in the channel loops. The channels
// share nothing but the oscillator value and the write position, so the order in which their
// samples are visited does not change a result; it only changes speed. Kinds that read and
// write delay lines go channel by channel (each line's accesses stay together); the filter and
// drive memories go sample by sample, so that the two channels' one-pole recursions overlap.
template <bool usesOscillator, bool channelByChannel, typename StartChunk, typename Wet>
void runFrame (float* const* channels, int numChannels, int numSamples, BreadState& state,
               const BlockValues& values, float mix, StartChunk&& startChunk, Wet&& wet) noexcept
{
    const auto length = state.buffers[0].getLength();
    auto phase = state.lfoPhase;
    auto writeIndex = state.writeIndex;
    ChunkValues modulation {};
    std::array<double, kChunkLength> sines {};

    for (int start = 0; start < numSamples; start += kChunkLength)
    {
        const auto n = std::min (kChunkLength, numSamples - start);

        // The phase advances on every sample. Without the oscillator, the sample-by-sample
        // kinds advance it in their own loop, where its latency overlaps their recursions'.
        if constexpr (usesOscillator || channelByChannel)
        {
            for (int i = 0; i < n; ++i)
            {
                if constexpr (usesOscillator)
                    sines[(size_t) i] = juce::MathConstants<double>::twoPi * phase;

                phase = advancePhase (phase, values.oscillatorIncrement);
            }
        }

        if constexpr (usesOscillator)
        {
            VectorMath::sinInPlace (sines.data(), n);

            for (size_t i = 0; i < (size_t) n; ++i)
                modulation[i] = (float) sines[i];
        }

        startChunk (modulation, start, n, writeIndex, length);

        if constexpr (channelByChannel)
        {
            for (int channel = 0; channel < numChannels; ++channel)
            {
                auto* samples = channels[channel] + start;
                auto index = writeIndex;

                for (int i = 0; i < n; ++i)
                {
                    const auto x = samples[i];
                    const auto w = wet (channel, x, i, index);
                    samples[i] = mixLayer (x, w, mix);

                    if (++index == length)
                        index = 0;
                }
            }
        }
        else
        {
            auto index = writeIndex;

            for (int i = start; i < start + n; ++i)
            {
                for (int channel = 0; channel < numChannels; ++channel)
                {
                    auto& sample = channels[channel][i];
                    const auto x = sample;
                    const auto w = wet (channel, x, i - start, index);
                    sample = mixLayer (x, w, mix);
                }

                if constexpr (! usesOscillator)
                    phase = advancePhase (phase, values.oscillatorIncrement);

                if (++index == length)
                    index = 0;
            }
        }

        // A chunk is far shorter than a line (at least 4096 samples), so one wrap suffices.
        writeIndex += n;

        if (writeIndex >= length)
            writeIndex -= length;
    }

    state.lfoPhase = phase;
    state.writeIndex = writeIndex;
}
// The drive in "high": the same curve, (tanh ((x + b) u) - tanh (b u)) / u, at four times the
// rate, each top-rate sample the curve's mean over the step from the argument before (first-order
// antiderivative anti-aliasing), then the smoothing at the layer's rate on what comes down, mixed
// with the input delayed as the oversampler delays. The oscillator and the write position
// advance as in "standard".
void runHighQualityDrive (float* const* channels, int numChannels, int numSamples, BreadState& state,
                          const BlockValues& values, float mix) noexcept
{
    auto& stage = state.highDrive;
    auto& oversampler = stage.oversampler;
    const auto factor = oversampler.getFactor();
    const auto u = values.driveGain;
    const auto b = values.driveOffset;
    const auto g = values.driveSmoothing;
    auto offsetShape = b * u;
    VectorMath::tanhInPlace (&offsetShape, 1);

    std::array<float, kChunkLength * Oversampler::kMaxFactor> fast;
    std::array<float, kChunkLength * Oversampler::kMaxFactor + 1> arguments;
    ChunkValues shaped {}, dry {};
    const auto length = state.buffers[0].getLength();

    for (int start = 0; start < numSamples; start += kChunkLength)
    {
        const auto n = std::min (kChunkLength, numSamples - start);

        for (int channel = 0; channel < numChannels; ++channel)
        {
            auto* const samples = channels[channel] + start;
            const auto count = n * factor;
            oversampler.up (channel, samples, n, fast.data());

            // Each top-rate sample the curve's mean over the step from the argument before.
            auto& last = state.lastDriveArgument[(size_t) channel];
            arguments[0] = state.driveArgumentKnown ? last : (fast[0] + b) * u;
            VectorMath::driveAverages (fast.data(), count, b, u, offsetShape, arguments.data(), fast.data());
            last = arguments[(size_t) count];
            oversampler.down (channel, fast.data(), n, shaped.data());

            stage.delayDry (channel, samples, n, dry.data());
            smoothThenMix (shaped.data(), n, g, state.driveMemory[(size_t) channel], dry.data(), mix, samples);
        }

        state.driveArgumentKnown = true;
        for (int i = 0; i < n; ++i)
            state.lfoPhase = advancePhase (state.lfoPhase, values.oscillatorIncrement);

        state.writeIndex += n;

        if (state.writeIndex >= length)
            state.writeIndex -= length;
    }
}
} // namespace

int BreadProcessor::latencyOf (const BreadState& state, BreadType kind) noexcept
{
    return state.highQuality && kind == BreadType::drive ? state.highDrive.getLatency() : 0;
}

void BreadProcessor::process (juce::AudioBuffer<float>& block, BreadState& state, BreadType kind, const BreadKnobs& knobs) noexcept
{
    const auto k1 = knobs[0], k2 = knobs[1], k3 = knobs[2];
    const auto numSamples = block.getNumSamples();

    if (state.buffers[0].getLength() == 0 || numSamples <= 0)
        return;

    if (kind < BreadType::filter || kind > BreadType::echo)
        return;

    const auto numChannels = std::min (block.getNumChannels(), 2);
    const auto values = blockValuesFor (k1, k2, state.sampleRate);
    auto* const* channels = block.getArrayOfWritePointers();
    const auto nothingShared = [] (const ChunkValues&, int, int, int, int) {};

    switch (kind)
    {
        case BreadType::filter:
        {
            // Low-pass, morphing through "half the input" (k2 = 0.5) to input minus low-pass.
            auto memory = state.filterMemory;
            const auto a = values.filterCoefficient;

            runFrame<false, false> (channels, numChannels, numSamples, state, values, k3, nothingShared,
                                    [&] (int channel, float x, int, int)
                                    {
                                        auto& lowPass = memory[(size_t) channel];
                                        lowPass += a * (x - lowPass);
                                        return lowPass + k2 * (x - 2.0f * lowPass);
                                    });

            state.filterMemory = memory;
            break;
        }

        case BreadType::drive:
        {
            if (state.highQuality)
            {
                runHighQualityDrive (channels, numChannels, numSamples, state, values, k3);
                break;
            }

            // The offset's own tanh is subtracted so that silence stays silent whatever the bias.
            auto memory = state.driveMemory;
            const auto u = values.driveGain;
            const auto b = values.driveOffset;
            const auto g = values.driveSmoothing;
            // The offset's tanh goes through the same kernel as the samples', so that it cancels a
            // silent sample's exactly.
            auto offsetShape = b * u;
            VectorMath::tanhInPlace (&offsetShape, 1);
            std::array<ChunkValues, 2> shapedInput {};

            // A chunk's shaped values depend only on its input, so they are all taken first; only
            // the smoothing runs sample by sample.
            runFrame<false, false> (
                channels, numChannels, numSamples, state, values, k3,
                [&] (const ChunkValues&, int start, int n, int, int)
                {
                    for (int channel = 0; channel < numChannels; ++channel)
                    {
                        auto& shaped = shapedInput[(size_t) channel];
                        const auto* const samples = channels[channel] + start;

                        for (size_t i = 0; i < (size_t) n; ++i)
                            shaped[i] = (samples[i] + b) * u;

                        VectorMath::tanhInPlace (shaped.data(), n);

                        for (size_t i = 0; i < (size_t) n; ++i)
                            shaped[i] = (shaped[i] - offsetShape) / u;
                    }
                },
                [&] (int channel, float, int i, int)
                {
                    const auto shaped = shapedInput[(size_t) channel][(size_t) i];
                    auto& smoothed = memory[(size_t) channel];
                    smoothed += g * (shaped - smoothed);
                    return smoothed;
                });

            state.driveMemory = memory;
            break;
        }

        case BreadType::chorus:
        {
            const auto fs = values.sampleRate;
            const auto baseDelayMs = values.chorusBaseDelayMs;
            const auto& lines = state.buffers;
            ChunkReadPoints points {};

            // Both channels read at the same position, so it is wrapped once per sample. Read
            // before writing, so the delay counts back from the sample about to be written.
            runFrame<true, true> (
                channels, numChannels, numSamples, state, values, k3,
                [&] (const ChunkValues& modulation, int, int n, int writeIndex, int length)
                {
                    for (int i = 0; i < n; ++i)
                    {
                        const auto delayMs = modulation[(size_t) i] * k2 * 5.0f + baseDelayMs;
                        points.set ((size_t) i, lines[0].readPointFor ((float) writeIndex - fs * delayMs / 1000.0f));

                        if (++writeIndex == length)
                            writeIndex = 0;
                    }
                },
                [&] (int channel, float x, int i, int writeIndex)
                {
                    auto& line = state.buffers[(size_t) channel];
                    const auto w = line.read (points[(size_t) i]);
                    line[writeIndex] = x;
                    return w;
                });
            break;
        }

        case BreadType::echo:
        {
            const auto delaySamples = values.sampleRate * values.echoTimeSeconds;
            const auto feedback = values.echoFeedback;
            const auto& lines = state.buffers;
            ChunkReadPoints points {};

            // Both channels read at the same position, so it is wrapped once per sample.
            runFrame<false, true> (
                channels, numChannels, numSamples, state, values, k3,
                [&] (const ChunkValues&, int, int n, int writeIndex, int length)
                {
                    for (int i = 0; i < n; ++i)
                    {
                        points.set ((size_t) i, lines[0].readPointFor ((float) writeIndex - delaySamples));

                        if (++writeIndex == length)
                            writeIndex = 0;
                    }
                },
                [&] (int channel, float x, int i, int writeIndex)
                {
                    auto& line = state.buffers[(size_t) channel];
                    const auto w = line.read (points[(size_t) i]);
                    line[writeIndex] = x + feedback * w;
                    return w;
                });
            break;
        }

        case BreadType::firstEngine: // the effect engine's kinds, turned away above
        default:
            break;
    }
}
} // namespace morsello
