#include "dsp/VectorMath.h"
#include "processor/PluginProcessor.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

using namespace morsello;

// The whole processBlock, rendered for a set of settings, compared bit for bit with the output
// the engine gave when these values were recorded. The engine's arithmetic is fixed to the last
// bit, so any change here (a reordered float operation, a different maths call, a ramp or a
// transition that moves by one sample, a meter that reads another value) is a change of what the
// plug-in sounds like, whatever the reason for the edit. Speed work must leave every value here
// as it is.
//
// Each case keeps a 64-bit hash of every output sample and every meter reading, and a few sample
// values spread over the render, so that a failure says roughly where and by how much.
namespace
{
using Setup = std::function<void (MorselloAudioProcessor&)>;

struct GoldenProbe
{
    int channel, sample;
    float value;
};

struct GoldenCase
{
    const char* name;
    double sampleRate;
    int preparedBlockSize;
    int numChannels;
    float inputLevel;            // peak of the test signal; above 1 it drives the limiter
    std::vector<int> blockSizes; // cycled until the render is long enough
    Setup before;                // settings for the first half (applied before prepare)
    Setup middle;                // applied between two blocks halfway through
    uint64_t expectedHash;
    std::vector<GoldenProbe> expectedProbes;
};

constexpr double kRenderSeconds = 1.0;
constexpr int kProbesPerCase = 8;

// Two sines per channel and a little noise: every kind has something to work on, and the
// channels differ so that stereo mix-ups show.
float inputSample (int channel, int64_t index, double sampleRate, float level)
{
    auto noise = (uint32_t) (index * 2654435761u + (uint32_t) channel * 40503u);
    noise ^= noise >> 15;
    noise *= 2246822519u;
    noise ^= noise >> 13;
    const auto t = (double) index / sampleRate;
    const auto tone = 0.6 * std::sin (juce::MathConstants<double>::twoPi * (97.0 + 41.0 * channel) * t)
                      + 0.3 * std::sin (juce::MathConstants<double>::twoPi * 2310.0 * t)
                      + 0.1 * ((double) (noise >> 8) / 8388608.0 - 1.0);
    return (float) (level * tone);
}

// FNV-1a over 32-bit words.
struct Hash
{
    uint64_t value = 14695981039346656037ull;

