// Speed of every layer kind and of the whole engine, at 48 kHz stereo in 512-sample
// blocks, on the vector maths kernels and on the platform's scalar functions (the scalar path)
// in the same run. Each kind is set beside its floors: a loop of only the maths-library calls
// that the kind's formulas make per sample, on the same audio, made one at a time with the scalar
// functions and a chunk at a time with the vector kernels, so "kind / vector floor" says how much
// the kind spends beyond what its formulas force. Run build/bench/morsello_bench (see docs/performance.md).

#include "dsp/BreadLayer.h"
#include "dsp/MorselloEngine.h"
#include "dsp/VectorMath.h"
#include "processor/Parameters.h"
#include "processor/programs/FactoryRecipes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace morsello
{
namespace
{
constexpr double kSampleRate = 48000.0;
constexpr int kBlockSize = 512;
constexpr int kNumChannels = 2;
constexpr int kSourceBlocks = 94; // about one second of source audio, cycled
constexpr double kTwoPi = juce::MathConstants<double>::twoPi;

// Names of the companions of a case: the same case on the scalar maths path, its floor (the
// platform's scalar calls) and its vector floor (the same calls through the vector kernels).
const std::string kScalarSuffix = " (scalar maths)", kFloorSuffix = "/floor", kVectorFloorSuffix = "/vector floor";

// Knob settings: the middle of every knob, wet amount at 1 (a bread in the effect engine gets
// its k3 from kBreadRoutes).
constexpr float kKnob1 = 0.5f, kKnob2 = 0.5f, kKnob3 = 0.5f, kAmount = 1.0f;

//==============================================================================
// Fresh audio for every block: a second of two sines and noise, handed out block by block.
class BlockFeeder
{
public:
    BlockFeeder() : source (kNumChannels, kBlockSize * kSourceBlocks), block (kNumChannels, kBlockSize)
    {
        uint32_t noise = 1u;

        for (int channel = 0; channel < kNumChannels; ++channel)
        {
            for (int i = 0; i < source.getNumSamples(); ++i)
            {
                noise = noise * 1664525u + 1013904223u;
                const auto t = i / kSampleRate;
                source.setSample (channel, i, (float) (0.5 * std::sin (kTwoPi * (110.0 + 30.0 * channel) * t) + 0.25 * std::sin (kTwoPi * 1870.0 * t) + 0.05 * ((double) (noise >> 8) / 8388608.0 - 1.0)));
            }
        }
    }

    juce::AudioBuffer<float>& next() noexcept
    {
        for (int channel = 0; channel < kNumChannels; ++channel)
            block.copyFrom (channel, 0, source, channel, kBlockSize * position, kBlockSize);

        position = (position + 1) % kSourceBlocks;
        return block;
    }

private:
    juce::AudioBuffer<float> source, block;
    int position = 0;
};

void reportRealTimeFactor (benchmark::State& state)
{
    state.counters["realtime"] = benchmark::Counter ((double) state.iterations() * kBlockSize / kSampleRate,
                                                     benchmark::Counter::kIsRate);
}

//==============================================================================
// The maths-library calls each kind must make per sample, with the arguments formed as the
// kind forms them. Kinds that make none (filter, echo, delay, lo-fi, resonator, and the
// framework's reverb) have no floor.
enum class Floor
{
    none,
    tanhPerChannel,           // drive: tanh ((x + b) u)
    sinePerSample,            // chorus, smear: one double sine shared by both channels
    sineAndRootsPerSample,    // granular: one double sine and two float square roots
    sineAndTanhPerChannel,    // ring mod: a double sine and a float tanh on each channel
    sineAndArcsinePerChannel, // wavefold: a float sine and a float arcsine on each channel
    sinePerChannel            // orbit: a double sine on each channel
};

float runFloor (Floor floor, const juce::AudioBuffer<float>& block, double& phase, double increment) noexcept
{
    const auto* const* channels = block.getArrayOfReadPointers();
    float sum = 0.0f;

    for (int i = 0; i < kBlockSize; ++i)
    {
        switch (floor)
        {
            case Floor::tanhPerChannel:
            {
                const auto gain = kKnob1 * 18.0f + 1.0f, offset = (kKnob2 - 0.5f) * 0.12f;

                for (int channel = 0; channel < kNumChannels; ++channel)
                    sum += std::tanh ((channels[channel][i] + offset) * gain);

                break;
            }

            case Floor::sinePerSample:
                sum += (float) std::sin (kTwoPi * phase);
                break;

            case Floor::sineAndRootsPerSample:
            {
                const auto v = (float) (0.5 + 0.5 * std::sin (kTwoPi * phase));
                sum += std::sqrt (v) + std::sqrt (1.0f - v);
                break;
            }

            case Floor::sineAndTanhPerChannel:
                for (int channel = 0; channel < kNumChannels; ++channel)
                {
                    const auto s = (float) std::sin (kTwoPi * (phase + 0.5 * kKnob3 * channel));
                    sum += std::tanh (5.0f * s) * channels[channel][i];
                }

                break;

            case Floor::sineAndArcsinePerChannel:
            {
                const auto drive = 1.0f + 15.0f * kKnob1, bias = 1.5f * (kKnob2 - 0.5f);

                for (int channel = 0; channel < kNumChannels; ++channel)
                    sum += std::asin (std::sin (drive * channels[channel][i] + bias));

                break;
            }

            case Floor::sinePerChannel:
                for (int channel = 0; channel < kNumChannels; ++channel)
                    sum += (float) std::sin (kTwoPi * (phase + 0.5 * kKnob3 * channel)) * channels[channel][i];

                break;

            case Floor::none:
            default:
                break;
        }

        // The phase advances as the kinds advance theirs: one comparison, no library call.
        phase += increment;

        if (phase >= 1.0)
            phase -= 1.0;
    }

    return sum;
}

// The same calls through the vector kernels, a chunk of 64 samples at a time, as the kinds now
// make them: the floor of the vector path.
float runVectorFloor (Floor floor, const juce::AudioBuffer<float>& block, double& phase, double increment) noexcept
{
    constexpr int chunk = 64;
    const auto* const* channels = block.getArrayOfReadPointers();
    float sum = 0.0f;
    std::array<double, chunk> phases {}, sines {};
    std::array<float, chunk> a {}, b {};

    for (int start = 0; start < kBlockSize; start += chunk)
    {
        for (size_t i = 0; i < (size_t) chunk; ++i)
        {
            phases[i] = phase;
            phase += increment;

            if (phase >= 1.0)
                phase -= 1.0;
        }

        switch (floor)
        {
            case Floor::tanhPerChannel:
            {
                const auto gain = kKnob1 * 18.0f + 1.0f, offset = (kKnob2 - 0.5f) * 0.12f;

                for (int channel = 0; channel < kNumChannels; ++channel)
                {
                    for (size_t i = 0; i < (size_t) chunk; ++i)
                        a[i] = (channels[channel][start + (int) i] + offset) * gain;

                    VectorMath::tanhInPlace (a.data(), chunk);
                    sum += a[0] + a[chunk - 1];
                }

                break;
            }

            case Floor::sinePerSample:
            case Floor::sineAndRootsPerSample:
                for (size_t i = 0; i < (size_t) chunk; ++i)
                    sines[i] = kTwoPi * phases[i];

                VectorMath::sinInPlace (sines.data(), chunk);

                for (size_t i = 0; i < (size_t) chunk; ++i)
                {
                    a[i] = (float) (0.5 + 0.5 * sines[i]);
                    b[i] = 1.0f - a[i];
                }

                if (floor == Floor::sineAndRootsPerSample)
                {
                    VectorMath::sqrtInPlace (a.data(), chunk);
                    VectorMath::sqrtInPlace (b.data(), chunk);
                }

                sum += a[0] + b[chunk - 1];
                break;

            case Floor::sineAndTanhPerChannel:
            case Floor::sinePerChannel:
                for (int channel = 0; channel < kNumChannels; ++channel)
                {
                    for (size_t i = 0; i < (size_t) chunk; ++i)
                        sines[i] = kTwoPi * (phases[i] + 0.5 * kKnob3 * channel);

                    VectorMath::sinInPlace (sines.data(), chunk);

                    for (size_t i = 0; i < (size_t) chunk; ++i)
                        a[i] = 5.0f * (float) sines[i];

                    if (floor == Floor::sineAndTanhPerChannel)
                        VectorMath::tanhInPlace (a.data(), chunk);

                    sum += a[0] + a[chunk - 1];
                }

                break;

            case Floor::sineAndArcsinePerChannel:
            {
                const auto drive = 1.0f + 15.0f * kKnob1, bias = 1.5f * (kKnob2 - 0.5f);

                for (int channel = 0; channel < kNumChannels; ++channel)
                {
                    for (size_t i = 0; i < (size_t) chunk; ++i)
                        a[i] = drive * channels[channel][start + (int) i] + bias;

                    VectorMath::sinInPlace (a.data(), chunk);
                    VectorMath::asinInPlace (a.data(), chunk);
                    sum += a[0] + a[chunk - 1];
                }

                break;
            }

            case Floor::none:
            default:
                break;
        }
    }

    return sum;
}

//==============================================================================
struct LayerCase
{
    std::string name; // "bread/filter", "filling/ring mod", ...
    bool isBread;
    int kind; // breadType or fillingType
    Floor floor;
    double floorRate; // oscillator rate of the kind at the benchmark's knobs, in Hz
};

std::vector<LayerCase> layerCases()
{
    // The LFO rates at knob 2 = 0.5 (delay-line kinds: 0.03 + 3.2 k2), the tonal oscillators
    // at knob 1 = 0.5 (ring mod 12 * 100^k1, orbit 0.05 * 320^k1), the chorus at knob 1 = 0.5.
    const auto delayLfo = 0.03 + 3.2 * kKnob2;
    const auto ringCarrier = 12.0 * std::pow (100.0, (double) kKnob1);
    const auto orbitRate = 0.05 * std::pow (320.0, (double) kKnob1);
    const auto chorusRate = kKnob1 * 2.5 + 0.04;

    const Floor engineFloors[] { Floor::sineAndRootsPerSample, Floor::none, Floor::none, Floor::none, Floor::sinePerSample,
                                 Floor::sineAndTanhPerChannel, Floor::sineAndArcsinePerChannel, Floor::none, Floor::sinePerChannel };
    const double engineRates[] { delayLfo, 0.0, delayLfo, delayLfo, delayLfo, ringCarrier, 0.0, 0.0, orbitRate };

    std::vector<LayerCase> cases {
        { "bread/filter", true, toIndex (BreadType::filter), Floor::none, 0.0 },
        { "bread/drive", true, toIndex (BreadType::drive), Floor::tanhPerChannel, 0.0 },
        { "bread/chorus", true, toIndex (BreadType::chorus), Floor::sinePerSample, chorusRate },
        { "bread/echo", true, toIndex (BreadType::echo), Floor::none, 0.0 },
    };

    for (int kind = toIndex (BreadType::firstEngine); kind < kBreadTypeNames.size(); ++kind)
        cases.push_back ({ "bread/" + kBreadTypeNames[kind].toStdString(), true, kind,
                           engineFloors[kind - toIndex (BreadType::firstEngine)], engineRates[kind - toIndex (BreadType::firstEngine)] });

    for (int kind = 0; kind < kFillingTypeNames.size(); ++kind)
        cases.push_back ({ "filling/" + kFillingTypeNames[kind].toStdString(), false, kind, engineFloors[kind], engineRates[kind] });

    return cases;
}

// One layer kind, prepared and reset, run as the engine runs it: a bread through the same
// routing function, a filling through the effect engine.
class PreparedLayer
{
public:
    explicit PreparedLayer (const LayerCase& layerCase) : layer (layerCase)
    {
        bread.prepare (kSampleRate);
        bread.reset();
        slot->prepare (kSampleRate);
        slot->reset();
    }

    void run (juce::AudioBuffer<float>& block) noexcept
    {
        if (layer.isBread)
            runBreadLayer (block, bread, *slot, layer.kind, { kKnob1, kKnob2, kAmount });
        else
            EffectEngine::process (block, *slot, (EffectKind) layer.kind, { kKnob1, kKnob2, kKnob3, kAmount });
    }

private:
    const LayerCase& layer;
    BreadState bread;
    std::unique_ptr<EffectSlot> slot = std::make_unique<EffectSlot>();
};

void benchmarkLayer (benchmark::State& state, const LayerCase& layer, bool scalarMaths)
{
    const juce::ScopedNoDenormals noDenormals;
    VectorMath::useScalarPath (scalarMaths);
    BlockFeeder feeder;
    PreparedLayer prepared (layer);

    for (auto _ : state)
    {
        auto& block = feeder.next();
        prepared.run (block);

        benchmark::DoNotOptimize (block.getReadPointer (0));
        benchmark::ClobberMemory();
    }

    VectorMath::useScalarPath (false);
    reportRealTimeFactor (state);
}

void benchmarkFloor (benchmark::State& state, const LayerCase& layer, bool vector)
{
    const juce::ScopedNoDenormals noDenormals;
    BlockFeeder feeder;
    double phase = 0.0;
    const auto increment = layer.floorRate / kSampleRate;

    for (auto _ : state)
    {
        auto sum = vector ? runVectorFloor (layer.floor, feeder.next(), phase, increment)
                          : runFloor (layer.floor, feeder.next(), phase, increment);
        benchmark::DoNotOptimize (sum);
    }

    reportRealTimeFactor (state);
}

//==============================================================================
// Silence after a loud passage, against silence from a reset state. A decaying tail (a one-pole
// memory, a delay line's feedback, the reverb's combs) falls into the subnormal range when
// nothing flushes it, where every operation on it can cost many times a normal one. The engine
// runs its blocks with flush-to-zero and denormals-are-zero set (juce::ScopedNoDenormals in
// MorselloEngine::process); the "unflushed" case runs the same layer without them, to show what
// that setting saves.
enum class Silence
{
    fromReset,
    afterTail,
    afterTailUnflushed
};

constexpr double kTailDecaySeconds = 60.0; // of silence after the burst, before the timing
constexpr int kDenormalIterations = 1000;  // blocks timed: about ten seconds of the decayed tail

struct DenormalsScope
{
    explicit DenormalsScope (bool flush)
    {
        if (flush)
            noDenormals = std::make_unique<juce::ScopedNoDenormals>();
    }

    std::unique_ptr<juce::ScopedNoDenormals> noDenormals;
};

void benchmarkSilence (benchmark::State& state, const LayerCase& layer, Silence silence)
{
    const DenormalsScope denormals (silence != Silence::afterTailUnflushed);
    BlockFeeder feeder;
    juce::AudioBuffer<float> quiet (kNumChannels, kBlockSize);

    PreparedLayer prepared (layer);
    auto run = [&prepared] (juce::AudioBuffer<float>& block)
    { prepared.run (block); };

    if (silence != Silence::fromReset)
    {
        // A second of the usual audio at three times its level, then the tail left to decay.
        for (int i = 0; i < kSourceBlocks; ++i)
        {
            auto& block = feeder.next();
            block.applyGain (3.0f);
            run (block);
        }

        for (int i = 0; i < (int) (kTailDecaySeconds * kSampleRate / kBlockSize); ++i)
        {
            quiet.clear();
            run (quiet);
        }
    }

    // How far the tail has come: the first timed block's output samples that are subnormal,
    // or not yet zero.
    quiet.clear();
    run (quiet);
    int subnormal = 0, nonZero = 0;

    for (int channel = 0; channel < kNumChannels; ++channel)
    {
        for (int i = 0; i < kBlockSize; ++i)
        {
            subnormal += std::fpclassify (quiet.getSample (channel, i)) == FP_SUBNORMAL ? 1 : 0;
            nonZero += quiet.getSample (channel, i) != 0.0f ? 1 : 0;
        }
    }

    for (auto _ : state)
    {
        quiet.clear();
        run (quiet);
        benchmark::DoNotOptimize (quiet.getReadPointer (0));
        benchmark::ClobberMemory();
    }

    state.counters["subnormal"] = subnormal;
    state.counters["nonzero"] = nonZero;
    reportRealTimeFactor (state);
}

const char* const kSilenceNames[] { "/silence", "/tail", "/tail unflushed" };

//==============================================================================
// The whole chain: the engine as the plug-in runs it, on settings it is prepared with.
struct ChainCase
{
    std::string name;
    EngineSettings settings;
    std::vector<LayerCase> layers; // bread 1, filling, bread 2: whose floors make the chain's
    float toast;                   // the finishing stage's tanh (D s) per sample and channel
    Quality quality = Quality::standard;
};

std::vector<ChainCase> chainCases()
{
    auto setAll = [] (int breadType, int fillingType, float toast, float bite)
    {
        EngineSettings settings;
        settings[ParameterIndex::breadType] = (float) breadType;
        settings[ParameterIndex::breadMode] = (float) toIndex (BreadMode::free);
        settings[ParameterIndex::fillingType] = (float) fillingType;

        for (const auto index : { ParameterIndex::left1, ParameterIndex::left2, ParameterIndex::right1, ParameterIndex::right2, ParameterIndex::fill1, ParameterIndex::fill2, ParameterIndex::fill3 })
            settings[index] = 0.5f;

        for (const auto index : { ParameterIndex::left3, ParameterIndex::right3, ParameterIndex::fill4 })
            settings[index] = 1.0f;

        settings[ParameterIndex::toast] = toast;
        settings[ParameterIndex::bite] = bite;
        return settings;
    };

    const auto layers = layerCases();
    auto layer = [&] (const std::string& name)
    { return *std::find_if (layers.begin(), layers.end(), [&] (const LayerCase& c)
                            { return c.name == name; }); };

    // Recipe 0's knobs differ from the layer benchmarks' (they set the floor's oscillator rate
    // and arguments only slightly); its breads are filters, which call nothing per sample.
    const auto& recipe = kFactoryRecipes[0];

    return {
        { std::string ("chain/recipe 0, ") + recipe.name,
          engineSettingsFor (recipe),
          { layer ("filling/" + kFillingTypeNames[recipe.fillingType].toStdString()) },
          recipe.toast },
        { "chain/ring mod breads around ring mod", setAll (9, 5, 1.0f, 1.0f), { layer ("bread/ring mod"), layer ("filling/ring mod"), layer ("bread/ring mod") }, 1.0f },
        { "chain/granular breads around granular", setAll (4, 0, 1.0f, 1.0f), { layer ("bread/granular"), layer ("filling/granular"), layer ("bread/granular") }, 1.0f },
        { "chain/wavefold breads around wavefold", setAll (10, 6, 1.0f, 1.0f), { layer ("bread/wavefold"), layer ("filling/wavefold"), layer ("bread/wavefold") }, 1.0f },
        { "chain/drive breads around wavefold", setAll (1, 6, 1.0f, 1.0f), { layer ("bread/drive"), layer ("filling/wavefold"), layer ("bread/drive") }, 1.0f },
    };
}

// The same chains in the high quality mode (oversampled nonlinear stages), beside standard.
std::vector<ChainCase> highQualityChainCases()
{
    auto chains = chainCases();

    for (auto& chain : chains)
    {
        chain.name += " (high)";
        chain.quality = Quality::high;
    }

    return chains;
}

void benchmarkChain (benchmark::State& state, const ChainCase& chain, bool scalarMaths)
{
    // The scalar path (the platform's per-value functions) against the vector kernels, in the
    // same run.
    VectorMath::useScalarPath (scalarMaths);
    BlockFeeder feeder;
    auto engine = std::make_unique<MorselloEngine>();
    engine->setQuality (chain.quality);
    engine->prepare (kSampleRate, kBlockSize, kNumChannels, chain.settings);

    // Past the first blocks' ramps, into the steady state.
    for (int i = 0; i < 200; ++i)
        engine->process (feeder.next(), chain.settings);

    for (auto _ : state)
    {
        auto& block = feeder.next();
        engine->process (block, chain.settings);
        benchmark::DoNotOptimize (block.getReadPointer (0));
        benchmark::ClobberMemory();
    }

    VectorMath::useScalarPath (false);
    reportRealTimeFactor (state);
}

// What the whole chain's formulas force: each layer's floor plus the toast's tanh.
void benchmarkChainFloor (benchmark::State& state, const ChainCase& chain, bool vector)
{
    const juce::ScopedNoDenormals noDenormals;
    BlockFeeder feeder;
    std::vector<double> phases (chain.layers.size(), 0.0);
    const auto drive = chain.toast * 4.5f + 1.0f;

    for (auto _ : state)
    {
        const auto& block = feeder.next();
        float sum = 0.0f;

        for (size_t i = 0; i < chain.layers.size(); ++i)
        {
            const auto increment = chain.layers[i].floorRate / kSampleRate;
            sum += vector ? runVectorFloor (chain.layers[i].floor, block, phases[i], increment)
                          : runFloor (chain.layers[i].floor, block, phases[i], increment);
        }

        if (vector)
        {
            std::array<float, kBlockSize> shaped;

            for (int channel = 0; channel < kNumChannels; ++channel)
            {
                for (size_t i = 0; i < shaped.size(); ++i)
                    shaped[i] = drive * block.getSample (channel, (int) i);

                for (int start = 0; start < kBlockSize; start += 64)
                    VectorMath::tanhInPlace (shaped.data() + start, 64);

                for (size_t i = 0; i < shaped.size(); ++i)
                    sum += shaped[i] / drive;
            }
        }
        else
        {
            for (int channel = 0; channel < kNumChannels; ++channel)
                for (int i = 0; i < kBlockSize; ++i)
                    sum += std::tanh (drive * block.getSample (channel, i)) / drive;
        }

        benchmark::DoNotOptimize (sum);
    }

    reportRealTimeFactor (state);
}

// The cost of reaching the kernels: a block's worth of tanh values (both channels) in calls of
// `chunk` values through VectorMath (one indirect call each), against one direct call of the
// chosen kernel for all of them.
void benchmarkTanhCalls (benchmark::State& state, int chunk, bool direct)
{
    BlockFeeder feeder;
    std::array<float, kBlockSize * kNumChannels> values;

    for (auto _ : state)
    {
        const auto& block = feeder.next();

        for (int channel = 0; channel < kNumChannels; ++channel)
            std::copy (block.getReadPointer (channel), block.getReadPointer (channel) + kBlockSize,
                       values.begin() + channel * kBlockSize);

        if (direct)
            VectorMath::Kernels::avx2().tanhFloat (values.data(), (int) values.size());
        else
            for (int start = 0; start < (int) values.size(); start += chunk)
                VectorMath::tanhInPlace (values.data() + start, chunk);

        benchmark::DoNotOptimize (values.data());
        benchmark::ClobberMemory();
    }
}

//==============================================================================
// The console output as usual, then one table: each kind beside its floor.
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns (const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns (runs);

        // With --benchmark_repetitions the table keeps each case's fastest repetition: on a
        // shared machine the slower ones measure the neighbours, not the code.
        for (const auto& run : runs)
        {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;

            const auto name = run.run_name.function_name;
            const auto time = run.GetAdjustedCPUTime();
            const auto known = microseconds.find (name);

            if (known == microseconds.end())
                order.push_back (name);

            if (known == microseconds.end() || time < known->second)
                microseconds[name] = time;

            if (const auto counter = run.counters.find ("subnormal"); counter != run.counters.end())
                subnormalOutputs[name] = (int) counter->second.value;
        }
    }

    // One row per case: the vector path, the scalar path, and both floors.
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        printSpeedTable();
        printSilenceTable();
    }

private:
    void printSpeedTable()
    {
        const auto blockSeconds = kBlockSize / kSampleRate;
        auto field = [] (const char* format, double value, bool known)
        {
            char text[32] = "-";

            if (known)
                std::snprintf (text, sizeof text, format, value);

            return std::string (text);
        };

        std::printf ("\n| case | vector us | scalar us | scalar / vector | real-time factor | scalar floor us "
                     "| vector floor us | kind / vector floor |\n|---|---|---|---|---|---|---|---|\n");

        for (const auto& name : order)
        {
            if (endsWith (name, kScalarSuffix) || endsWith (name, kFloorSuffix) || endsWith (name, kVectorFloorSuffix)
                || name.rfind ("silence/", 0) == 0)
                continue;

            const auto time = microseconds[name];
            const auto scalar = microseconds.find (name + kScalarSuffix);
            const auto floor = microseconds.find (name + kFloorSuffix);
            const auto vectorFloor = microseconds.find (name + kVectorFloorSuffix);
            const auto hasScalar = scalar != microseconds.end();
            const auto hasFloor = floor != microseconds.end();
            const auto hasVectorFloor = vectorFloor != microseconds.end();

            std::printf ("| %s | %.2f | %s | %s | %.0f | %s | %s | %s |\n", name.c_str(), time,
                         field ("%.2f", hasScalar ? scalar->second : 0.0, hasScalar).c_str(),
                         field ("%.2f", hasScalar ? scalar->second / time : 0.0, hasScalar).c_str(),
                         blockSeconds / (time * 1.0e-6),
                         field ("%.2f", hasFloor ? floor->second : 0.0, hasFloor).c_str(),
                         field ("%.2f", hasVectorFloor ? vectorFloor->second : 0.0, hasVectorFloor).c_str(),
                         field ("%.2f", hasVectorFloor ? time / vectorFloor->second : 0.0, hasVectorFloor).c_str());
        }
    }

    static bool endsWith (const std::string& name, const std::string& suffix)
    {
        return name.size() > suffix.size() && name.compare (name.size() - suffix.size(), suffix.size(), suffix) == 0;
    }

    // Each kind's silence after a tail beside its silence from reset.
    void printSilenceTable()
    {
        std::vector<std::string> kinds;

        for (const auto& name : order)
            if (name.rfind ("silence/", 0) == 0 && name.size() > 8 && name.compare (name.size() - 8, 8, "/silence") == 0)
                kinds.push_back (name.substr (0, name.size() - 8));

        if (kinds.empty())
            return;

        std::printf ("\n| kind | silence from reset us | after a tail us | tail / reset | after a tail, unflushed us | unflushed / reset | subnormal outputs, unflushed |\n"
                     "|---|---|---|---|---|---|---|\n");

        for (const auto& kind : kinds)
        {
            const auto reset = microseconds[kind + kSilenceNames[0]];
            const auto tail = microseconds[kind + kSilenceNames[1]];
            const auto unflushed = microseconds[kind + kSilenceNames[2]];
            std::printf ("| %s | %.2f | %.2f | %.2f | %.2f | %.2f | %d |\n", kind.substr (8).c_str(), reset, tail, tail / reset, unflushed,
                         unflushed / reset, subnormalOutputs[kind + kSilenceNames[2]]);
        }
    }

    std::map<std::string, double> microseconds;
    std::map<std::string, int> subnormalOutputs; // of the first timed block, of 1024
    std::vector<std::string> order;              // as the cases ran: breads, fillings, chains
};
} // namespace
} // namespace morsello

