// The effect engine's delay-line kinds (granular, delay, lo-fi, smear) and the reverb.

#include "dsp/ChunkFrames.h"
#include "dsp/EffectKinds.h"
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

//==============================================================================
// Delay-line kinds. The frame owns the LFO, the write position and the mix; each kind is a
// small struct whose `startChunk` derives, once per sample, the values that both channels share
// (read positions, weights) and whose `wet` gives one channel's wet value, reading and writing
// the slot's lines.
//
// The block is taken in chunks: first the LFO over the chunk (its sines all at once, through
// the vector kernels), then each channel through it with no call in the loop. The channels share nothing but those per-sample
// values, so visiting them channel by channel gives the same result as sample by sample; which
// order a kind uses is a matter of speed (its `visit`): a kind that runs a channel or the whole
// chunk at once can split its work into loops that vectorise and let its two channels'
// recursions overlap. Lo-fi's one noise generator is drawn by channel 0 then channel 1 on every
// sample, so it must keep the interleaved order.

enum class Visit
{
    sampleBySample,   // wet (channel, i, x) for each sample, both channels per sample
    channelByChannel, // runChannel (channel, samples, n, amount) for each channel
    wholeChunk        // runChunk (channels, numChannels, start, n, amount)
};

struct DelayFrame
{
    float* const* channels;
    int numChannels;
    int numSamples;
    float amount;
    double phaseIncrement; // LFO cycles per sample
};

// The LFO values v = 0.5 + 0.5 sin (2 pi phase) of a chunk's samples, rounded to float; returns
// the phase after the chunk.
double lfoOfChunk (ChunkValues& lfo, int n, double phase, double increment) noexcept
{
    std::array<double, kChunkLength> sines;

    for (size_t i = 0; i < (size_t) n; ++i)
    {
        sines[i] = twoPi * phase;
        phase = advancePhase (phase, increment);
    }

    VectorMath::sinInPlace (sines.data(), n);

    for (size_t i = 0; i < (size_t) n; ++i)
        lfo[i] = (float) (0.5 + 0.5 * sines[i]);

    return phase;
}