    void add (float x) noexcept
    {
        uint32_t bits;
        std::memcpy (&bits, &x, sizeof (bits));
        value = (value ^ bits) * 1099511628211ull;
    }
};

struct Render
{
    uint64_t hash = 0;
    std::vector<std::vector<float>> output; // per channel, the whole render
};

Render render (const GoldenCase& c)
{
    MorselloAudioProcessor processor;
    c.before (processor);
    // The plug-in takes mono or stereo; a third channel is a host sending more than it prepared.
    const auto preparedChannels = std::min (c.numChannels, 2);
    processor.setPlayConfigDetails (preparedChannels, preparedChannels, c.sampleRate, c.preparedBlockSize);
    processor.prepareToPlay (c.sampleRate, c.preparedBlockSize);

    const auto totalSamples = (int) (kRenderSeconds * c.sampleRate);
    Render result;
    result.output.assign ((size_t) c.numChannels, std::vector<float> ((size_t) totalSamples));

    Hash hash;
    juce::MidiBuffer midi;
    bool changed = false;
    size_t nextSize = 0;

    for (int start = 0; start < totalSamples;)
    {
        if (! changed && start >= totalSamples / 2)
        {
            c.middle (processor);
            changed = true;
        }

        const auto length = std::min (c.blockSizes[nextSize++ % c.blockSizes.size()], totalSamples - start);
        juce::AudioBuffer<float> block (c.numChannels, length);

        for (int channel = 0; channel < c.numChannels; ++channel)
            for (int i = 0; i < length; ++i)
                block.setSample (channel, i, inputSample (channel, start + i, c.sampleRate, c.inputLevel));

        processor.processBlock (block, midi);

        for (int channel = 0; channel < c.numChannels; ++channel)
            for (int i = 0; i < length; ++i)
            {
                const auto y = block.getSample (channel, i);
                hash.add (y);
                result.output[(size_t) channel][(size_t) (start + i)] = y;
            }

        for (int meter = 0; meter < 4; ++meter)
            hash.add (processor.getLevelMeters().take (meter));

        start += length;
    }

    result.hash = hash.value;
    return result;
}

// Evenly spread over the render, alternating channels, off the block grid.
std::vector<GoldenProbe> probesOf (const Render& r)
{
    std::vector<GoldenProbe> probes;
    const auto length = (int) r.output[0].size();

    for (int p = 0; p < kProbesPerCase; ++p)
    {
        const auto channel = p % (int) r.output.size();
        const auto sample = (int) ((int64_t) length * p / kProbesPerCase) + 37 * p + 11;
        probes.push_back ({ channel, sample, r.output[(size_t) channel][(size_t) sample] });
    }

    return probes;
}

void set (MorselloAudioProcessor& processor, const char* id, float value)
{
    processor.setParameterValue (id, value);
}

Setup recipe (int index)
{
    return [index] (MorselloAudioProcessor& p)
    { p.applyFactoryRecipe (index); };
}

// Both breads of one kind around a filling, every wet amount, the toast and the bite at 1, the
// other knobs in the middle.
Setup heavy (int breadType, int fillingType)
{
    return [=] (MorselloAudioProcessor& p)
    {
        set (p, "breadType", (float) breadType);
        set (p, "breadMode", (float) toIndex (BreadMode::free));
        set (p, "fillingType", (float) fillingType);

        for (const auto* id : { "left1", "left2", "right1", "right2", "fill1", "fill2", "fill3" })
            set (p, id, 0.5f);

        for (const auto* id : { "left3", "right3", "fill4", "toast", "bite" })
            set (p, id, 1.0f);
    };
}

// Small moves of the finishing knobs: ramps without a transition.
Setup nudgeFinishing (float toastStep, float biteStep, float outputDecibels)
{
    return [=] (MorselloAudioProcessor& p)
    {
        set (p, "toast", p.getParameterTree().getRawParameterValue ("toast")->load() + toastStep);
        set (p, "bite", p.getParameterTree().getRawParameterValue ("bite")->load() + biteStep);
        set (p, "output", outputDecibels);
    };
}

Setup nothing()
{
    return [] (MorselloAudioProcessor&) {};
}

const std::vector<int> kOddBlocks { 173, 1, 64, 511, 300, 97 };

// Values recorded from the engine as it was before the speed work on the block pipeline.
std::vector<GoldenCase> goldenCases()
{
    return {
        { "recipe 0, ramps", 48000.0, 512, 2, 0.8f, { 512 }, recipe (0), nudgeFinishing (0.1f, 0.11f, -4.5f), 0x7161dae35fd2f973ull, { { 0, 11, -0x1.becb7ep-6f }, { 1, 6048, 0x1.0a5308p-2f }, { 0, 12085, 0x1.a1131p-5f }, { 1, 18122, 0x1.676e4p-2f }, { 0, 24159, -0x1.7889d6p-2f }, { 1, 30196, -0x1.424796p-4f }, { 0, 36233, 0x1.469144p-5f }, { 1, 42270, 0x1.79ef2ap-6f } } },
        { "recipe 0 to 12, odd blocks", 44100.0, 512, 2, 0.8f, kOddBlocks, recipe (0), recipe (12), 0xeb9dc183270a5623ull, { { 0, 11, -0x1.0ffb84p-4f }, { 1, 5560, 0x1.4871cp-2f }, { 0, 11110, 0x1.1a661p-4f }, { 1, 16659, 0x1.7e0b48p-3f }, { 0, 22209, -0x1.30f522p-3f }, { 1, 27758, -0x1.1e3d9ep-2f }, { 0, 33308, 0x1.79d7e4p-6f }, { 1, 38857, -0x1.a983fcp-4f } } },
        { "recipe 2 to 6", 48000.0, 480, 2, 0.8f, { 480 }, recipe (2), recipe (6), 0x7117107502f10f88ull, { { 0, 11, -0x1.980576p-6f }, { 1, 6048, 0x1.910b18p-3f }, { 0, 12085, 0x1.b4fb0cp-7f }, { 1, 18122, 0x1.1607bcp-2f }, { 0, 24159, -0x1.8aafaep-2f }, { 1, 30196, -0x1.2f3ec4p-3f }, { 0, 36233, 0x1.a1448p-3f }, { 1, 42270, 0x1.b9ca08p-5f } } },
        { "recipe 6, ramps, odd blocks", 44100.0, 512, 2, 0.8f, kOddBlocks, recipe (6), nudgeFinishing (-0.11f, -0.1f, 3.0f), 0x933a940131839b7bull, { { 0, 11, -0x1.0c01d4p-4f }, { 1, 5560, 0x1.5fbd5ep-2f }, { 0, 11110, 0x1.7e55b6p-4f }, { 1, 16659, 0x1.ac3bb8p-3f }, { 0, 22209, -0x1.a5d76cp-3f }, { 1, 27758, -0x1.8d7a7cp-2f }, { 0, 33308, 0x1.04882cp-2f }, { 1, 38857, -0x1.7b5bdep-3f } } },
        { "recipe 12 to 15", 48000.0, 512, 2, 0.8f, { 256, 333 }, recipe (12), recipe (15), 0xbe667f52e11ea34eull, { { 0, 11, -0x1.d81d88p-6f }, { 1, 6048, 0x1.6e55f6p-2f }, { 0, 12085, 0x1.2d6dc4p-5f }, { 1, 18122, 0x1.b41496p-2f }, { 0, 24159, -0x1.f12276p-3f }, { 1, 30196, -0x1.1075a2p-5f }, { 0, 36233, 0x1.583338p-7f }, { 1, 42270, 0x1.5a722cp-7f } } },
        { "recipe 15, loud", 44100.0, 512, 2, 2.5f, kOddBlocks, recipe (15), nudgeFinishing (0.0f, 0.05f, 6.0f), 0x353821d336a41d7bull, { { 0, 11, -0x1.2834fcp-3f }, { 1, 5560, 0x1.4fa0aep-2f }, { 0, 11110, 0x1.fad27p-3f }, { 1, 16659, 0x1.6af588p-3f }, { 0, 22209, -0x1.d6d25ep-2f }, { 1, 27758, -0x1.ab952ep-2f }, { 0, 33308, 0x1.822272p-4f }, { 1, 38857, -0x1.3976c4p-1f } } },
        { "ring mod around ring mod", 48000.0, 512, 2, 0.8f, { 512 }, heavy (9, 5), nudgeFinishing (-0.1f, -0.1f, -1.0f), 0x492b4b613ea37c62ull, { { 0, 11, -0x1.159314p-8f }, { 1, 6048, 0x1.4c8e6ep-3f }, { 0, 12085, 0x1.eb6894p-5f }, { 1, 18122, -0x1.c4c662p-4f }, { 0, 24159, -0x1.5ac8f6p-3f }, { 1, 30196, 0x1.6c87f6p-4f }, { 0, 36233, -0x1.99fd8ap-5f }, { 1, 42270, -0x1.4b8e6ep-6f } } },
        { "ring mod around ring mod, odd blocks", 44100.0, 512, 2, 1.5f, kOddBlocks, heavy (9, 5), heavy (4, 0), 0x41f3a2bd5153b5bbull, { { 0, 11, -0x1.4ea26cp-6f }, { 1, 5560, 0x1.72b3b4p-3f }, { 0, 11110, 0x1.2a2daap-3f }, { 1, 16659, -0x1.27695ep-3f }, { 0, 22209, -0x1.d48906p-4f }, { 1, 27758, -0x1.bf7cd4p-4f }, { 0, 33308, 0x0p+0f }, { 1, 38857, 0x0p+0f } } },
        { "granular around granular", 48000.0, 512, 2, 0.8f, { 512 }, heavy (4, 0), nudgeFinishing (-0.1f, -0.1f, 2.0f), 0x576211949f6972faull, { { 0, 11, 0x0p+0f }, { 1, 6048, 0x0p+0f }, { 0, 12085, 0x0p+0f }, { 1, 18122, 0x0p+0f }, { 0, 24159, -0x1.0663cep-9f }, { 1, 30196, -0x1.3ac672p-6f }, { 0, 36233, 0x1.ee555p-5f }, { 1, 42270, -0x1.0acc48p-5f } } },
        { "granular around granular, odd blocks", 44100.0, 512, 2, 1.5f, kOddBlocks, heavy (4, 0), recipe (8), 0x23c012a2519937a8ull, { { 0, 11, 0x0p+0f }, { 1, 5560, 0x0p+0f }, { 0, 11110, 0x0p+0f }, { 1, 16659, 0x0p+0f }, { 0, 22209, 0x0p+0f }, { 1, 27758, -0x1.28f548p-2f }, { 0, 33308, 0x1.7817e4p-5f }, { 1, 38857, -0x1.93e76ap-4f } } },
        { "smear between drive breads, long blocks in pieces", 48000.0, 200, 2, 1.0f, { 700, 64, 401 }, recipe (6), [] (MorselloAudioProcessor& p)
          { set (p, "fillingType", 4.0f); },
          0x443c99a0616ab450ull,
          { { 0, 11, -0x1.2f25fp-5f }, { 1, 6048, 0x1.694756p-2f }, { 0, 12085, 0x1.e609dep-4f }, { 1, 18122, 0x1.9d5738p-2f }, { 0, 24159, -0x1.17855ep-1f }, { 1, 30196, -0x1.0a8e0ep-3f }, { 0, 36233, 0x1.70addcp-3f }, { 1, 42270, 0x1.cc6778p-4f } } },
        { "mono, recipe 4 to 13", 44100.0, 512, 1, 0.8f, kOddBlocks, recipe (4), recipe (13), 0x402c3219db124d62ull, { { 0, 11, -0x1.87ca76p-5f }, { 0, 5560, 0x1.2ffa74p-2f }, { 0, 11110, 0x1.54d2fep-4f }, { 0, 16659, -0x1.088518p-2f }, { 0, 22209, 0x1.34de6p-5f }, { 0, 27758, 0x1.e31cb8p-4f }, { 0, 33308, 0x1.482966p-3f }, { 0, 38857, 0x1.efe31cp-3f } } },
        { "three channels, recipe 11", 48000.0, 256, 3, 0.8f, { 256, 100 }, recipe (11), nothing(), 0x948abf51de9c50e8ull, { { 0, 11, -0x1.92842p-6f }, { 1, 6048, 0x1.19b976p-3f }, { 2, 12085, 0x1.10c926p-5f }, { 0, 18122, 0x1.1e241p-6f }, { 1, 24159, 0x1.9a86fcp-6f }, { 2, 30196, -0x1.24505p-4f }, { 0, 36233, 0x1.9dac88p-3f }, { 1, 42270, 0x1.b3333p-9f } } },
    };
}

TEST (GoldenOutput, WholeChainRendersAsRecordedBitForBit)
{
    for (const auto& c : goldenCases())
    {
        SCOPED_TRACE (c.name);
        const auto result = render (c);
        const auto probes = probesOf (result);

        // How to record new values after an intended change of the output: the message lists them.
        juce::String actual = juce::String::formatted ("0x%016" PRIx64 "ull, {", result.hash);

        for (const auto& p : probes)
            actual << " { " << p.channel << ", " << p.sample << ", " << juce::String::formatted ("%a", (double) p.value) << "f },";

        actual << " }";

        int firstDifferent = -1;
        float largest = 0.0f;

        for (size_t i = 0; i < probes.size() && i < c.expectedProbes.size(); ++i)
        {
            const auto difference = std::abs (probes[i].value - c.expectedProbes[i].value);

            if (! (difference == 0.0f) && firstDifferent < 0)
                firstDifferent = (int) i;

            largest = std::max (largest, difference);
        }

        EXPECT_EQ (result.hash, c.expectedHash) << "output differs from the recording; probes: "
                                                << (firstDifferent < 0 ? juce::String ("all equal")
                                                                       : "first differing at channel " + juce::String (probes[(size_t) firstDifferent].channel)
                                                                             + " sample " + juce::String (probes[(size_t) firstDifferent].sample)
                                                                             + ", largest difference " + juce::String (largest, 10))
                                                << "\nnow: " << actual;
    }
}
} // namespace

