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
constexpr double kDownStopEdge = 0.5;            // the base rate's Nyquist frequency

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

    std::vector<float> result ((size_t) count);

    for (size_t n = 0; n < taps.size(); ++n)
        result[n] = (float) (taps[n] / sum);

    return result;
}

// taps[first], taps[first + 2], ... reversed (in the order they meet the input) and scaled,
// without the zeros at either end; `offset` grows by the zeros dropped in front.
template <typename Phase>
void setPhase (Phase& phase, const std::vector<float>& taps, int first, float gain, int baseOffset)
{
    std::vector<float> reversed;

    for (int n = first; n < (int) taps.size(); n += 2)
        reversed.insert (reversed.begin(), gain * taps[(size_t) n]);

    size_t begin = 0, end = reversed.size();

    while (begin < end && reversed[begin] == 0.0f)
        ++begin;

    while (end > begin && reversed[end - 1] == 0.0f)
        --end;

    phase.taps.assign (reversed.begin() + (std::ptrdiff_t) begin, reversed.begin() + (std::ptrdiff_t) end);
    phase.offset = baseOffset + (int) begin;
}
} // namespace

void Oversampler::prepare (int numStages, int numChannels)
{
    stages = std::clamp (numStages, 1, kMaxStages);
    int topRateDelay = 0;

    for (int s = 0; s < stages; ++s)
    {
        auto& stage = filters[(size_t) s];
        // Edges in cycles per sample of this stage's higher rate, which is 2^(s+1) base rates.
        const auto rate = (double) (2 << s);

        if (s == 0)
        {
            const auto upCount = tapCountFor (kFirstStageAttenuation, (kUpStopEdge - kPassEdge) / rate, true);
            stage.upTaps = lowPass (upCount, 0.25, kFirstStageAttenuation);
            const auto downCount = tapCountFor (kFirstStageAttenuation, (kDownStopEdge - kPassEdge) / rate, false);
            stage.downTaps = lowPass (downCount, 0.5 * (kDownStopEdge + kPassEdge) / rate, kFirstStageAttenuation);
        }
        else
        {
            // The band kept is the base band; what folds into it on the way down, and the images
            // that must not reach the top, lie beyond (rate / 2 - 0.5) base rates.
            const auto count = tapCountFor (kUpperStageAttenuation, (rate / 2.0 - 1.0) / rate, true);
            stage.upTaps = lowPass (count, 0.25, kUpperStageAttenuation);
            stage.downTaps = stage.upTaps;
        }

        const auto upCount = (int) stage.upTaps.size();
        const auto downCount = (int) stage.downTaps.size();

        // Up: y[2m + p] = 2 * sum_j h[p + 2j] x[m - j], over a window that keeps upHistory past inputs.
        stage.upHistory = (upCount + 1) / 2 - 1;

        for (int p = 0; p < 2; ++p)
        {
            const auto phaseLength = (upCount - p + 1) / 2;
            setPhase (stage.upPhases[(size_t) p], stage.upTaps, p, 2.0f, stage.upHistory - phaseLength + 1);
        }

        // Down: y[m] = sum_n h[n] v[2m - n], split into the window's even and odd samples.
        stage.downHistory = downCount - 1; // even, as the count is odd
        setPhase (stage.downPhases[0], stage.downTaps, 0, 1.0f, 0);
        setPhase (stage.downPhases[1], stage.downTaps, 1, 1.0f, 0);

        // Both filters' delays, in samples of the top rate.
        topRateDelay += ((upCount - 1) / 2 + (downCount - 1) / 2) * (1 << (stages - 1 - s));
    }

    const auto factor = getFactor();
    padding = (factor - topRateDelay % factor) % factor;
    latency = (topRateDelay + padding) / factor;

    channels.assign ((size_t) std::max (0, numChannels), {});

    for (auto& channel : channels)
    {
        for (int s = 0; s < stages; ++s)
        {
            const auto inputLength = kChunkLength << s; // at the stage's lower rate
            channel.upWindow[(size_t) s].assign ((size_t) (filters[(size_t) s].upHistory + inputLength), 0.0f);
            channel.downWindow[(size_t) s].assign ((size_t) (filters[(size_t) s].downHistory + 2 * inputLength), 0.0f);
        }

        channel.padWindow.assign ((size_t) (padding + kChunkLength * factor), 0.0f);
    }

    int longestHistory = 0;

    for (int s = 0; s < stages; ++s)
        longestHistory = std::max ({ longestHistory, filters[(size_t) s].upHistory, filters[(size_t) s].downHistory });

    between.assign ((size_t) (kChunkLength * factor), 0.0f);
    even.assign ((size_t) (kChunkLength * factor + longestHistory), 0.0f);
    odd.assign ((size_t) (kChunkLength * factor + longestHistory), 0.0f);
}

std::size_t Oversampler::getAllocatedBytes() const noexcept
{
    std::size_t floats = between.size() + even.size() + odd.size();

    for (int s = 0; s < stages; ++s)
    {
        const auto& stage = filters[(size_t) s];
        floats += stage.upTaps.size() + stage.downTaps.size();

        for (const auto& phase : stage.upPhases)
            floats += phase.taps.size();

        for (const auto& phase : stage.downPhases)
            floats += phase.taps.size();
    }

    for (const auto& channel : channels)
    {
        floats += channel.padWindow.size();

        for (int s = 0; s < stages; ++s)
            floats += channel.upWindow[(size_t) s].size() + channel.downWindow[(size_t) s].size();
    }

    return floats * sizeof (float);
}

