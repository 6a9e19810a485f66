// Speed of every layer kind and of the whole engine, at 48 kHz stereo in 512-sample
// blocks. Each kind is set beside its floor: a loop of only the maths-library calls that the
// kind's formulas make per sample, on the same audio, so "ratio" says how much the kind spends
// beyond what its formulas force. Run build/bench/morsello_bench (see docs/performance.md).

#include "dsp/BreadLayer.h"
#include "dsp/MorselloEngine.h"
#include "processor/Parameters.h"
#include "recipes/FactoryRecipes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr double kSampleRate = 48000.0;
constexpr int kBlockSize = 512;
constexpr int kNumChannels = 2;
constexpr int kSourceBlocks = 94; // about one second of source audio, cycled
constexpr double kTwoPi = juce::MathConstants<double>::twoPi;

// Knob settings: the middle of every knob, wet amount at 1 (a bread in the effect engine gets
// its k3 from effectEngineRouteFor).
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
        { "bread/filter", true, filterBread, Floor::none, 0.0 },
        { "bread/drive", true, driveBread, Floor::tanhPerChannel, 0.0 },
        { "bread/chorus", true, chorusBread, Floor::sinePerSample, chorusRate },
        { "bread/echo", true, echoBread, Floor::none, 0.0 },
    };

    for (int kind = firstEngineBread; kind < kBreadTypeNames.size(); ++kind)
        cases.push_back ({ "bread/" + kBreadTypeNames[kind].toStdString(), true, kind,
                           engineFloors[kind - firstEngineBread], engineRates[kind - firstEngineBread] });

    for (int kind = 0; kind < kFillingTypeNames.size(); ++kind)
        cases.push_back ({ "filling/" + kFillingTypeNames[kind].toStdString(), false, kind, engineFloors[kind], engineRates[kind] });

    return cases;
}

void benchmarkLayer (benchmark::State& state, const LayerCase& layer)
{
    const juce::ScopedNoDenormals noDenormals;
    BlockFeeder feeder;

    BreadState bread;
    bread.prepare (kSampleRate);
    bread.reset();
    auto slot = std::make_unique<EffectSlot>();
    slot->prepare (kSampleRate);
    slot->reset();

    for (auto _ : state)
    {
        auto& block = feeder.next();

        if (layer.isBread)
            runBreadLayer (block, bread, *slot, layer.kind, { kKnob1, kKnob2, kAmount }, kSampleRate);
        else
            EffectEngine::process (block, *slot, (EffectKind) layer.kind, kKnob1, kKnob2, kKnob3, kAmount, kSampleRate);

        benchmark::DoNotOptimize (block.getReadPointer (0));
        benchmark::ClobberMemory();
    }

    reportRealTimeFactor (state);
}

void benchmarkFloor (benchmark::State& state, const LayerCase& layer)
{
    const juce::ScopedNoDenormals noDenormals;
    BlockFeeder feeder;
    double phase = 0.0;
    const auto increment = layer.floorRate / kSampleRate;

    for (auto _ : state)
    {
        auto sum = runFloor (layer.floor, feeder.next(), phase, increment);
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

    BreadState bread;
    bread.prepare (kSampleRate);
    bread.reset();
    auto slot = std::make_unique<EffectSlot>();
    slot->prepare (kSampleRate);
    slot->reset();

    auto run = [&] (juce::AudioBuffer<float>& block)
    {
        if (layer.isBread)
            runBreadLayer (block, bread, *slot, layer.kind, { kKnob1, kKnob2, kAmount }, kSampleRate);
        else
            EffectEngine::process (block, *slot, (EffectKind) layer.kind, kKnob1, kKnob2, kKnob3, kAmount, kSampleRate);
    };

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
};

std::vector<ChainCase> chainCases()
{
    auto setAll = [] (int breadType, int fillingType, float toast, float bite)
    {
        EngineSettings settings;
        settings[breadTypeIndex] = (float) breadType;
        settings[breadModeIndex] = (float) freeMode;
        settings[fillingTypeIndex] = (float) fillingType;

        for (const auto index : { left1Index, left2Index, right1Index, right2Index, fill1Index, fill2Index, fill3Index })
            settings[index] = 0.5f;

        for (const auto index : { left3Index, right3Index, fill4Index })
            settings[index] = 1.0f;

        settings[toastIndex] = toast;
        settings[biteIndex] = bite;
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
    };
}

void benchmarkChain (benchmark::State& state, const ChainCase& chain)
{
    BlockFeeder feeder;
    auto engine = std::make_unique<MorselloEngine>();
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

    reportRealTimeFactor (state);
}

// What the whole chain's formulas force: each layer's floor plus the toast's tanh.
void benchmarkChainFloor (benchmark::State& state, const ChainCase& chain)
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
            sum += runFloor (chain.layers[i].floor, block, phases[i], chain.layers[i].floorRate / kSampleRate);

        for (int channel = 0; channel < kNumChannels; ++channel)
            for (int i = 0; i < kBlockSize; ++i)
                sum += std::tanh (drive * block.getSample (channel, i)) / drive;

        benchmark::DoNotOptimize (sum);
    }

    reportRealTimeFactor (state);
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
        std::printf ("\n| case | CPU us per block | real-time factor | floor us | kind / floor |\n|---|---|---|---|---|\n");

        for (const auto& name : order)
        {
            const auto time = microseconds[name];

            if ((name.size() > 6 && name.compare (name.size() - 6, 6, "/floor") == 0) || name.rfind ("silence/", 0) == 0)
                continue;

            const auto floor = microseconds.find (name + "/floor");

            if (floor != microseconds.end())
                std::printf ("| %s | %.2f | %.0f | %.2f | %.2f |\n", name.c_str(), time, blockSeconds / (time * 1.0e-6),
                             floor->second, time / floor->second);
            else
                std::printf ("| %s | %.2f | %.0f | - | - |\n", name.c_str(), time, blockSeconds / (time * 1.0e-6));
        }
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

int main (int argc, char** argv)
{
    for (const auto& layer : layerCases())
    {
        benchmark::RegisterBenchmark (layer.name.c_str(), [layer] (benchmark::State& state)
                                      { benchmarkLayer (state, layer); })
            ->Unit (benchmark::kMicrosecond);

        if (layer.floor != Floor::none)
            benchmark::RegisterBenchmark ((layer.name + "/floor").c_str(), [layer] (benchmark::State& state)
                                          { benchmarkFloor (state, layer); })
                ->Unit (benchmark::kMicrosecond);
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
                                      { benchmarkChain (state, chain); })
            ->Unit (benchmark::kMicrosecond);
        benchmark::RegisterBenchmark ((chain.name + "/floor").c_str(), [chain] (benchmark::State& state)
                                      { benchmarkChainFloor (state, chain); })
            ->Unit (benchmark::kMicrosecond);
    }

    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks (&reporter);
    benchmark::Shutdown();
    return 0;
}
