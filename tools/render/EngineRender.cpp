#include "EngineRender.h"

#include "dsp/MorselloEngine.h"

#include <cmath>
#include <memory>

namespace morsello
{
juce::int64 changeSample (double seconds, double sampleRate) noexcept
{
    return (juce::int64) std::llround (seconds * sampleRate);
}

juce::int64 renderLength (juce::int64 inputLength, double sampleRate, const RenderPlan& plan) noexcept
{
    return inputLength + (juce::int64) std::llround (plan.tailSeconds * sampleRate);
}

bool renderThroughEngine (double sampleRate, int numChannels, juce::int64 total, const RenderPlan& plan,
                          const std::function<void (juce::AudioBuffer<float>&, juce::int64)>& fill,
                          const std::function<bool (const juce::AudioBuffer<float>&)>& take,
                          std::atomic<juce::int64>* progress)
{
    // The engine holds its delay lines inline; it is too large for a thread's stack.
    auto engine = std::make_unique<MorselloEngine>();
    engine->setQuality (plan.quality);
    engine->prepare (sampleRate, plan.blockSize, numChannels, plan.settings);

    const auto latency = (juce::int64) MorselloEngine::latencyOf (plan.quality);
    const auto processed = total + latency;
    juce::AudioBuffer<float> buffer (numChannels, plan.blockSize);
    auto settings = plan.settings;
    size_t nextChange = 0;

    for (juce::int64 start = 0; start < processed;)
    {
        while (nextChange < plan.changes.size() && changeSample (plan.changes[nextChange].seconds, sampleRate) <= start)
            settings = plan.changes[nextChange++].settings;

        auto end = std::min (start + plan.blockSize, processed);

        if (nextChange < plan.changes.size())
            end = std::min (end, changeSample (plan.changes[nextChange].seconds, sampleRate));

        juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), numChannels, (int) (end - start));
        block.clear();

        // The input ends at `total`; the latency's extra samples run on silence.
        if (start < total)
        {
            juce::AudioBuffer<float> input (buffer.getArrayOfWritePointers(), numChannels, (int) (std::min (end, total) - start));
            fill (input, start);
        }

        engine->process (block, settings);

        // Output sample n answers input sample n - latency: the first `latency` are dropped.
        if (end > latency)
        {
            const auto first = std::max (start, latency);
            juce::AudioBuffer<float> answer (buffer.getArrayOfWritePointers(), numChannels, (int) (first - start), (int) (end - first));

            if (! take (answer))
                return false;

            if (progress != nullptr)
                *progress += end - first;
        }

        start = end;
    }

    return true;
}

juce::AudioBuffer<float> renderBuffer (const juce::AudioBuffer<float>& input, double sampleRate, const RenderPlan& plan,
                                       std::atomic<juce::int64>* progress)
{
    const auto total = renderLength (input.getNumSamples(), sampleRate, plan);
    juce::AudioBuffer<float> output (input.getNumChannels(), (int) total);
    output.clear();

    for (int channel = 0; channel < input.getNumChannels(); ++channel)
        output.copyFrom (channel, 0, input, channel, 0, input.getNumSamples());

    int written = 0;
    renderThroughEngine (
        sampleRate, input.getNumChannels(), total, plan,
        [&] (juce::AudioBuffer<float>& block, juce::int64 start)
        {
            for (int channel = 0; channel < block.getNumChannels(); ++channel)
                block.copyFrom (channel, 0, output, channel, (int) start, block.getNumSamples());
        },
        [&] (const juce::AudioBuffer<float>& block)
        {
            for (int channel = 0; channel < block.getNumChannels(); ++channel)
                output.copyFrom (channel, written, block, channel, 0, block.getNumSamples());

            written += block.getNumSamples();
            return true;
        },
        progress);

    return output;
}
} // namespace morsello
