// The block pipeline: what MorselloAudioProcessor does with every block on the audio thread,
// and the preparation it needs.

#include "processor/PluginProcessor.h"

namespace
{
// The framework's decibel conversion with its default floor of -100 dB, in single precision.
float outputGainFor (float decibels) noexcept
{
    return juce::Decibels::decibelsToGain (decibels);
}

// Change of a snapshot entry beyond which the settings count as a jump (strictly greater).
constexpr float kKindThreshold = 0.1f;
constexpr float kKnobThreshold = 0.12f;

// Samples per pass of the finishing stage; its per-sample values live on the stack.
constexpr int kFinishChunkLength = 64;
// The dry signal of a channel that has no dry copy.
constexpr std::array<float, kFinishChunkLength> kSilence {};
} // namespace

void MorselloAudioProcessor::preparePipeline (double newSampleRate, int maximumBlockSize)
{
    sampleRate = newSampleRate;

    bread1State.prepare (newSampleRate);
    bread2State.prepare (newSampleRate);

    fillingSlot.prepare (newSampleRate);
    bread1Slot.prepare (newSampleRate);
    bread2Slot.prepare (newSampleRate);

    hasSnapshot = false;
    transition.pending = false;
    transition.fade = 1.0f;

    outputLimiter.releaseCoefficient = (float) std::exp (-1.0 / (newSampleRate * 0.15));
    outputLimiter.gain = 1.0f;

    // The ramps start at rest on the present values.
    toastSmoother.setRampLength ((int) std::floor (newSampleRate * 0.06));
    biteSmoother.setRampLength ((int) std::floor (newSampleRate * 0.06));
    outputGainSmoother.setRampLength ((int) std::floor (newSampleRate * 0.03));
    toastSmoother.setCurrentAndTargetValue (rawParameters[toastIndex]->load());
    biteSmoother.setCurrentAndTargetValue (rawParameters[biteIndex]->load());
    outputGainSmoother.setCurrentAndTargetValue (outputGainFor (rawParameters[outputIndex]->load()));

    const auto length = std::max (1, maximumBlockSize);
    const auto channels = getTotalNumOutputChannels();

    if (dryBuffer.getNumSamples() != length || dryBuffer.getNumChannels() != channels)
        dryBuffer.setSize (channels, length);

    resetEngineState();
}

void MorselloAudioProcessor::resetEngineState() noexcept
{
    bread1State.reset();
    bread2State.reset();

    fillingSlot.reset();
    bread1Slot.reset();
    bread2Slot.reset();

    levelMeters.clear();
}

void MorselloAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    const juce::ScopedNoDenormals noDenormals;

    const auto numSamples = buffer.getNumSamples();
    const auto pieceLength = dryBuffer.getNumSamples();

    if (numSamples <= 0 || pieceLength == 0)
        return;

    if (numSamples <= pieceLength)
    {
        processPiece (buffer);
        return;
    }

    // A block longer than prepared is processed in consecutive pieces that refer to the host's
    // memory; each piece is a block of its own (metering, snapshot, transition, ramps).
    for (int start = 0; start < numSamples; start += pieceLength)
    {
        juce::AudioBuffer<float> piece (buffer.getArrayOfWritePointers(),
                                        buffer.getNumChannels(),
                                        start,
                                        std::min (pieceLength, numSamples - start));
        processPiece (piece);
    }
}

