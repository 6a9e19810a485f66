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

    toastSmoother.setRampLength ((int) std::floor (newSampleRate * 0.06));
    toastSmoother.setCurrentAndTargetValue (rawParameters[toastIndex]->load());
    biteSmoother.setRampLength ((int) std::floor (newSampleRate * 0.06));
    outputGainSmoother.setRampLength ((int) std::floor (newSampleRate * 0.03));

    const auto length = std::max (1, maximumBlockSize);
    const auto channels = getTotalNumOutputChannels();

    if (dryBuffer.getNumSamples() != length || dryBuffer.getNumChannels() != channels)
        dryBuffer.setSize (channels, length);

    biteSmoother.setCurrentAndTargetValue (rawParameters[biteIndex]->load());
    outputGainSmoother.setCurrentAndTargetValue (outputGainFor (rawParameters[outputIndex]->load()));

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

    auto& fade = transition.fade;
    auto& limiterGain = outputLimiter.gain;
    const auto release = outputLimiter.releaseCoefficient;

    for (int i = 0; i < numSamples; ++i)
    {
        fade = transition.pending ? std::max (fade - fadeOutStep, 0.0f)
                                  : std::min (fade + fadeInStep, 1.0f);

        const auto bite = biteSmoother.getNextValue() * fade;
        const auto drive = toastSmoother.getNextValue() * 4.5f + 1.0f;
        const auto gain = outputGainSmoother.getNextValue();

        float peak = 0.0f;

        for (int channel = 0; channel < numChannels; ++channel)
        {
            const auto processed = channels[channel][i];
            // A channel without a dry copy (more channels than prepared) mixes against silence.
            const auto drySample = channel < dryChannels ? dry[channel][i] : 0.0f;
            const auto mixed = (1.0f - bite) * drySample + (std::tanh (drive * processed) / drive) * bite;
            const auto result = std::isfinite (mixed) ? mixed * gain : 0.0f;

            channels[channel][i] = result;
            peak = std::max (peak, std::abs (result));
        }

        const auto target = peak > kLimiterCeiling ? kLimiterCeiling / peak : 1.0f;
        limiterGain = limiterGain > target ? target : (limiterGain - target) * release + target;

        // ceiling / peak * peak can land one rounding step above the ceiling; the clamp keeps
        // the promise that nothing leaves above -1 dBFS.
        for (int channel = 0; channel < numChannels; ++channel)
            channels[channel][i] = juce::jlimit (-kLimiterCeiling, kLimiterCeiling, channels[channel][i] * limiterGain);
    }
}
