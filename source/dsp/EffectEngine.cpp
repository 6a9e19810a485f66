#include "dsp/EffectEngine.h"

#include "dsp/LayerCommon.h"

#include <algorithm>
#include <cmath>

void EffectSlot::prepare (double newSampleRate)
{
    const auto delayLength = layerDelayLength (newSampleRate);

    for (auto& line : delay)
        line.prepare (delayLength);

    sampleRate = newSampleRate;

    for (auto& line : resonatorLine)
        line.prepare ((int) (0.1 * newSampleRate) + 8);

    restart();
}

void EffectSlot::restart() noexcept
{
    reset();
    noiseState = kInitialNoiseState;

    // A new reverb's parameters, with its smoothing at rest on them. The rate sizes the reverb's
    // buffers; at the rate they already have, nothing is allocated.
    reverb.setParameters ({});
    reverb.setSampleRate (sampleRate);
}

void EffectSlot::reset() noexcept
{
    writeIndex = 0;
    lfoPhase = 0.0;
    heldSample = {};
    holdCountdown = {};
    smearState = {};

    for (auto& line : delay)
        line.clear();

    reverb.reset();
    resetTonal();
    lastTonalKind = -1;
}

void EffectSlot::resetTonal() noexcept
{
    tonalPhase = 0.0;
    tonalIndex = 0;
    toneState = {};

    for (auto& line : resonatorLine)
        line.clear();
}