void MorselloAudioProcessor::processPiece (juce::AudioBuffer<float>& block) noexcept
{
    const auto numChannels = block.getNumChannels();
    const auto numSamples = block.getNumSamples();

    for (auto channel = getTotalNumInputChannels(); channel < std::min (numChannels, getTotalNumOutputChannels()); ++channel)
        block.clear (channel, 0, numSamples);

    // A non-finite sample from the host would settle in the layers' memories and delay lines
    // and silence the output until the next reset; it enters as silence instead.
    for (int channel = 0; channel < numChannels; ++channel)
    {
        auto* samples = block.getWritePointer (channel);

        for (int i = 0; i < numSamples; ++i)
            if (! std::isfinite (samples[i]))
                samples[i] = 0.0f;
    }

    for (int channel = 0; channel < std::min (numChannels, 2); ++channel)
        levelMeters.raise (channel, block.getMagnitude (channel, 0, numSamples));

    for (int channel = 0; channel < std::min (numChannels, dryBuffer.getNumChannels()); ++channel)
        dryBuffer.copyFrom (channel, 0, block, channel, 0, numSamples);

    detectChanges (readParameters());
    runLayers (block);

    toastSmoother.setTargetValue (currentSnapshot[toastIndex]);
    biteSmoother.setTargetValue (currentSnapshot[biteIndex]);
    outputGainSmoother.setTargetValue (outputGainFor (currentSnapshot[outputIndex]));

    finish (block);

    for (int channel = 0; channel < std::min (numChannels, 2); ++channel)
        levelMeters.raise (2 + channel, block.getMagnitude (channel, 0, numSamples));
}

ParameterSnapshot MorselloAudioProcessor::readParameters() const noexcept
{
    ParameterSnapshot fresh;

    for (size_t i = 0; i < rawParameters.size(); ++i)
        fresh.values[i] = rawParameters[i]->load();

    return fresh;
}

void MorselloAudioProcessor::detectChanges (const ParameterSnapshot& fresh) noexcept
{
    if (! hasSnapshot)
    {
        currentSnapshot = fresh;
        hasSnapshot = true;
    }

    for (int index = 0; index < outputIndex; ++index)
    {
        const auto threshold = index <= fillingTypeIndex ? kKindThreshold : kKnobThreshold;

        if (std::abs (fresh[index] - currentSnapshot[index]) > threshold)
            transition.pending = true;
    }

    if (transition.pending && transition.fade <= 0.0f)
    {
        resetEngineState();
        transition.pending = false;
        currentSnapshot = fresh;
    }
    else if (! transition.pending)
    {
        currentSnapshot = fresh;
    }

    // The output gain is never held back by a transition.
    currentSnapshot[outputIndex] = fresh[outputIndex];
}

void MorselloAudioProcessor::runLayers (juce::AudioBuffer<float>& block) noexcept
{
    const auto breadKind = juce::roundToInt (currentSnapshot[breadTypeIndex]);
    const auto breadMode = juce::roundToInt (currentSnapshot[breadModeIndex]);
    const auto fillingKind = juce::roundToInt (currentSnapshot[fillingTypeIndex]);

    const BreadKnobs left { currentSnapshot[left1Index], currentSnapshot[left2Index], currentSnapshot[left3Index] };
    const BreadKnobs right = breadTwoKnobs (breadMode, left, { currentSnapshot[right1Index], currentSnapshot[right2Index], currentSnapshot[right3Index] });
    const float fill[] { currentSnapshot[fill1Index], currentSnapshot[fill2Index], currentSnapshot[fill3Index], currentSnapshot[fill4Index] };

    auto runBread = [&] (BreadState& state, EffectSlot& slot, const BreadKnobs& knobs)
    {
        if (breadKind < firstEngineBread)
            BreadProcessor::process (block, state, breadKind, knobs[0], knobs[1], knobs[2], sampleRate);
        else
            EffectEngine::process (block, slot, (EffectKind) (breadKind - firstEngineBread),
                                   knobs[0], knobs[1], 0.5f, knobs[2], sampleRate);
    };

    runBread (bread1State, bread1Slot, left);
    EffectEngine::process (block, fillingSlot, (EffectKind) fillingKind, fill[0], fill[1], fill[2], fill[3], sampleRate);
    runBread (bread2State, bread2Slot, right);
}

