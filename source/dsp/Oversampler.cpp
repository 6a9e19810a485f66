#include "dsp/Oversampler.h"

#include "dsp/VectorMath.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace morsello
{
namespace
{
    constexpr double kPi = 3.14159265358979323846;

    // The band every stage keeps, and where the stage next to the base rate starts to stop, as
    // fractions of the base rate: 0.4 is 19.2 kHz at 48 kHz.
    constexpr double kPassEdge = 0.4;
    constexpr double kUpStopEdge = 1.0 - kPassEdge; // the lowest image of the pass band
    constexpr double kDownStopEdge = 0.5;           // the base rate's Nyquist frequency

    // Stop-band attenuations (dB) of the stage next to the base rate and of the stages above it.
    constexpr double kFirstStageAttenuation = 120.0;
    constexpr double kUpperStageAttenuation = 110.0;

    // The zeroth-order modified Bessel function of the first kind, by its series.
    double besselI0 (double x) noexcept
    {
        double sum = 1.0, term = 1.0;

        for (int k = 1; k < 60; ++k)
        {
            term *= (x / (2.0 * k)) * (x / (2.0 * k));
            sum += term;

            if (term < sum * 1.0e-17)
                break;
        }

        return sum;
    }

    // Kaiser's estimate of the taps needed for `attenuation` dB over a transition `width` wide
    // (both edges in cycles per sample of the filter's rate), rounded up to an odd count, or to
    // 4k + 3 for a half-band filter (whose every second tap is then zero).
    int tapCountFor (double attenuation, double width, bool halfBand) noexcept
    {
        auto count = (int) std::ceil ((attenuation - 8.0) / (2.285 * 2.0 * kPi * width)) + 1;

        if (halfBand)
            while (count % 4 != 3)
                ++count;
        else if (count % 2 == 0)
            ++count;

        return count;
    }

    // A low-pass windowed sinc: cutoff in cycles per sample, unit gain at 0 Hz.
    std::vector<float> lowPass (int count, double cutoff, double attenuation)
    {
        const auto beta = attenuation > 50.0 ? 0.1102 * (attenuation - 8.7) : 0.5842 * std::pow (attenuation - 21.0, 0.4) + 0.07886 * (attenuation - 21.0);
        const auto middle = 0.5 * (count - 1);
        std::vector<double> taps ((size_t) count);
        double sum = 0.0;

        for (int n = 0; n < count; ++n)
        {
            const auto t = n - middle;
            const auto sinc = t == 0.0 ? 1.0 : std::sin (2.0 * kPi * cutoff * t) / (2.0 * kPi * cutoff * t);
            const auto r = t / middle;
            const auto window = besselI0 (beta * std::sqrt (std::max (0.0, 1.0 - r * r))) / besselI0 (beta);
            // A half-band filter's zeros are exact, not the rounding of sin (k pi).
            const auto exactZero = std::abs (cutoff - 0.25) < 1.0e-12 && t != 0.0 && std::fmod (std::abs (t), 2.0) == 0.0;
            taps[(size_t) n] = exactZero ? 0.0 : 2.0 * cutoff * sinc * window;
            sum += taps[(size_t) n];
        }

        // Symmetric to the last bit, as the filters read only their first half.
        std::vector<float> result ((size_t) count);

        for (size_t n = 0; n < taps.size(); ++n)
            result[n] = (float) (taps[std::min (n, taps.size() - 1 - n)] / sum);

        return result;
    }

    // taps[first], taps[first + 2], ... reversed (in the order they meet the input) and scaled,
    // without the zeros at either end; the offset grows by the zeros dropped in front.
    struct PhaseTaps
    {
        std::vector<float> taps;
        int offset = 0;
    };

    PhaseTaps phaseOf (const std::vector<float>& taps, int first, float gain, int baseOffset)
    {
        std::vector<float> reversed;

        for (int n = first; n < (int) taps.size(); n += 2)
            reversed.insert (reversed.begin(), gain * taps[(size_t) n]);

        size_t begin = 0, end = reversed.size();

        while (begin < end && reversed[begin] == 0.0f)
            ++begin;

        while (end > begin && reversed[end - 1] == 0.0f)
            --end;

        return { std::vector<float> (reversed.begin() + (std::ptrdiff_t) begin, reversed.begin() + (std::ptrdiff_t) end),
                 baseOffset + (int) begin };
    }
} // namespace

void Oversampler::prepare (int numStages, int numChannels, int workDelay)
{
    stages = std::clamp (numStages, 1, kMaxStages);
    int topRateDelay = std::max (0, workDelay);
    std::vector<float> taps; // every phase's taps, laid out as they go into storage
    std::array<std::array<PhaseTaps, 4>, kMaxStages> phases;

    for (int s = 0; s < stages; ++s)
    {
        auto& stage = filters[(size_t) s];
        // Edges in cycles per sample of this stage's higher rate, which is 2^(s+1) base rates.
        const auto rate = (double) (2 << s);
        std::vector<float> upTaps, downTaps;

        if (s == 0)
        {
            const auto upCount = tapCountFor (kFirstStageAttenuation, (kUpStopEdge - kPassEdge) / rate, true);
            upTaps = lowPass (upCount, 0.25, kFirstStageAttenuation);
            const auto downCount = tapCountFor (kFirstStageAttenuation, (kDownStopEdge - kPassEdge) / rate, false);
            downTaps = lowPass (downCount, 0.5 * (kDownStopEdge + kPassEdge) / rate, kFirstStageAttenuation);
        }
        else
        {
            // The band kept is the base band; what folds into it on the way down, and the images
            // that must not reach the top, lie beyond (rate / 2 - 0.5) base rates.
            const auto count = tapCountFor (kUpperStageAttenuation, (rate / 2.0 - 1.0) / rate, true);
            upTaps = lowPass (count, 0.25, kUpperStageAttenuation);
            downTaps = upTaps;
        }

        const auto upCount = (int) upTaps.size();
        const auto downCount = (int) downTaps.size();

        // Up: y[2m + p] = 2 * sum_j h[p + 2j] x[m - j], over a window that keeps upHistory past inputs.
        stage.upHistory = (upCount + 1) / 2 - 1;

        for (int p = 0; p < 2; ++p)
            phases[(size_t) s][(size_t) p] = phaseOf (upTaps, p, 2.0f, stage.upHistory - (upCount - p + 1) / 2 + 1);

        // Down: y[m] = sum_n h[n] v[2m - n], split into the window's even and odd samples.
        stage.downHistory = downCount - 1; // even, as the count is odd
        phases[(size_t) s][2] = phaseOf (downTaps, 0, 1.0f, 0);
        phases[(size_t) s][3] = phaseOf (downTaps, 1, 1.0f, 0);

        // Both filters' delays, in samples of the top rate.
        topRateDelay += ((upCount - 1) / 2 + (downCount - 1) / 2) * (1 << (stages - 1 - s));
    }

    const auto factor = getFactor();
    padding = (factor - topRateDelay % factor) % factor;
    latency = (topRateDelay + padding) / factor;

    // One block for everything: the taps, then per channel its windows, then the scratch.
    int size = 0;
    auto claim = [&size] (int floats)
    {
        const auto start = size;
        size += floats;
        return start;
    };

    for (int s = 0; s < stages; ++s)
    {
        auto& stage = filters[(size_t) s];

        for (int k = 0; k < 4; ++k)
        {
            auto& phase = k < 2 ? stage.upPhases[(size_t) k] : stage.downPhases[(size_t) (k - 2)];
            const auto& designed = phases[(size_t) s][(size_t) k];
            phase = { claim ((int) designed.taps.size()), (int) designed.taps.size(), designed.offset };
            taps.insert (taps.end(), designed.taps.begin(), designed.taps.end());
        }
    }

    channels.assign ((size_t) std::max (0, numChannels), {});

    for (auto& channel : channels)
    {
        for (int s = 0; s < stages; ++s)
        {
            const auto inputLength = kChunkLength << s; // at the stage's lower rate
            channel.upWindow[(size_t) s] = claim (filters[(size_t) s].upHistory + inputLength);
            // The way down's window at the higher rate, kept parted into its even and odd places.
            channel.downEven[(size_t) s] = claim (filters[(size_t) s].downHistory / 2 + inputLength);
            channel.downOdd[(size_t) s] = claim (filters[(size_t) s].downHistory / 2 + inputLength);
        }

        channel.padWindow = claim (padding + kChunkLength * factor);
    }

    between = claim (kChunkLength * factor);
    even = claim (kChunkLength * factor / 2);
    odd = claim (kChunkLength * factor / 2);

    storage.assign ((size_t) size, 0.0f);
    std::copy (taps.begin(), taps.end(), storage.begin());
}

void Oversampler::reset() noexcept
{
    // Everything after the taps: the channels' memories and the scratch.
    const auto firstMemory = channels.empty() ? between : channels.front().upWindow[0];
    std::fill (storage.begin() + firstMemory, storage.end(), 0.0f);
}

void Oversampler::up (int channelIndex, const float* input, int n, float* output) noexcept
{
    auto& channel = channels[(size_t) channelIndex];
    const float* source = input;
    auto length = n;
    auto* const evenOutputs = at (even);
    auto* const oddOutputs = at (odd);

    for (int s = 0; s < stages; ++s)
    {
        const auto& stage = filters[(size_t) s];
        auto* const window = at (channel.upWindow[(size_t) s]);
        const auto history = stage.upHistory;
        std::memcpy (window + history, source, sizeof (float) * (size_t) length);

        // Each phase's outputs side by side, then woven into the next rate.
        for (int p = 0; p < 2; ++p)
        {
            const auto& phase = stage.upPhases[(size_t) p];
            VectorMath::firSymmetric (window + phase.offset, at (phase.taps), phase.count, p == 0 ? evenOutputs : oddOutputs, length, false);
        }

        std::memmove (window, window + length, sizeof (float) * (size_t) history);

        auto* destination = s == stages - 1 ? output : at (between);
        VectorMath::interleave (evenOutputs, oddOutputs, destination, length);
        source = destination;
        length *= 2;
    }
}

void Oversampler::down (int channelIndex, const float* input, int n, float* output) noexcept
{
    auto& channel = channels[(size_t) channelIndex];
    auto length = n * getFactor();

    // The padding that makes the delay a whole number of base samples, at the top rate.
    auto* const pad = at (channel.padWindow);
    std::memcpy (pad + padding, input, sizeof (float) * (size_t) length);
    const float* source = pad;

    for (int s = stages - 1; s >= 0; --s)
    {
        const auto& stage = filters[(size_t) s];
        auto* const evenInputs = at (channel.downEven[(size_t) s]);
        auto* const oddInputs = at (channel.downOdd[(size_t) s]);
        const auto history = stage.downHistory / 2; // in each of the two parts
        const auto outputs = length / 2;
        VectorMath::deinterleave (source, evenInputs + history, oddInputs + history, outputs);

        auto* destination = s == 0 ? output : at (between);

        for (int p = 0; p < 2; ++p)
        {
            const auto& phase = stage.downPhases[(size_t) p];
            VectorMath::firSymmetric ((p == 0 ? evenInputs : oddInputs) + phase.offset, at (phase.taps), phase.count, destination, outputs, p == 1);
        }

        std::memmove (evenInputs, evenInputs + outputs, sizeof (float) * (size_t) history);
        std::memmove (oddInputs, oddInputs + outputs, sizeof (float) * (size_t) history);

        // The first stage down reads the padded input, so the pad's window moves on after it.
        if (s == stages - 1)
            std::memmove (pad, pad + length, sizeof (float) * (size_t) padding);

        source = destination;
        length = outputs;
    }
}

//==============================================================================
void LatencyDelay::prepare (int maximumDelay, int numChannels)
{
    // Room for the longest delay behind a whole chunk just written.
    length = std::max (0, maximumDelay) + kChunkLength;
    storage.assign ((size_t) (std::max (0, numChannels) * length), 0.0f);
    writeIndex.assign ((size_t) std::max (0, numChannels), 0);
}

void LatencyDelay::reset() noexcept
{
    std::fill (storage.begin(), storage.end(), 0.0f);
    std::fill (writeIndex.begin(), writeIndex.end(), 0);
}

void LatencyDelay::write (int channel, const float* input, int n) noexcept
{
    auto* const line = storage.data() + channel * length;
    auto& index = writeIndex[(size_t) channel];
    const auto first = std::min (n, length - index);
    std::memcpy (line + index, input, sizeof (float) * (size_t) first);
    std::memcpy (line, input + first, sizeof (float) * (size_t) (n - first));
    index = (index + n) % length;
}

void LatencyDelay::read (int channel, float* output, int n, int delay) const noexcept
{
    const auto* const line = storage.data() + channel * length;
    auto index = writeIndex[(size_t) channel] - n - delay;

    while (index < 0)
        index += length;

    const auto first = std::min (n, length - index);
    std::memcpy (output, line + index, sizeof (float) * (size_t) first);
    std::memcpy (output + first, line, sizeof (float) * (size_t) (n - first));
}

void LatencyDelay::process (int channel, float* samples, int n, int delay) noexcept
{
    write (channel, samples, n);
    read (channel, samples, n, delay);
}
} // namespace morsello