using namespace morsello;

int main (int argc, char** argv)
{
    for (const auto& layer : layerCases())
    {
        benchmark::RegisterBenchmark (layer.name.c_str(), [layer] (benchmark::State& state)
                                      { benchmarkLayer (state, layer, false); })
            ->Unit (benchmark::kMicrosecond);
        benchmark::RegisterBenchmark ((layer.name + kScalarSuffix).c_str(), [layer] (benchmark::State& state)
                                      { benchmarkLayer (state, layer, true); })
            ->Unit (benchmark::kMicrosecond);

        if (layer.floor != Floor::none)
        {
            benchmark::RegisterBenchmark ((layer.name + kFloorSuffix).c_str(), [layer] (benchmark::State& state)
                                          { benchmarkFloor (state, layer, false); })
                ->Unit (benchmark::kMicrosecond);
            benchmark::RegisterBenchmark ((layer.name + kVectorFloorSuffix).c_str(), [layer] (benchmark::State& state)
                                          { benchmarkFloor (state, layer, true); })
                ->Unit (benchmark::kMicrosecond);
        }
    }

    for (const auto& layer : layerCases())
        for (const auto silence : { Silence::fromReset, Silence::afterTail, Silence::afterTailUnflushed })
            benchmark::RegisterBenchmark (("silence/" + layer.name + kSilenceNames[(int) silence]).c_str(),
                                          [layer, silence] (benchmark::State& state)
                                          { benchmarkSilence (state, layer, silence); })
                ->Unit (benchmark::kMicrosecond)
                ->Iterations (kDenormalIterations);

    for (const auto& chain : chainCases())
    {
        benchmark::RegisterBenchmark (chain.name.c_str(), [chain] (benchmark::State& state)
                                      { benchmarkChain (state, chain, false); })
            ->Unit (benchmark::kMicrosecond);
        benchmark::RegisterBenchmark ((chain.name + kScalarSuffix).c_str(), [chain] (benchmark::State& state)
                                      { benchmarkChain (state, chain, true); })
            ->Unit (benchmark::kMicrosecond);
        benchmark::RegisterBenchmark ((chain.name + kFloorSuffix).c_str(), [chain] (benchmark::State& state)
                                      { benchmarkChainFloor (state, chain, false); })
            ->Unit (benchmark::kMicrosecond);
        benchmark::RegisterBenchmark ((chain.name + kVectorFloorSuffix).c_str(), [chain] (benchmark::State& state)
                                      { benchmarkChainFloor (state, chain, true); })
            ->Unit (benchmark::kMicrosecond);
    }

    for (const auto& chain : highQualityChainCases())
        benchmark::RegisterBenchmark (chain.name.c_str(), [chain] (benchmark::State& state)
                                      { benchmarkChain (state, chain, false); })
            ->Unit (benchmark::kMicrosecond);

    for (const auto chunk : { 8, 64, 1024 })
        benchmark::RegisterBenchmark (("calls/tanh of a block in calls of " + std::to_string (chunk)).c_str(),
                                      [chunk] (benchmark::State& state)
                                      { benchmarkTanhCalls (state, chunk, false); })
            ->Unit (benchmark::kMicrosecond);

    if (__builtin_cpu_supports ("avx2"))
        benchmark::RegisterBenchmark ("calls/tanh of a block in one direct call of the AVX2 kernel",
                                      [] (benchmark::State& state)
                                      { benchmarkTanhCalls (state, 0, true); })
            ->Unit (benchmark::kMicrosecond);

    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    std::printf ("vector maths: %s\n", VectorMath::instructionSet());
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks (&reporter);
    benchmark::Shutdown();
    return 0;
}
