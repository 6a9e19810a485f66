// The high quality mode: the oversampler, the fold's antiderivative, the engine's latency and
// quality switch, and the alias figures themselves (on a shorter transform than morsello_alias).

#include "AliasAnalysis.h"

#include "dsp/HighQuality.h"
#include "dsp/MorselloEngine.h"
#include "dsp/VectorMath.h"

#include <gtest/gtest.h>

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

    // The fold in closed form is asin (sin (u)), and the averaged fold is the mean of the fold along
    // the step (worked out by a fine midpoint sum), for tiny steps, steps over a corner and steps
    // over several periods, near 0 and far from it.
    TEST (TriangleFold, AveragedFoldIsTheFoldsMeanAlongTheStep)
    {
        for (double u = -40.0; u <= 40.0; u += 0.173)
            EXPECT_NEAR (trianglefold::fold (u), std::asin (std::sin (u)), 1.0e-12) << u;

        const std::pair<double, double> steps[] { { 0.1, 0.1 + 1.0e-9 }, { 0.2, 0.3 }, { 1.5, 1.7 }, { -1.6, -1.5 }, { -3.0, 9.0 }, { 100.0, 100.4 }, { 5.0, 4.0 }, { 0.7, 0.7 } };

        for (const auto& [from, to] : steps)
        {
            constexpr int parts = 200000;
            double sum = 0.0;

            for (int k = 0; k < parts; ++k)
                sum += trianglefold::fold (from + (to - from) * (k + 0.5) / parts);

            EXPECT_NEAR (trianglefold::averaged (from, to), sum / parts, 1.0e-6) << from << " to " << to;
        }
    }

    // The wavefold's vector kernel for the averages gives trianglefold::averaged bit for bit on
    // every instruction set this processor runs, whichever step each value sits in (close steps
    // take the midpoint fold, the others the quotient) and at every run length (the tail after
    // the last whole batch), and writes nothing past the run.
    TEST (TriangleFold, VectorAveragesAreTheScalarAveragesOnEveryInstructionSet)
    {
        std::vector<double> arguments;

        for (int k = 0; k < 48; ++k)
        {
            const auto base = 37.0 * std::sin (0.61 * k);
            arguments.push_back (base);
            arguments.push_back (k % 3 == 0 ? base + 4.0e-7 : base); // a close step, or none
            arguments.push_back (base - 0.9 * (k % 5));
        }

        std::vector<const VectorMath::Functions*> kernels { &VectorMath::Kernels::scalar(), &VectorMath::Kernels::sse2() };

        if (__builtin_cpu_supports ("avx2"))
            kernels.push_back (&VectorMath::Kernels::avx2());

        if (__builtin_cpu_supports ("avx512f"))
            kernels.push_back (&VectorMath::Kernels::avx512());

        for (const auto* kernel : kernels)
        {
            for (int start = 0; start < 3; ++start)
            {
                for (int count = 0; count <= 40; ++count)
                {
                    const auto* const x = arguments.data() + start;
                    std::vector<double> integrals (x, x + count + 1), averages ((size_t) count + 1, 42.0);
                    kernel->foldAntiderivativeDouble (integrals.data(), count + 1);
                    kernel->foldAveragesDouble (x, integrals.data(), averages.data(), count);

                    for (int i = 0; i < count; ++i)
                        ASSERT_EQ (averages[(size_t) i], trianglefold::averaged (x[i], x[i + 1])) << kernel->name << ", count " << count << ", value " << i;

                    ASSERT_EQ (averages.back(), 42.0) << kernel->name << " wrote past the end";
                }
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
