// The high quality mode: the oversampler, the fold's antiderivative, the engine's latency and
// quality switch, and the alias figures themselves (on a shorter transform than morsello_alias).

#include "AliasAnalysis.h"

#include "dsp/HighQuality.h"
#include "dsp/MorselloEngine.h"
#include "dsp/VectorMath.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace morsello
{
namespace
{
    // Up then down is a delay by the latency, within the filters' pass-band ripple, for every factor
    // and whatever the chunk lengths: a sum of sines in the band comes back where it should.
    TEST (Oversampler, UpAndDownDelayTheBandByTheLatency)
    {
        for (int stages = 1; stages <= Oversampler::kMaxStages; ++stages)
        {
            Oversampler oversampler;
            oversampler.prepare (stages, 1);
            const auto latency = oversampler.getLatency();
            const auto factor = oversampler.getFactor();

            constexpr int length = 4000;
            std::vector<float> input ((size_t) length), output ((size_t) length);

            for (int i = 0; i < length; ++i)
                input[(size_t) i] = (float) (0.4 * std::sin (0.05 * i) + 0.3 * std::sin (1.3 * i + 0.2) + 0.2 * std::sin (2.4 * i));

            std::vector<float> fast ((size_t) (kChunkLength * factor));
            const int chunkLengths[] { 64, 1, 17, 33, 5, 64, 63 };

            for (int start = 0, c = 0; start < length; ++c)
            {
                const auto n = std::min (chunkLengths[c % 7], length - start);
                oversampler.up (0, input.data() + start, n, fast.data());
                oversampler.down (0, fast.data(), n, output.data() + start);
                start += n;
            }

            float worst = 0.0f;

            for (int i = latency + 200; i < length; ++i)
                worst = std::max (worst, std::abs (output[(size_t) i] - input[(size_t) (i - latency)]));

            EXPECT_LT (worst, 2.0e-4f) << "factor " << factor << ", latency " << latency;
        }
    }

    // The fold in closed form is asin (sin (u)); the fold averaged twice over three arguments is
    // the fold's mean over the triangle they span (worked out by a fine midpoint sum over it), on
    // one straight piece, over corners, with a short step beside a corner, out and back to the
    // same point (exactly and nearly), within a hair of one point, over several periods, and far
    // from 0.
    TEST (TriangleFold, FoldAveragedTwiceIsTheFoldsMeanOverTheArgumentsTriangle)
    {
        for (double u = -40.0; u <= 40.0; u += 0.173)
            EXPECT_NEAR (trianglefold::fold (u), std::asin (std::sin (u)), 1.0e-12) << u;

        const auto corner = 0.5 * trianglefold::kPi;
        const std::array<double, 3> cases[] {
            { 0.2, 0.3, 0.45 },                              // one piece
            { 1.4, 1.7, 1.9 },                               // over a corner
            { corner - 0.3, corner + 2.0e-4, corner + 0.4 }, // a short step over it
            { corner - 0.2, corner + 0.2, corner - 0.2 },    // out and back
            { corner - 0.2, corner + 0.3, corner - 0.2 + 5.0e-7 },
            { corner - 3.0e-6, corner + 2.0e-6, corner - 1.0e-6 },
            { corner + 1.0e-4, corner - 4.0e-4, corner + 3.0e-4 },
            { -3.0, 9.0, 2.0 },                              // several periods
            { 100.0, 100.4, 99.9 },
            { 0.7, 0.7, 0.7 },
        };

        for (const auto& [x0, x1, x2] : cases)
        {
            constexpr int parts = 1500;
            double sum = 0.0;
            int points = 0;

            for (int a = 0; a < parts; ++a)
                for (int b = 0; a + b < parts; ++b)
                {
                    // The midpoints of a grid of small triangles, weighted as the triangles are.
                    for (const auto& [s, t] : { std::pair { (a + 1.0 / 3.0) / parts, (b + 1.0 / 3.0) / parts },
                                                std::pair { (a + 2.0 / 3.0) / parts, (b + 2.0 / 3.0) / parts } })
                        if (s + t < 1.0)
                        {
                            sum += trianglefold::fold (x0 + s * (x1 - x0) + t * (x2 - x0));
                            ++points;
                        }
                }

            EXPECT_NEAR (trianglefold::averagedTwice (x0, x1, x2), sum / points, 2.0e-6) << x0 << ", " << x1 << ", " << x2;
        }
    }

    std::vector<const VectorMath::Functions*> kernelsToCompare()
    {
        std::vector<const VectorMath::Functions*> kernels { &VectorMath::Kernels::sse2() };

        if (__builtin_cpu_supports ("avx2"))
            kernels.push_back (&VectorMath::Kernels::avx2());

        if (__builtin_cpu_supports ("avx512f"))
            kernels.push_back (&VectorMath::Kernels::avx512());

        return kernels;
    }

    // The wavefold's vector kernels give trianglefold::averagedTwice bit for bit on every
    // instruction set this processor runs (and so do the platform's), whichever case each value
    // takes (one piece, a corner, a short step beside one, out and back) and at every run length
    // (the tail after the last whole batch), and write nothing past the run.
    TEST (TriangleFold, VectorAveragesAreTheScalarAveragesOnEveryInstructionSet)
    {
        std::vector<float> inputs;

        for (int k = 0; k < 60; ++k)
        {
            const auto base = (float) (2.3 * std::sin (0.61 * k));
            inputs.push_back (base);
            inputs.push_back (k % 3 == 0 ? base + 2.0e-5f : base); // a short step, or none
            inputs.push_back (k % 4 == 0 ? base : base - 0.09f * (float) (k % 5)); // out and back
        }

        auto kernels = kernelsToCompare();
        kernels.push_back (&VectorMath::Kernels::scalar());
        constexpr float drive = 16.0f, bias = 0.3f;

        for (const auto* kernel : kernels)
        {
            for (int start = 0; start < 3; ++start)
            {
                for (int count = 0; count <= 40; ++count)
                {
                    const auto* const input = inputs.data() + start;
                    std::vector<double> arguments ((size_t) count + 2), integrals ((size_t) count + 2), averages ((size_t) count);
                    std::vector<float> output ((size_t) count + 1, 42.0f);
                    kernel->foldArguments (input, count + 2, drive, bias, arguments.data(), integrals.data());
                    kernel->foldSecondAverages (arguments.data(), integrals.data(), 0.25, averages.data(), output.data(), count);

                    for (int i = 0; i < count; ++i)
                    {
                        const auto x = [&] (int k)
                        { return (double) (drive * input[i + k] + bias); };
                        const auto expected = (float) ((trianglefold::averagedTwice (x (0), x (1), x (2)) - 0.25) * (1.0 / trianglefold::kPi));
                        ASSERT_EQ (output[(size_t) i], expected) << kernel->name << ", count " << count << ", value " << i;
                    }

                    ASSERT_EQ (output.back(), 42.0f) << kernel->name << " wrote past the end";
                }
            }
        }
    }

    // The drive's averaged curve: every instruction set gives the same bits, at every run length,
    // and each value is the curve's mean over its step (a fine midpoint sum of the curve) for long
    // steps, short ones and none, with and without an offset, to a relative 1e-5 for a quiet
    // signal as for a loud one (a difference of log cosh values in float loses a quiet signal's
    // digits); nothing is written past the run.
    TEST (DriveCurve, VectorAveragesAreTheCurvesMeanOverEachStepOnEveryInstructionSet)
    {
        struct Case
        {
            float amplitude, offset, gain;
        };

        for (const auto& [amplitude, offset, gain] : { Case { 0.8f, 0.0f, 19.0f }, Case { 0.8f, 0.2f, 3.0f }, Case { 1.0e-3f, 0.0f, 1.0f }, Case { 1.0e-3f, 0.0f, 19.0f } })
        {
            SCOPED_TRACE (testing::Message() << "amplitude " << amplitude << ", offset " << offset << ", gain " << gain);
            std::vector<float> inputs;

            for (int k = 0; k < 100; ++k) // now and then a short step, or none
                inputs.push_back (k % 7 == 6 ? inputs.back() + amplitude * 1.0e-5f : k % 11 == 10 ? inputs.back() : amplitude * (float) std::sin (0.37 * k));

            auto offsetShape = offset * gain;
            VectorMath::Kernels::sse2().tanhFloat (&offsetShape, 1);

            auto run = [&] (const VectorMath::Functions& kernel, int count)
            {
                std::vector<float> arguments ((size_t) count + 1), output ((size_t) count + 1, 42.0f);
                arguments[0] = (inputs[0] + offset) * gain;
                kernel.driveAverages (inputs.data() + 1, count, offset, gain, offsetShape, arguments.data(), output.data());
                EXPECT_EQ (output.back(), 42.0f) << kernel.name << " wrote past the end";
                output.pop_back();
                return output;
            };

            const auto reference = run (VectorMath::Kernels::sse2(), 90);

            for (const auto* kernel : kernelsToCompare())
                for (int count = 0; count <= 70; ++count)
                {
                    const auto output = run (*kernel, count);

                    for (int i = 0; i < count; ++i)
                        ASSERT_EQ (output[(size_t) i], reference[(size_t) i]) << kernel->name << ", count " << count << ", value " << i;
                }

            for (size_t i = 0; i < reference.size(); ++i)
            {
                const auto from = (double) ((inputs[i] + offset) * gain), to = (double) ((inputs[i + 1] + offset) * gain);
                constexpr int parts = 20000;
                double sum = 0.0;

                for (int k = 0; k < parts; ++k)
                    sum += std::tanh (from + (to - from) * (k + 0.5) / parts);

                const auto expected = (sum / parts - offsetShape) / gain;
                EXPECT_NEAR (reference[i], expected, 1.0e-5 * std::abs (expected) + 1.0e-9) << "step " << i << " from " << from << " to " << to;
            }
        }
    }

    // With every layer's wet amount at 0, each layer hands on its input, so in "high" the output is
    // the "standard" output delayed by exactly the reported latency, whichever kinds run (the
    // oversampled ones delay their dry side, the others are padded), at bite 1 and at bite 0.5
    // (where a dry side out of line would comb).
    TEST (HighQualityEngine, EveryChainOfKindsIsDelayedByTheReportedLatency)
    {
        constexpr double rate = 44100.0;
        constexpr int blockSize = 128, length = 6000;
        const auto latency = MorselloEngine::latencyOf (Quality::high);
        ASSERT_GT (latency, 0);

        auto render = [&] (const EngineSettings& settings, Quality quality)
        {
            auto engine = std::make_unique<MorselloEngine>();
            engine->setQuality (quality);
            engine->prepare (rate, blockSize, 2, settings);
            EXPECT_EQ (engine->getLatency(), quality == Quality::high ? latency : 0);
            std::vector<float> output;
            juce::AudioBuffer<float> block (2, blockSize);

            for (int start = 0; start < length; start += blockSize)
            {
                for (int i = 0; i < blockSize; ++i)
                    for (int channel = 0; channel < 2; ++channel)
                        block.setSample (channel, i, (float) (0.3 * std::sin (0.021 * (start + i) + channel) + 0.2 * std::sin (0.31 * (start + i))));

                engine->process (block, settings);

                for (int i = 0; i < blockSize; ++i)
                    output.push_back (block.getSample (1, i));
            }

            return output;
        };

        // bread kinds: filter, drive, ring mod, wavefold; filling kinds: delay, ring mod, wavefold.
        for (const auto breadKind : { 0, 1, 9, 10 })
        {
            for (const auto fillingKind : { 2, 5, 6 })
            {
                for (const auto bite : { 1.0f, 0.5f })
                {
                    auto settings = alias::neutralSettings();
                    settings[ParameterIndex::breadType] = (float) breadKind;
                    settings[ParameterIndex::fillingType] = (float) fillingKind;
                    settings[ParameterIndex::bite] = bite;

                    const auto standard = render (settings, Quality::standard);
                    const auto high = render (settings, Quality::high);
                    float worst = 0.0f;

                    for (size_t i = 2000; i + (size_t) latency < high.size(); ++i)
                        worst = std::max (worst, std::abs (high[i + (size_t) latency] - standard[i]));

                    EXPECT_LT (worst, 1.0e-3f) << "bread kind " << breadKind << ", filling kind " << fillingKind << ", bite " << bite;
                }
            }
        }
    }

    // A change of quality is taken like a jump: the processed signal fades out through the dry one,
    // the new quality comes in, and the dry side glides to its new delay; no sample steps further
    // than the signal itself does, in either direction, and the engine ends in the new quality.
    TEST (HighQualityEngine, ChangingQualityGlidesWithoutAStep)
    {
        auto settings = alias::neutralSettings();
        settings[ParameterIndex::fillingType] = 6.0f; // wavefold, fully wet
        settings[ParameterIndex::fill1] = 0.6f;
        settings[ParameterIndex::fill4] = 1.0f;
        settings[ParameterIndex::bite] = 0.5f;

        constexpr int blockSize = 256;
        auto engine = std::make_unique<MorselloEngine>();
        engine->prepare (48000.0, blockSize, 2, settings);
        juce::AudioBuffer<float> block (2, blockSize);
        float previous = 0.0f, largestStep = 0.0f, largestSteadyStep = 0.0f;
        int sample = 0;

        auto run = [&] (int blocks, bool steady)
        {
            for (int b = 0; b < blocks; ++b)
            {
                for (int i = 0; i < blockSize; ++i, ++sample)
                    for (int channel = 0; channel < 2; ++channel)
                        block.setSample (channel, i, (float) (0.5 * std::sin (0.03 * sample)));

                engine->process (block, settings);

                for (int i = 0; i < blockSize; ++i)
                {
                    const auto step = std::abs (block.getSample (0, i) - previous);
                    previous = block.getSample (0, i);
                    ASSERT_TRUE (std::isfinite (previous));
                    (steady ? largestSteadyStep : largestStep) = std::max (steady ? largestSteadyStep : largestStep, step);
                }
            }
        };

        run (60, true);

        for (const auto quality : { Quality::high, Quality::standard, Quality::high })
        {
            engine->setQuality (quality);
            run (40, false);
            EXPECT_EQ (engine->getQualityInUse(), quality);
            EXPECT_EQ (engine->getLatency(), quality == Quality::high ? MorselloEngine::latencyOf (Quality::high) : 0);
        }

        // The steady signal's own steps (the fold's edges included) bound what a switch may do.
        EXPECT_LE (largestStep, 1.05f * largestSteadyStep);
    }

    // The figures morsello_alias reports, on a transform of 16384 samples: every stage at least
    // 30 dB cleaner in "high" than in "standard", the 997 Hz wavefold at -90 dB or below, and every
    // harmonic below 10 kHz that matters (within 60 dB of the fundamental) within 0.5 dB of
    // "standard". (The ring mod's row needs the full second: at this length its many sidebands'
    // lobes cover most of the spectrum; morsello_alias measures it.)
    TEST (HighQualityAliasing, EveryStageMeetsItsTargets)
    {
        constexpr int length = 16384;

        for (const auto& row : alias::measurementRows())
        {
            if (row.carrier > 0.0)
                continue;

            auto figuresFor = [&] (Quality quality)
            {
                const auto output = alias::renderSine (row.settings, quality, row.frequency, length);
                return alias::analyse (alias::powerSpectrum (output, alias::radix2Power), row.frequency, alias::kSampleRate, row.carrier);
            };

            const auto standard = figuresFor (Quality::standard);
            const auto high = figuresFor (Quality::high);
            const auto where = row.name + " at " + std::to_string ((int) row.frequency) + " Hz";

            EXPECT_LE (high.aliasDb, standard.aliasDb - 30.0) << where;
            EXPECT_LE (high.worstAliasDb, standard.worstAliasDb - 30.0) << where;

            if (row.frequency == 997.0)
            {
                EXPECT_LE (high.aliasDb, -90.0) << where;
            }

            for (size_t h = 0; h < standard.harmonicDb.size(); ++h)
            {
                if (standard.harmonicHz[h] < 10000.0 && standard.harmonicDb[h] > standard.fundamentalDb - 60.0)
                {
                    EXPECT_NEAR (high.harmonicDb[h], standard.harmonicDb[h], 0.5) << where << ", component at " << standard.harmonicHz[h] << " Hz";
                }
            }
        }
    }
} // namespace
} // namespace morsello
