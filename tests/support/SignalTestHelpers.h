#pragma once

#include "dsp/EffectEngine.h"
#include "dsp/VectorMath.h"

#include <gtest/gtest.h>
#include <juce_audio_basics/juce_audio_basics.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <vector>

namespace morsello
{
// Signals and comparisons shared by the audio-engine tests.
namespace signaltest
{
// The sample rate most engine tests run at.
inline constexpr double kRate = 48000.0;

// A prepared, reset slot. Slots are large (a framework reverb and four lines of up to seconds),
// so they live on the heap.
inline std::unique_ptr<EffectSlot> makePreparedSlot (double sampleRate = kRate)
{
    auto slot = std::make_unique<EffectSlot>();
    slot->prepare (sampleRate);
    slot->reset();
    return slot;
}

// Two detuned sines and a little deterministic noise, different on every channel, peaking
// near `level`: enough movement for every kind to show what it does.
inline juce::AudioBuffer<float> makeTestSignal (int numChannels, int numSamples, double sampleRate, float level = 0.8f)
{
    juce::AudioBuffer<float> buffer (numChannels, numSamples);
    uint32_t noise = 12345u;

    for (int channel = 0; channel < numChannels; ++channel)
    {
        auto* samples = buffer.getWritePointer (channel);
        const auto low = 110.0 * (1.0 + 0.13 * channel);
        const auto high = 1870.0 * (1.0 - 0.07 * channel);

        for (int i = 0; i < numSamples; ++i)
        {
            noise = noise * 1664525u + 1013904223u;
            const auto t = i / sampleRate;
            const auto value = 0.6 * std::sin (juce::MathConstants<double>::twoPi * low * t)
                               + 0.3 * std::sin (juce::MathConstants<double>::twoPi * high * t)
                               + 0.1 * ((double) (noise >> 8) / 8388608.0 - 1.0);
            samples[i] = (float) (level * value);
        }
    }

    return buffer;
}

inline juce::AudioBuffer<float> makeConstant (int numChannels, int numSamples, float value)
{
    juce::AudioBuffer<float> buffer (numChannels, numSamples);

    for (int channel = 0; channel < numChannels; ++channel)
        juce::FloatVectorOperations::fill (buffer.getWritePointer (channel), value, numSamples);

    return buffer;
}

inline juce::AudioBuffer<float> makeImpulse (int numChannels, int numSamples, float value = 1.0f)
{
    juce::AudioBuffer<float> buffer (numChannels, numSamples);
    buffer.clear();

    for (int channel = 0; channel < numChannels; ++channel)
        buffer.setSample (channel, 0, value);

    return buffer;
}

// Runs `process` over consecutive pieces of `buffer` whose lengths cycle through `blockSizes`.
// Each piece refers to the buffer's own memory, as a host block would.
template <typename Process>
void processInBlocks (juce::AudioBuffer<float>& buffer, std::initializer_list<int> blockSizes, Process&& process)
{
    const std::vector<int> sizes (blockSizes);
    size_t next = 0;

    for (int start = 0; start < buffer.getNumSamples();)
    {
        const auto length = std::min (sizes[next++ % sizes.size()], buffer.getNumSamples() - start);
        juce::AudioBuffer<float> piece (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), start, length);
        process (piece);
        start += length;
    }
}

// Passes when every sample of every channel agrees within `tolerance`; otherwise says where the
// first disagreement is and how large the largest one is.
inline testing::AssertionResult samplesMatch (const juce::AudioBuffer<float>& actual,
                                              const juce::AudioBuffer<float>& expected,
                                              float tolerance)
{
    if (actual.getNumChannels() != expected.getNumChannels() || actual.getNumSamples() != expected.getNumSamples())
        return testing::AssertionFailure() << "shapes differ: " << actual.getNumChannels() << " x " << actual.getNumSamples()
                                           << " against " << expected.getNumChannels() << " x " << expected.getNumSamples();

    int firstChannel = -1, firstSample = -1;
    double maxDifference = 0.0;
    int differing = 0;

    for (int channel = 0; channel < actual.getNumChannels(); ++channel)
    {
        for (int i = 0; i < actual.getNumSamples(); ++i)
        {
            const auto a = actual.getSample (channel, i);
            const auto e = expected.getSample (channel, i);
            const auto difference = std::abs ((double) a - (double) e);
            const auto bothNaN = std::isnan (a) && std::isnan (e);

            if (! bothNaN && (! (difference <= tolerance) || std::isnan (a) != std::isnan (e)))
            {
                if (firstSample < 0 || i < firstSample)
                {
                    firstChannel = channel;
                    firstSample = i;
                }

                ++differing;
            }

            if (! std::isnan (difference))
                maxDifference = std::max (maxDifference, difference);
        }
    }

    if (differing == 0)
        return testing::AssertionSuccess();

    return testing::AssertionFailure() << differing << " samples differ by more than " << tolerance
                                       << "; first at channel " << firstChannel << ", sample " << firstSample
                                       << " (got " << actual.getSample (firstChannel, firstSample)
                                       << ", expected " << expected.getSample (firstChannel, firstSample)
                                       << "); max difference " << maxDifference;
}

// How close the engine's vector maths must keep a rendering to the same rendering with the
// platform's scalar functions (or the per-sample reference formulas): within 1e-5 everywhere,
// except that a last-bit change upstream may move a delay-line read by one float step or a
// lo-fi sample by one quantisation step. Such samples may differ by up to `exceptionSize` (0:
// none allowed) and must stay rarer than one in ten thousand.
inline testing::AssertionResult withinVectorAccuracy (const juce::AudioBuffer<float>& actual,
                                                      const juce::AudioBuffer<float>& expected,
                                                      float exceptionSize)
{
    constexpr float tolerance = 1.0e-5f;

    if (actual.getNumChannels() != expected.getNumChannels() || actual.getNumSamples() != expected.getNumSamples())
        return testing::AssertionFailure() << "shapes differ";

    int exceptions = 0, total = 0;
    double largest = 0.0;

    for (int channel = 0; channel < actual.getNumChannels(); ++channel)
        for (int i = 0; i < actual.getNumSamples(); ++i)
        {
            const auto difference = std::abs ((double) actual.getSample (channel, i) - (double) expected.getSample (channel, i));
            ++total;

            if (! (difference <= tolerance))
            {
                if (! (difference <= exceptionSize))
                    return testing::AssertionFailure() << "channel " << channel << " sample " << i << " differs by "
                                                       << difference << ", more than " << std::max (tolerance, exceptionSize);

                ++exceptions;
            }

            largest = std::max (largest, difference);
        }

    if ((double) exceptions * 10000.0 >= (double) total && exceptions > 0)
        return testing::AssertionFailure() << exceptions << " of " << total << " samples differ by more than " << tolerance;

    return testing::AssertionSuccess() << "largest difference " << largest << ", " << exceptions << " of " << total
                                       << " samples beyond " << tolerance;
}

// Runs its scope on the platform's scalar maths functions or on the vector kernels, and goes
// back to the vector kernels at its end.
struct ScopedMathsPath
{
    explicit ScopedMathsPath (bool scalar) noexcept { VectorMath::useScalarPath (scalar); }
    ~ScopedMathsPath() { VectorMath::useScalarPath (false); }

    ScopedMathsPath (const ScopedMathsPath&) = delete;
    ScopedMathsPath& operator= (const ScopedMathsPath&) = delete;
};

inline testing::AssertionResult bitIdentical (const juce::AudioBuffer<float>& actual, const juce::AudioBuffer<float>& expected)
{
    return samplesMatch (actual, expected, 0.0f);
}

inline float peakDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b, int channel)
{
    float peak = 0.0f;

    for (int i = 0; i < a.getNumSamples(); ++i)
        peak = std::max (peak, std::abs (a.getSample (channel, i) - b.getSample (channel, i)));

    return peak;
}

inline bool allFinite (const juce::AudioBuffer<float>& buffer)
{
    for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (! std::isfinite (buffer.getSample (channel, i)))
                return false;

    return true;
}

inline float peakOf (const juce::AudioBuffer<float>& buffer)
{
    float peak = 0.0f;

    for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            peak = std::max (peak, std::abs (buffer.getSample (channel, i)));

    return peak;
}
} // namespace signaltest
} // namespace morsello