template <bool usesLfo, typename Kind>
void runDelayLineFrame (const DelayFrame& frame, DelayLinesState& state, Kind& kind) noexcept
{
    const auto length = state.lines[0].getLength();
    auto phase = state.lfoPhase;
    auto writeIndex = state.writeIndex;
    ChunkValues lfo {};

    for (int start = 0; start < frame.numSamples; start += kChunkLength)
    {
        const auto n = std::min (kChunkLength, frame.numSamples - start);

        // Delay and lo-fi never look at the LFO, so its sine is only taken where it is used;
        // the phase advances either way.
        if constexpr (usesLfo)
            phase = lfoOfChunk (lfo, n, phase, frame.phaseIncrement);
        else
            for (int i = 0; i < n; ++i)
                phase = advancePhase (phase, frame.phaseIncrement);

        kind.startChunk (lfo, n, writeIndex, length);

        if constexpr (Kind::visit == Visit::channelByChannel)
        {
            for (int channel = 0; channel < frame.numChannels; ++channel)
                kind.runChannel (channel, frame.channels[channel] + start, n, frame.amount);
        }
        else if constexpr (Kind::visit == Visit::wholeChunk)
        {
            kind.runChunk (frame.channels, frame.numChannels, start, n, frame.amount);
        }
        else
        {
            for (int i = 0; i < n; ++i)
                for (int channel = 0; channel < frame.numChannels; ++channel)
                {
                    auto& sample = frame.channels[channel][start + i];
                    sample = mixLayer (sample, kind.wet (channel, i, sample), frame.amount);
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

// The same frame for a kind whose chunks end in a recursion (a one-pole filter) and whose reads
// never reach a sample written in the same chunk. A chunk's reads come first (`readChunk`); its
// recursion then runs one step per sample inside the loop that rounds the next chunk's LFO
// values (`filterStep`), where the two overlap instead of following each other; `finishChunk`
// takes any steps left, mixes and writes. Each chunk still reads after the one
// before has written and writes after its own reads, so every sample sees what the plain order
// gives.
template <typename Kind>
void runOverlappedFrame (const DelayFrame& frame, DelayLinesState& state, Kind& kind) noexcept
{
    const auto length = state.lines[0].getLength();
    auto phase = state.lfoPhase;
    auto writeIndex = state.writeIndex;
    ChunkValues lfo {};
    std::array<double, kChunkLength> sines {};
    int pendingStart = 0, pendingLength = 0;

    for (int start = 0; start < frame.numSamples; start += kChunkLength)
    {
        const auto n = std::min (kChunkLength, frame.numSamples - start);
        const auto overlapped = std::min (n, pendingLength);

        for (size_t i = 0; i < (size_t) n; ++i)
        {
            sines[i] = twoPi * phase;
            phase = advancePhase (phase, frame.phaseIncrement);
        }

        VectorMath::sinInPlace (sines.data(), n);

        for (int i = 0; i < n; ++i)
        {
            lfo[(size_t) i] = (float) (0.5 + 0.5 * sines[(size_t) i]);

            if (i < overlapped)
                kind.filterStep ((size_t) i);
        }

        if (pendingLength > 0)
            kind.finishChunk (frame.channels, frame.numChannels, pendingStart, pendingLength, overlapped, frame.amount);

        kind.readChunk (lfo, n, writeIndex, length);
        pendingStart = start;
        pendingLength = n;

        writeIndex += n;

        if (writeIndex >= length)
            writeIndex -= length;
    }

    if (pendingLength > 0)
        kind.finishChunk (frame.channels, frame.numChannels, pendingStart, pendingLength, 0, frame.amount);

    state.lfoPhase = phase;
    state.writeIndex = writeIndex;
}

// Write positions of a chunk's samples, wrapping at the line's end.
struct ChunkWritePositions
{
    int first = 0, length = 1;

    int operator[] (int i) const noexcept
    {
        const auto index = first + i;
        return index >= length ? index - length : index;
    }

    // Writes a chunk's values at its positions: at most two runs of consecutive samples.
    void store (DelayLine& line, const ChunkValues& values, int n) const noexcept
    {
        const auto beforeEnd = std::min (n, length - first);
        std::copy (values.begin(), values.begin() + beforeEnd, &line[first]);
        std::copy (values.begin() + beforeEnd, values.begin() + n, &line[0]);
    }
};

// The last step of a chunk of a feedback kind, for one channel: the line takes back
// sample + feedback x value, the mix gets wetGain x value; the writes come after the mixing.
void mixAndFeedBack (float* samples, const ChunkValues& values, float feedback, float wetGain, int n,
                     const ChunkWritePositions& positions, DelayLine& line, float amount) noexcept
{
    ChunkValues feed;

    for (size_t i = 0; i < (size_t) n; ++i)
    {
        feed[i] = samples[i] + feedback * values[i];
        samples[i] = mixLayer (samples[i], wetGain * values[i], amount);
    }

    positions.store (line, feed, n);
}

// Two heads swept in opposite directions by the LFO, cross-faded with square-root weights.
// Both channels read at the same positions, so the heads' read points and weights are found
// once per sample; the chunk then interpolates and weighs both
// channels in one loop, and mixes and writes each channel.
struct Granular
{
    static constexpr Visit visit = Visit::wholeChunk;

    std::array<DelayLine, 2>& lines;
    float fs;
    float baseMs, spreadMs, feedback;
    // Both heads stay far enough behind the write position that no read in a chunk reaches a
    // sample written earlier in the same chunk (see readsOnlyOlderSamples).
    bool headsBehindChunk;

    ChunkWritePositions writeIndex {};
    ChunkReadPoints pointA {}, pointB {};
    ChunkValues gainA {}, gainB {}, normaliser {};

    // A head reads 18 ms or more behind the write position (the base time) and less than a
    // second (base plus 1.37 times the spread), so at any usual rate it cannot reach back into
    // the chunk being written nor around the line into it. A margin of a few samples covers
    // the rounding of the float positions.
    static bool readsOnlyOlderSamples (float baseMs, float spreadMs, float fs, int length) noexcept
    {
        return chunkReadsOnlyOlderSamples ((double) baseMs * fs / 1000.0,
                                           ((double) spreadMs * 1.37 + baseMs) * fs / 1000.0, length);
    }

    void startChunk (const ChunkValues& lfo, int n, int firstWriteIndex, int length) noexcept
    {
        // The weights: square roots of v and 1 - v, a chunk's at once.
        for (size_t i = 0; i < (size_t) n; ++i)
        {
            gainA[i] = lfo[i];
            gainB[i] = 1.0f - lfo[i];
        }

        VectorMath::sqrtInPlace (gainA.data(), n);
        VectorMath::sqrtInPlace (gainB.data(), n);

        for (size_t i = 0; i < (size_t) n; ++i)
            normaliser[i] = std::max (gainA[i] + gainB[i], 0.001f);

        writeIndex = { firstWriteIndex, length };
        const auto& line = lines[0]; // both lines have the same length
        ChunkValues positionA, positionB;

        for (size_t i = 0; i < (size_t) n; ++i)
        {
            const auto v = lfo[i];
            const auto w = (float) writeIndex[(int) i];
            const auto timeA = (1.0f - v) * spreadMs * 1.37f + baseMs;
            const auto timeB = v * spreadMs + baseMs;
            positionA[i] = w - timeA * fs / 1000.0f;
            positionB[i] = w - timeB * fs / 1000.0f;
        }

        // Heads that stay within the line behind the write position are within one length of
        // it either way: the wrap needs no check, and this loop vectorises.
        if (headsBehindChunk)
        {
            for (size_t i = 0; i < (size_t) n; ++i)
            {
                pointA.set (i, line.readPointWithinOneLength (positionA[i]));
                pointB.set (i, line.readPointWithinOneLength (positionB[i]));
            }
        }
        else
        {
            for (size_t i = 0; i < (size_t) n; ++i)
            {
                pointA.set (i, line.readPointFor (positionA[i]));
                pointB.set (i, line.readPointFor (positionB[i]));
            }
        }
    }

    void runChunk (float* const* channels, int numChannels, int start, int n, float amount) noexcept
    {
        if (! headsBehindChunk)
        {
            for (int channel = 0; channel < numChannels; ++channel)
                for (int i = 0; i < n; ++i)
                {
                    auto& sample = channels[channel][start + i];
                    sample = mixLayer (sample, wet (channel, i, sample), amount);
                }

            return;
        }

        // The chunk's reads see only samples written before it, so they can all come first,
        // both channels' in one loop that loads each read point once (a block with fewer
        // channels reads lines it never mixes nor writes); the mixing then runs as a loop the
        // compiler vectorises, and the writes follow. Each sample gets the same operations as
        // in wet().
        std::array<ChunkValues, 2> grain;

        for (size_t i = 0; i < (size_t) n; ++i)
        {
            const auto a = pointA[i], b = pointB[i];

            for (size_t channel = 0; channel < 2; ++channel)
                grain[channel][i] = (lines[channel].read (a) * gainA[i] + lines[channel].read (b) * gainB[i]) / normaliser[i];
        }

        for (int channel = 0; channel < numChannels; ++channel)
            mixAndFeedBack (channels[channel] + start, grain[(size_t) channel], feedback, 0.72f, n,
                            writeIndex, lines[(size_t) channel], amount);
    }

    float wet (int channel, int i, float x) noexcept
    {
        auto& line = lines[(size_t) channel];
        const auto s = (size_t) i;
        const auto rA = line.read (pointA[s]);
        const auto rB = line.read (pointB[s]);
        const auto g = (rA * gainA[s] + rB * gainB[s]) / normaliser[s];
        line[writeIndex[i]] = x + feedback * g;
        return 0.72f * g;
    }
};

// A feedback delay; channel 1 of a stereo block sits a little further back.
struct Delay
{
    static constexpr Visit visit = Visit::channelByChannel;

    std::array<DelayLine, 2>& lines;
    std::array<float, 2> delaySamples;
    float feedback;

    ChunkWritePositions writeIndex {};

    void startChunk (const ChunkValues&, int, int firstWriteIndex, int length) noexcept
    {
        writeIndex = { firstWriteIndex, length };
    }

    void runChannel (int channel, float* samples, int n, float amount) noexcept
    {
        for (int i = 0; i < n; ++i)
            samples[i] = mixLayer (samples[i], wet (channel, i, samples[i]), amount);
    }

    float wet (int channel, int i, float x) noexcept
    {
        auto& line = lines[(size_t) channel];
        const auto index = writeIndex[i];
        const auto r = line.readInterpolated ((float) index - delaySamples[(size_t) channel]);
        line[index] = x + feedback * r;
        return r;
    }
};

// Sample-and-hold with quantisation and a little xorshift noise; the lines are not used.
struct LoFi
{
    static constexpr Visit visit = Visit::sampleBySample;

    std::array<float, 2>& heldSample;
    std::array<int, 2>& holdCountdown;
    uint32_t noiseState;
    int holdLength;
    float levels; // quantisation steps per unit
    double dust;  // the noise knob, 0..1

    void startChunk (const ChunkValues&, int, int, int) noexcept {}

    float wet (int channel, int, float x) noexcept
    {
        auto& countdown = holdCountdown[(size_t) channel];
        auto& held = heldSample[(size_t) channel];

        if (--countdown <= 0)
        {
            countdown = holdLength;
            held = std::round (x * levels) / levels;
        }

        noiseState ^= noiseState << 13;
        noiseState ^= noiseState >> 17;
        noiseState ^= noiseState << 5;

        const auto u = (double) noiseState * 0x1p-32;
        return held + (float) ((u - 0.5) * dust * 0.025);
    }
};

// A modulated delay whose output is smoothed by a one-pole low-pass; the smoothed signal is
// what feeds back. Both channels read at the same position, found once per sample.
struct Smear
{
    static constexpr Visit visit = Visit::wholeChunk;

    std::array<DelayLine, 2>& lines;
    std::array<float, 2> smearState; // a copy, kept in registers; stored back after the block
    float fs;
    float fixedMs;  // 22 + 260 k1
    float motionMs; // 90 k2, scaled by the LFO
    float coefficient, feedback;
    // The read stays far enough behind the write position that no read in a chunk reaches a
    // sample written earlier in the same chunk, nor leaves one length (readsOnlyOlderSamples).
    bool readBehindChunk;

    ChunkWritePositions writeIndex {};
    ChunkReadPoints point {};

    // The read lies 22 ms or more behind the write position and at most 372 ms, so at any
    // usual rate it can reach neither back into the chunk being written nor around the line
    // into it. A margin of a few samples covers the rounding of the float position.
    static bool readsOnlyOlderSamples (float fixedMs, float motionMs, float fs, int length) noexcept
    {
        return chunkReadsOnlyOlderSamples ((double) fixedMs * fs / 1000.0,
                                           ((double) fixedMs + motionMs) * fs / 1000.0, length);
    }

    void startChunk (const ChunkValues& lfo, int n, int firstWriteIndex, int length) noexcept
    {
        writeIndex = { firstWriteIndex, length };
        const auto& line = lines[0]; // both lines have the same length
        ChunkValues position;

        for (size_t i = 0; i < (size_t) n; ++i)
        {
            const auto timeMs = fixedMs + motionMs * lfo[i];
            position[i] = (float) writeIndex[(int) i] - timeMs * fs / 1000.0f;
        }

        if (readBehindChunk)
        {
            // Within one length either way: the wrap needs no check, and the loop vectorises.
            for (size_t i = 0; i < (size_t) n; ++i)
                point.set (i, line.readPointWithinOneLength (position[i]));
        }
        else
        {
            for (size_t i = 0; i < (size_t) n; ++i)
                point.set (i, line.readPointFor (position[i]));
        }
    }

    // Sample by sample, both channels per sample: the path for reads that may reach into the
    // chunk being written (runOverlappedFrame takes the others).
    void runChunk (float* const* channels, int numChannels, int start, int n, float amount) noexcept
    {
        for (int i = 0; i < n; ++i)
            for (int channel = 0; channel < numChannels; ++channel)
            {
                auto& sample = channels[channel][start + i];
                sample = mixLayer (sample, wet (channel, i, sample), amount);
            }
    }

    //==============================================================================
    // The overlapped frame's steps (only when readBehindChunk). Both channels' lines are read
    // and filtered whatever the block's channel count (both lines always have the same length);
    // the caller keeps only the states of the channels the block has.
    std::array<ChunkValues, 2> smoothed {}; // a chunk's reads, then its filter states

    void readChunk (const ChunkValues& lfo, int n, int firstWriteIndex, int length) noexcept
    {
        startChunk (lfo, n, firstWriteIndex, length);

        for (size_t channel = 0; channel < 2; ++channel)
            for (size_t i = 0; i < (size_t) n; ++i)
                smoothed[channel][i] = lines[channel].read (point[i]);
    }

    // The two recursions side by side, so that their latencies overlap too.
    void filterStep (size_t i) noexcept
    {
        smearState[0] += coefficient * (smoothed[0][i] - smearState[0]);
        smearState[1] += coefficient * (smoothed[1][i] - smearState[1]);
        smoothed[0][i] = smearState[0];
        smoothed[1][i] = smearState[1];
    }

    // The steps not yet taken, then the mix and the feedback values as loops that vectorise,
    // then the writes. Each sample sees the same operations as in wet().
    void finishChunk (float* const* channels, int numChannels, int start, int n, int stepsTaken, float amount) noexcept
    {
        for (auto i = (size_t) stepsTaken; i < (size_t) n; ++i)
            filterStep (i);

        for (int channel = 0; channel < numChannels; ++channel)
            mixAndFeedBack (channels[channel] + start, smoothed[(size_t) channel], feedback, 0.86f, n,
                            writeIndex, lines[(size_t) channel], amount);
    }

    float wet (int channel, int i, float x) noexcept
    {
        auto& line = lines[(size_t) channel];
        auto& state = smearState[(size_t) channel];
        const auto r = line.read (point[(size_t) i]);
        state += coefficient * (r - state);
        line[writeIndex[i]] = x + feedback * state;
        return 0.86f * state;
    }
};

// The frame of a block for the delay-line kinds, or nothing for an empty block.
std::optional<DelayFrame> delayFrameFor (juce::AudioBuffer<float>& block, const EffectSlot& slot, const EffectKnobs& knobs) noexcept
{
    const auto numSamples = block.getNumSamples();

    if (numSamples <= 0)
        return {};

    return DelayFrame { block.getArrayOfWritePointers(), std::min (block.getNumChannels(), 2), numSamples, knobs.amount,
                        (0.03 + 3.2 * (double) knobs.k2) / slot.sampleRate };
}
} // namespace

void effectkinds::runReverb (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept
{
    juce::Reverb::Parameters parameters;
    parameters.roomSize = 0.25f + 0.73f * knobs.k1;
    parameters.damping = 1.0f - knobs.k2;
    parameters.wetLevel = 0.55f * knobs.amount;
    parameters.dryLevel = 1.0f - 0.35f * knobs.amount;
    parameters.width = 0.25f + 0.75f * knobs.k3;
    parameters.freezeMode = 0.0f;
    slot.reverb.setParameters (parameters);

    // The reverb's own wet and dry levels are the whole mix: no clamp, no LFO, no write position.
    const auto numSamples = block.getNumSamples();

    if (numSamples <= 0)
        return;

    if (block.getNumChannels() == 1)
        slot.reverb.processMono (block.getWritePointer (0), numSamples);
    else if (block.getNumChannels() == 2)
        slot.reverb.processStereo (block.getWritePointer (0), block.getWritePointer (1), numSamples);
}

void effectkinds::runGranular (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept
{
    const auto frame = delayFrameFor (block, slot, knobs);

    if (! frame)
        return;

    auto& state = slot.delayLines;
    const auto fs = (float) slot.sampleRate;
    const auto baseMs = 18.0f + 420.0f * knobs.k1;
    const auto spreadMs = 4.0f + 180.0f * knobs.k2;
    Granular granular { state.lines, fs, baseMs, spreadMs, 0.08f + 0.68f * knobs.k3,
                        Granular::readsOnlyOlderSamples (baseMs, spreadMs, fs, state.lines[0].getLength()) };
    runDelayLineFrame<true> (*frame, state, granular);
}

void effectkinds::runDelay (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept
{
    const auto frame = delayFrameFor (block, slot, knobs);

    if (! frame)
        return;

    const auto fs = (float) slot.sampleRate;
    const auto timeSeconds = 0.035f + 1.35f * knobs.k1 * knobs.k1;
    const auto offsetSeconds = 0.075f * knobs.k2;
    const auto delaySamples = fs * timeSeconds;
    // Only a stereo block offsets its right channel.
    const auto rightDelaySamples = frame->numChannels == 2 ? delaySamples + fs * offsetSeconds : delaySamples;
    Delay delay { slot.delayLines.lines, { delaySamples, rightDelaySamples }, 0.88f * knobs.k3 };
    runDelayLineFrame<false> (*frame, slot.delayLines, delay);
}

void effectkinds::runLoFi (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept
{
    const auto frame = delayFrameFor (block, slot, knobs);

    if (! frame)
        return;

    auto& state = slot.loFi;
    LoFi loFi { state.heldSample, state.holdCountdown, state.noiseState,
                1 + (int) (80.0f * knobs.k1 * knobs.k1),
                std::pow (2.0f, 4.0f + 12.0f * (1.0f - knobs.k2)),
                (double) knobs.k3 };
    runDelayLineFrame<false> (*frame, slot.delayLines, loFi);
    state.noiseState = loFi.noiseState;
}

void effectkinds::runSmear (juce::AudioBuffer<float>& block, EffectSlot& slot, const EffectKnobs& knobs) noexcept
{
    const auto frame = delayFrameFor (block, slot, knobs);

    if (! frame)
        return;

    auto& lines = slot.delayLines;
    const auto fs = (float) slot.sampleRate;
    const auto fixedMs = 22.0f + 260.0f * knobs.k1;
    const auto motionMs = 90.0f * knobs.k2;
    Smear smear { lines.lines, slot.smear.memory, fs, fixedMs, motionMs,
                  0.004f + 0.04f * (1.0f - knobs.k2), 0.2f + 0.72f * knobs.k3,
                  Smear::readsOnlyOlderSamples (fixedMs, motionMs, fs, lines.lines[0].getLength()) };
    if (smear.readBehindChunk)
        runOverlappedFrame (*frame, lines, smear);
    else
        runDelayLineFrame<true> (*frame, lines, smear);

    // Only the block's channels move their states.
    for (int channel = 0; channel < frame->numChannels; ++channel)
        slot.smear.memory[(size_t) channel] = smear.smearState[(size_t) channel];
}
} // namespace morsello