void MorselloAudioProcessor::finish (juce::AudioBuffer<float>& block) noexcept
{
    const auto numChannels = block.getNumChannels();
    const auto numSamples = block.getNumSamples();
    const auto dryChannels = dryBuffer.getNumChannels();

    auto* const* channels = block.getArrayOfWritePointers();
    const auto* const* dry = dryBuffer.getArrayOfReadPointers();

    const auto fadeOutStep = (float) (1.0 / (sampleRate * 0.015));
    const auto fadeInStep = (float) (1.0 / (sampleRate * 0.12));
    const auto fadingOut = transition.pending;
    const auto release = outputLimiter.releaseCoefficient;

    auto fade = transition.fade;
    auto limiterGain = outputLimiter.gain;

    // The block is finished in chunks, in passes that each do one kind of work: the ramps (no
    // audio involved), then per channel the toast's tanh calls alone and the vectorisable mix,
    // then the limiter's recursion over the channels' peaks. Every sample still sees the same
    // operations in the same order as one sample-by-sample loop would give it.
    std::array<float, kFinishChunkLength> bite, drive, gain, peak, limiter;

    for (int start = 0; start < numSamples; start += kFinishChunkLength)
    {
        const auto n = std::min (kFinishChunkLength, numSamples - start);

        biteSmoother.fill (bite.data(), n);
        toastSmoother.fill (drive.data(), n);
        outputGainSmoother.fill (gain.data(), n);

        for (int i = 0; i < n; ++i)
        {
            fade = fadingOut ? std::max (fade - fadeOutStep, 0.0f)
                             : std::min (fade + fadeInStep, 1.0f);

            bite[(size_t) i] *= fade;
            drive[(size_t) i] = drive[(size_t) i] * 4.5f + 1.0f;
            peak[(size_t) i] = 0.0f;
        }

        for (int channel = 0; channel < numChannels; ++channel)
        {
            auto* const samples = channels[channel] + start;
            // A channel without a dry copy (more channels than prepared) mixes against silence.
            const auto* const drySamples = channel < dryChannels ? dry[channel] + start : kSilence.data();

            for (int i = 0; i < n; ++i)
                samples[i] = std::tanh (drive[(size_t) i] * samples[i]);

            for (int i = 0; i < n; ++i)
            {
                const auto s = (size_t) i;
                const auto mixed = (1.0f - bite[s]) * drySamples[i] + (samples[i] / drive[s]) * bite[s];
                // |mixed| <= the largest float is false for infinities and NaN alike.
                const auto result = std::abs (mixed) <= std::numeric_limits<float>::max() ? mixed * gain[s] : 0.0f;

                samples[i] = result;
                peak[s] = std::max (peak[s], std::abs (result));
            }
        }

        // Only the limiter's gain runs from sample to sample. When it already equals the
        // target, (gain - target) * release + target is the target itself, so that case skips
        // the arithmetic (and the recursion's latency). A chunk whose gains all stay at 1 has
        // every sample within the ceiling already: multiplying by 1 and clamping change nothing.
        bool limiting = false;

        for (int i = 0; i < n; ++i)
        {
            const auto p = peak[(size_t) i];
            const auto target = p > kLimiterCeiling ? kLimiterCeiling / p : 1.0f;

            if (limiterGain > target)
                limiterGain = target;
            else if (limiterGain != target)
                limiterGain = (limiterGain - target) * release + target;

            limiter[(size_t) i] = limiterGain;
            limiting = limiting || limiterGain != 1.0f;
        }

        if (! limiting)
            continue;

        // ceiling / peak * peak can land one rounding step above the ceiling; the clamp keeps
        // the promise that nothing leaves above -1 dBFS.
        for (int channel = 0; channel < numChannels; ++channel)
        {
            auto* const samples = channels[channel] + start;

            for (int i = 0; i < n; ++i)
                samples[i] = juce::jlimit (-kLimiterCeiling, kLimiterCeiling, samples[i] * limiter[(size_t) i]);
        }
    }

    transition.fade = fade;
    outputLimiter.gain = limiterGain;
}