namespace
{
// The vector maths (the layers' and the toast's sines, tanh, arcsines and square roots, a chunk
// at a time in the processor's widest instructions) against the platform's scalar functions, one
// value at a time: every case above (44.1 and 48 kHz, odd block sizes), and the same cases at
// 96 kHz, must stay within 1e-5 of the scalar rendering. A last-bit change in an LFO value may
// move a granular or smear read near 10^5 samples by one float step, up to about 4e-4 at the
// output; such samples are counted and must stay rarer than one in ten thousand. (These renders
// have none, nor any lo-fi quantisation step, which would be larger.)
TEST (GoldenOutput, VectorMathsStaysWithinItsAccuracyOfTheScalarRendering)
{
    auto cases = goldenCases();

    for (auto c : goldenCases())
    {
        c.sampleRate = 96000.0;
        cases.push_back (c);
    }

    constexpr float tolerance = 1.0e-5f, readStep = 4.0e-4f;
    size_t totalSamples = 0, stepSamples = 0;
    float largestWithinTolerance = 0.0f;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.name) + " at " + juce::String (c.sampleRate) + " Hz");
        const auto vector = render (c);
        VectorMath::useScalarPath (true);
        const auto scalar = render (c);
        VectorMath::useScalarPath (false);

        for (size_t channel = 0; channel < vector.output.size(); ++channel)
            for (size_t i = 0; i < vector.output[channel].size(); ++i)
            {
                const auto difference = std::abs (vector.output[channel][i] - scalar.output[channel][i]);
                ++totalSamples;

                if (difference <= tolerance)
                    largestWithinTolerance = std::max (largestWithinTolerance, difference);
                else
                {
                    ++stepSamples;
                    EXPECT_LE (difference, readStep) << "channel " << channel << " sample " << i;
                }
            }
    }

    EXPECT_LT ((double) stepSamples * 10000.0, (double) totalSamples);

    std::printf ("vector maths (%s) against scalar: largest difference %.3g, %zu of %zu samples beyond 1e-5\n",
                 VectorMath::instructionSet(), (double) largestWithinTolerance, stepSamples, totalSamples);
}
} // namespace