namespace
{
constexpr double twoPi = juce::MathConstants<double>::twoPi;
constexpr double pi = juce::MathConstants<double>::pi;

//==============================================================================
// Delay-line kinds. The frame owns the LFO, the write position and the mix; each kind is a
// small struct whose `startChunk` derives, once per sample, the values that both channels share
// (read positions, weights) and whose `wet` gives one channel's wet value, reading and writing
// the slot's lines.
//
// The block is taken in chunks: first the LFO over the chunk (the sine calls), then each
// channel through it with no call in the loop. The channels share nothing but those per-sample
// values, so visiting them channel by channel gives the same result as sample by sample; which
// order a kind uses is a matter of speed (its `visit`): a kind that runs a channel or the whole
// chunk at once can split its work into loops that vectorise and let its two channels'
// recursions overlap. Lo-fi's one noise generator is drawn by channel 0 then channel 1 on every
// sample, so it must keep the interleaved order.

constexpr int kChunkLength = 64;
using ChunkValues = std::array<float, kChunkLength>;

enum class Visit
{
    sampleBySample, // wet (channel, i, x) for each sample, both channels per sample
    channelByChannel, // runChannel (channel, samples, n, amount) for each channel
    wholeChunk      // runChunk (channels, numChannels, start, n, amount)
};

struct DelayFrame
{
    float* const* channels;
    int numChannels;
    int numSamples;
    float amount;
    double phaseIncrement; // LFO cycles per sample
};

template <bool usesLfo, typename Kind>
void runDelayLineFrame (const DelayFrame& frame, EffectSlot& slot, Kind& kind) noexcept
{
    const auto length = slot.delay[0].getLength();
    auto phase = slot.lfoPhase;
    auto writeIndex = slot.writeIndex;
    ChunkValues lfo {};

    for (int start = 0; start < frame.numSamples; start += kChunkLength)
    {
        const auto n = std::min (kChunkLength, frame.numSamples - start);

        for (int i = 0; i < n; ++i)
        {
            // Delay and lo-fi never look at the LFO, so its sine is only taken where it is
            // used; the phase advances either way.
            if constexpr (usesLfo)
            {
                const auto v = (float) (0.5 + 0.5 * std::sin (twoPi * phase));
                lfo[(size_t) i] = v;

                // Work that depends only on this sample's LFO value runs here, where its latency
                // hides behind the next sine call's instead of forming a chain of its own.
                if constexpr (Kind::usesSineLoop)
                    kind.alongsideSine ((size_t) i, v);
            }

            phase += frame.phaseIncrement;

            if (phase >= 1.0)
                phase -= 1.0;
        }

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

    slot.lfoPhase = phase;
    slot.writeIndex = writeIndex;
}

// The same frame for a kind whose chunks end in a recursion (a one-pole filter) and whose reads
// never reach a sample written in the same chunk. A chunk's reads come first (`readChunk`); its
// recursion then runs one step per sample inside the next chunk's sine loop (`filterStep`),
// where the sine calls' latency and the recursion's overlap instead of following each other;
// `finishChunk` takes any steps left, mixes and writes. Each chunk still reads after the one
// before has written and writes after its own reads, so every sample sees what the plain order
// gives.
template <typename Kind>
void runOverlappedFrame (const DelayFrame& frame, EffectSlot& slot, Kind& kind) noexcept
{
    const auto length = slot.delay[0].getLength();
    auto phase = slot.lfoPhase;
    auto writeIndex = slot.writeIndex;
    ChunkValues lfo {};
    int pendingStart = 0, pendingLength = 0;

    for (int start = 0; start < frame.numSamples; start += kChunkLength)
    {
        const auto n = std::min (kChunkLength, frame.numSamples - start);
        const auto overlapped = std::min (n, pendingLength);

        for (int i = 0; i < n; ++i)
        {
            lfo[(size_t) i] = (float) (0.5 + 0.5 * std::sin (twoPi * phase));
            phase += frame.phaseIncrement;

            if (phase >= 1.0)
                phase -= 1.0;

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

    slot.lfoPhase = phase;
    slot.writeIndex = writeIndex;
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

// A chunk's read points, field by field so that loops filling them can be vectorised.
struct ChunkReadPoints
{
    std::array<int, kChunkLength> index {}, next {};
    ChunkValues fraction {};

    void set (size_t i, DelayLine::ReadPoint point) noexcept
    {
        index[i] = point.index;
        next[i] = point.next;
        fraction[i] = point.fraction;
    }

    DelayLine::ReadPoint operator[] (size_t i) const noexcept { return { index[i], next[i], fraction[i] }; }
};

// Two heads swept in opposite directions by the LFO, cross-faded with square-root weights.
// Both channels read at the same positions, so the heads' read points and weights are found
// once per sample (the weights in the sine loop); the chunk then interpolates and weighs both
// channels in one loop, and mixes and writes each channel.
struct Granular
{
    static constexpr Visit visit = Visit::wholeChunk;
    static constexpr bool usesSineLoop = true;

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
        constexpr double margin = 4.0;
        const auto nearest = (double) baseMs * fs / 1000.0;
        const auto farthest = ((double) spreadMs * 1.37 + baseMs) * fs / 1000.0;
        return nearest >= kChunkLength + margin && farthest <= length - kChunkLength - margin;
    }

    // The weights need only the LFO value; their square roots run between the sine calls.
    void alongsideSine (size_t i, float v) noexcept
    {
        gainA[i] = std::sqrt (v);
        gainB[i] = std::sqrt (1.0f - v);
        normaliser[i] = std::max (gainA[i] + gainB[i], 0.001f);
    }

    void startChunk (const ChunkValues& lfo, int n, int firstWriteIndex, int length) noexcept
    {
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
    static constexpr bool usesSineLoop = false;

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
    static constexpr bool usesSineLoop = false;

    std::array<float, 2>& heldSample;
    std::array<int, 2>& holdCountdown;
    uint32_t noiseState;
    int holdLength;
    float levels;       // quantisation steps per unit
    double dust;        // the noise knob, 0..1

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
    static constexpr bool usesSineLoop = false;

    std::array<DelayLine, 2>& lines;
    std::array<float, 2> smearState;   // a copy, kept in registers; stored back after the block
    float fs;
    float fixedMs;     // 22 + 260 k1
    float motionMs;    // 90 k2, scaled by the LFO
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
        constexpr double margin = 4.0;
        const auto nearest = (double) fixedMs * fs / 1000.0;
        const auto farthest = ((double) fixedMs + motionMs) * fs / 1000.0;
        return nearest >= kChunkLength + margin && farthest <= length - kChunkLength - margin;
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

void processReverb (juce::AudioBuffer<float>& block, EffectSlot& slot, float k1, float k2, float k3, float amount) noexcept
{
    juce::Reverb::Parameters parameters;
    parameters.roomSize = 0.25f + 0.73f * k1;
    parameters.damping = 1.0f - k2;
    parameters.wetLevel = 0.55f * amount;
    parameters.dryLevel = 1.0f - 0.35f * amount;
    parameters.width = 0.25f + 0.75f * k3;
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

void processDelayLineKind (juce::AudioBuffer<float>& block, EffectSlot& slot, EffectKind kind,
                           float k1, float k2, float k3, float amount, double sampleRate) noexcept
{
    const auto numSamples = block.getNumSamples();

    if (numSamples <= 0)
        return;

    const auto numChannels = std::min (block.getNumChannels(), 2);
    const DelayFrame frame { block.getArrayOfWritePointers(), numChannels, numSamples, amount,
                             (0.03 + 3.2 * (double) k2) / sampleRate };
    const auto fs = (float) sampleRate;

    switch (kind)
    {
        case EffectKind::granular:
        {
            const auto baseMs = 18.0f + 420.0f * k1;
            const auto spreadMs = 4.0f + 180.0f * k2;
            Granular granular { slot.delay, fs, baseMs, spreadMs, 0.08f + 0.68f * k3,
                                Granular::readsOnlyOlderSamples (baseMs, spreadMs, fs, slot.delay[0].getLength()) };
            runDelayLineFrame<true> (frame, slot, granular);
            break;
        }

        case EffectKind::delay:
        {
            const auto timeSeconds = 0.035f + 1.35f * k1 * k1;
            const auto offsetSeconds = 0.075f * k2;
            const auto delaySamples = fs * timeSeconds;
            // Only a stereo block offsets its right channel.
            const auto rightDelaySamples = numChannels == 2 ? delaySamples + fs * offsetSeconds : delaySamples;
            Delay delay { slot.delay, { delaySamples, rightDelaySamples }, 0.88f * k3 };
            runDelayLineFrame<false> (frame, slot, delay);
            break;
        }

        case EffectKind::loFi:
        {
            LoFi loFi { slot.heldSample, slot.holdCountdown, slot.noiseState,
                        1 + (int) (80.0f * k1 * k1),
                        std::pow (2.0f, 4.0f + 12.0f * (1.0f - k2)),
                        (double) k3 };
            runDelayLineFrame<false> (frame, slot, loFi);
            slot.noiseState = loFi.noiseState;
            break;
        }

        case EffectKind::smear:
        {
            const auto fixedMs = 22.0f + 260.0f * k1;
            const auto motionMs = 90.0f * k2;
            Smear smear { slot.delay, slot.smearState, fs, fixedMs, motionMs,
                          0.004f + 0.04f * (1.0f - k2), 0.2f + 0.72f * k3,
                          Smear::readsOnlyOlderSamples (fixedMs, motionMs, fs, slot.delay[0].getLength()) };
            if (smear.readBehindChunk)
                runOverlappedFrame (frame, slot, smear);
            else
                runDelayLineFrame<true> (frame, slot, smear);

            // Only the block's channels move their states.
            for (int channel = 0; channel < numChannels; ++channel)
                slot.smearState[(size_t) channel] = smear.smearState[(size_t) channel];
            break;
        }

        case EffectKind::reverb:
        case EffectKind::ringMod:
        case EffectKind::wavefold:
        case EffectKind::resonator:
        case EffectKind::orbit:
        default:
            break;
    }
}

//==============================================================================
// Tonal kinds: one oscillator phase and one resonator write position per slot, both advanced
// on every sample; `wet` gets the channel's oscillator angle (channel 1 may run ahead).
//
// As with the delay-line kinds, the block is taken in chunks: first the phases and write
// positions of the chunk (with the phase's floor call), then each channel through it. The
// channels share nothing but those per-sample values (each has its own one-pole state and comb
// line), so channel by channel gives the same result as sample by sample, with fewer values to
// keep across the maths calls in the channel loop.

struct TonalFrame
{
    float* const* channels;
    int numChannels;
    int numSamples;
    float amount;
    double phaseIncrement;                 // oscillator cycles per sample
    std::array<double, 2> channelOffset;   // in cycles
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

template <bool usesOscillator, typename Kind>
void runTonalFrame (const TonalFrame& frame, EffectSlot& slot, Kind& kind) noexcept
{
    const auto length = (uint64_t) slot.resonatorLine[0].getLength();
    auto phase = slot.tonalPhase;
    auto index = slot.tonalIndex;
    std::array<double, kChunkLength> phases {};

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
            const auto offset = frame.channelOffset[(size_t) channel];

            for (int i = 0; i < n; ++i)
            {
                double angle = 0.0;

                if constexpr (usesOscillator)
                    angle = twoPi * (phases[(size_t) i] + offset);

                const auto x = samples[i];
                const auto e = kind.wet (channel, i, x, angle);
                samples[i] = mixLayer (x, e, frame.amount);
            }
        }
    }

    slot.tonalPhase = phase;
    slot.tonalIndex = index;
}

// The input times a carrier pushed from a sine towards a square by the shape knob.
struct RingMod
{
    float shape;

    void startChunk (uint64_t, int, uint64_t) noexcept {}

    float wet (int, int, float x, double angle) const noexcept
    {
        const auto s = (float) std::sin (angle);
        const auto carrier = s + shape * (std::tanh (5.0f * s) - s);
        return carrier * x;
    }
};

// asin (sin (u)) is a triangle wave of u in [-pi/2, pi/2]; subtracting the bias's own fold keeps
// silence silent, and a one-pole low-pass tames the folded edges.
struct Wavefold
{
    std::array<float, 2> toneState;   // a copy, kept in registers; stored back after the block
    float drive, bias, biasFold, coefficient;

    void startChunk (uint64_t, int, uint64_t) noexcept {}

    float wet (int channel, int, float x, double) noexcept
    {
        const auto difference = std::asin (std::sin (drive * x + bias)) - biasFold;
        const auto folded = (float) ((double) difference / pi);
        auto& state = toneState[(size_t) channel];
        state += coefficient * (folded - state);
        return state;
    }
};

// A comb tuned by the pitch knob with a one-pole low-pass inside its feedback loop. Both
// channels read their lines at the same position, found once per sample.
struct Resonator
{
    std::array<DelayLine, 2>& lines;
    std::array<float, 2> toneState;   // a copy, kept in registers; stored back after the block
    double period;  // samples
    float feedback, coefficient;

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

    float wet (int channel, int i, float x, double) noexcept
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
    float depth;

    void startChunk (uint64_t, int, uint64_t) noexcept {}

    float wet (int, int, float x, double angle) const noexcept
    {
        const auto swing = (float) (0.5 + 0.5 * std::sin (angle));
        const auto gain = (1.0f - depth) + depth * swing;
        return gain * x;
    }
};

void processTonalKind (juce::AudioBuffer<float>& block, EffectSlot& slot, EffectKind kind,
                       float k1, float k2, float k3, float amount) noexcept
{
    // A different tonal kind, or the first tonal call after a delay-line kind, starts from
    // silence and phase 0; a zero-length block still counts as a call of its kind.
    if ((int) kind != slot.lastTonalKind)
        slot.resetTonal();

    slot.lastTonalKind = (int) kind;

    if (slot.resonatorLine[0].getLength() == 0)
        return;

    const auto sampleRate = slot.sampleRate;
    const auto frequency = kind == EffectKind::ringMod ? 12.0 * std::pow (100.0, (double) k1)
                                                       : 0.05 * std::pow (320.0, (double) k1);
    const auto numSamples = block.getNumSamples();

    if (numSamples <= 0)
        return;

    const TonalFrame frame { block.getArrayOfWritePointers(),
                             std::min (block.getNumChannels(), 2),
                             numSamples,
                             amount,
                             frequency / sampleRate,
                             { 0.0, 0.5 * (double) k3 } }; // channel c runs k3 * c / 2 cycles ahead

    switch (kind)
    {
        case EffectKind::ringMod:
        {
            RingMod ringMod { k2 };
            runTonalFrame<true> (frame, slot, ringMod);
            break;
        }

        case EffectKind::wavefold:
        {
            const auto bias = 1.5f * (k2 - 0.5f);
            Wavefold wavefold { slot.toneState,
                                1.0f + 15.0f * k1,
                                bias,
                                std::asin (std::sin (bias)),
                                (float) (1.0 - std::exp (-1130.9733552923256 * std::pow (80.0, (double) k3) / sampleRate)) };
            runTonalFrame<false> (frame, slot, wavefold);
            slot.toneState = wavefold.toneState;
            break;
        }

        case EffectKind::resonator:
        {
            Resonator resonator { slot.resonatorLine, slot.toneState,
                                  sampleRate / (45.0 * std::pow (40.0, (double) k1)),
                                  0.96f * k2,
                                  (float) (1.0 - std::exp (-1884.9555921538758 * std::pow (40.0, 1.0 - (double) k3) / sampleRate)) };
            runTonalFrame<false> (frame, slot, resonator);
            slot.toneState = resonator.toneState;
            break;
        }

        case EffectKind::orbit:
        {
            Orbit orbit { k2 };
            runTonalFrame<true> (frame, slot, orbit);
            break;
        }

        case EffectKind::granular:
        case EffectKind::reverb:
        case EffectKind::delay:
        case EffectKind::loFi:
        case EffectKind::smear:
        default:
            break;
    }
}
} // namespace

void EffectEngine::process (juce::AudioBuffer<float>& block, EffectSlot& slot, EffectKind kind,
                            float k1, float k2, float k3, float amount, double sampleRate) noexcept
{
    // The parameters never produce another value; anything else leaves block and slot alone.
    if ((int) kind < 0 || (int) kind >= kNumEffectKinds)
        return;

    if (slot.delay[0].getLength() == 0)
        return;

    if ((int) kind >= kFirstTonalKind)
    {
        processTonalKind (block, slot, kind, k1, k2, k3, amount);
        return;
    }

    // The next tonal call must start from a reset tonal state.
    slot.lastTonalKind = -1;

    if (kind == EffectKind::reverb)
        processReverb (block, slot, k1, k2, k3, amount);
    else
        processDelayLineKind (block, slot, kind, k1, k2, k3, amount, sampleRate);
}