void Oversampler::reset() noexcept
{
    for (auto& channel : channels)
    {
        for (auto& window : channel.upWindow)
            std::fill (window.begin(), window.end(), 0.0f);

        for (auto& window : channel.downWindow)
            std::fill (window.begin(), window.end(), 0.0f);

        std::fill (channel.padWindow.begin(), channel.padWindow.end(), 0.0f);
    }
}

void Oversampler::up (int channelIndex, const float* input, int n, float* output) noexcept
{
    auto& channel = channels[(size_t) channelIndex];
    const float* source = input;
    auto length = n;

    for (int s = 0; s < stages; ++s)
    {
        const auto& stage = filters[(size_t) s];
        auto& window = channel.upWindow[(size_t) s];
        const auto history = stage.upHistory;
        std::memcpy (window.data() + history, source, sizeof (float) * (size_t) length);

        // Each phase's outputs side by side, then interleaved into the next rate.
        std::fill (even.begin(), even.begin() + length, 0.0f);
        std::fill (odd.begin(), odd.begin() + length, 0.0f);

        for (int p = 0; p < 2; ++p)
        {
            const auto& phase = stage.upPhases[(size_t) p];
            VectorMath::firAdd (window.data() + phase.offset, phase.taps.data(), (int) phase.taps.size(),
                                p == 0 ? even.data() : odd.data(), length);
        }

        std::memmove (window.data(), window.data() + length, sizeof (float) * (size_t) history);

        auto* destination = s == stages - 1 ? output : between.data();

        for (int m = 0; m < length; ++m)
        {
            destination[2 * m] = even[(size_t) m];
            destination[2 * m + 1] = odd[(size_t) m];
        }

        source = destination;
        length *= 2;
    }
}

void Oversampler::down (int channelIndex, const float* input, int n, float* output) noexcept
{
    auto& channel = channels[(size_t) channelIndex];
    auto length = n * getFactor();

    // The padding that makes the delay a whole number of base samples, at the top rate.
    auto& pad = channel.padWindow;
    std::memcpy (pad.data() + padding, input, sizeof (float) * (size_t) length);
    const float* source = pad.data();

    for (int s = stages - 1; s >= 0; --s)
    {
        const auto& stage = filters[(size_t) s];
        auto& window = channel.downWindow[(size_t) s];
        const auto history = stage.downHistory;
        std::memcpy (window.data() + history, source, sizeof (float) * (size_t) length);

        const auto outputs = length / 2;
        const auto span = (history + length) / 2;

        for (int i = 0; i < span; ++i)
        {
            even[(size_t) i] = window[(size_t) (2 * i)];
            odd[(size_t) i] = window[(size_t) (2 * i + 1)];
        }

        auto* destination = s == 0 ? output : between.data();
        std::fill (destination, destination + outputs, 0.0f);

        VectorMath::firAdd (even.data() + stage.downPhases[0].offset, stage.downPhases[0].taps.data(),
                            (int) stage.downPhases[0].taps.size(), destination, outputs);
        VectorMath::firAdd (odd.data() + stage.downPhases[1].offset, stage.downPhases[1].taps.data(),
                            (int) stage.downPhases[1].taps.size(), destination, outputs);

        std::memmove (window.data(), window.data() + length, sizeof (float) * (size_t) history);

        // The first stage down reads the padded input, so the pad's window moves on after it.
        if (s == stages - 1)
            std::memmove (pad.data(), pad.data() + length, sizeof (float) * (size_t) padding);

        source = destination;
        length = outputs;
    }
}

//==============================================================================
void LatencyDelay::prepare (int maximumDelay, int numChannels)
{
    // Room for the longest delay behind a whole chunk just written.
    lines.assign ((size_t) std::max (0, numChannels), std::vector<float> ((size_t) (std::max (0, maximumDelay) + kChunkLength), 0.0f));
    writeIndex.assign (lines.size(), 0);
}

void LatencyDelay::reset (float value) noexcept
{
    for (auto& line : lines)
        std::fill (line.begin(), line.end(), value);

    std::fill (writeIndex.begin(), writeIndex.end(), 0);
}

void LatencyDelay::write (int channel, const float* input, int n) noexcept
{
    auto& line = lines[(size_t) channel];
    const auto length = (int) line.size();
    auto index = writeIndex[(size_t) channel];

    for (int i = 0; i < n; ++i)
    {
        line[(size_t) index] = input[i];

        if (++index == length)
            index = 0;
    }

    writeIndex[(size_t) channel] = index;
}

void LatencyDelay::read (int channel, float* output, int n, int delay) const noexcept
{
    const auto& line = lines[(size_t) channel];
    const auto length = (int) line.size();
    auto index = writeIndex[(size_t) channel] - n - delay;

    while (index < 0)
        index += length;

    for (int i = 0; i < n; ++i)
    {
        output[i] = line[(size_t) index];

        if (++index == length)
            index = 0;
    }
}

void LatencyDelay::process (int channel, float* samples, int n, int delay) noexcept
{
    write (channel, samples, n);
    read (channel, samples, n, delay);
}
} // namespace morsello
