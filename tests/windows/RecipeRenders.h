// Rendering the sixteen recipes through a hosted VST3 instance, the same way on Windows and on
// Linux, and the file format that carries the Windows renders over to the Linux comparison.

#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace morsello_host
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;
constexpr int numChannels = 2;
constexpr int numRecipes = 16;
constexpr int renderBlocks = 94; // about one second
constexpr int renderSamples = renderBlocks * blockSize;

inline std::unique_ptr<juce::AudioPluginInstance> loadPlugin (const juce::String& bundlePath, juce::String& error)
{
    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile (types, bundlePath);

    if (types.size() != 1)
    {
        error = "expected one plug-in in " + bundlePath + ", found " + juce::String (types.size());
        return nullptr;
    }

    return format.createInstanceFromDescription (*types[0], sampleRate, blockSize, error);
}

// The input every recipe is rendered from: in each channel a slowly swelling tone made by a
// rotating phasor (only additions and multiplications, so it is bit-identical on every
// platform) and a burst of noise from a fixed integer generator every quarter second.
inline juce::AudioBuffer<float> makeTestSignal()
{
    juce::AudioBuffer<float> signal (numChannels, renderSamples);

    for (int channel = 0; channel < numChannels; ++channel)
    {
        const double step = channel == 0 ? 0.0392 : 0.0587; // about 300 Hz and 450 Hz
        const double c = 1.0 - 0.5 * step * step, s = step; // approximate rotation, renormalised below
        double x = 1.0, y = 0.0;
        std::uint32_t noise = 12345u + (std::uint32_t) channel * 777u;

        for (int i = 0; i < renderSamples; ++i)
        {
            const double nx = c * x - s * y;
            const double ny = s * x + c * y;
            const double norm = 1.5 - 0.5 * (nx * nx + ny * ny);
            x = nx * norm;
            y = ny * norm;

            noise = noise * 1664525u + 1013904223u;
            const bool inBurst = (i % 12000) < 1500;
            const double noiseValue = inBurst ? ((double) (noise >> 8) / 8388608.0 - 1.0) * 0.3 : 0.0;
            const double swell = 0.2 + 0.4 * (double) i / (double) renderSamples;

            signal.setSample (channel, i, (float) (swell * y + noiseValue));
        }
    }

    return signal;
}

// Blocks of silence with the message loop run in between, so that a program or state change
// has reached the processor and its fade between settings is over before the signal starts.
inline void settle (juce::AudioPluginInstance& instance)
{
    juce::AudioBuffer<float> silence (numChannels, blockSize);
    juce::MidiBuffer midi;

    for (int round = 0; round < 3; ++round)
    {
        for (int block = 0; block < 40; ++block)
        {
            silence.clear();
            instance.processBlock (silence, midi);
        }
        juce::MessageManager::getInstance()->runDispatchLoopUntil (30);
    }
}

// Runs the signal through the instance in blocks of blockSize and returns the output.
inline juce::AudioBuffer<float> process (juce::AudioPluginInstance& instance, const juce::AudioBuffer<float>& input)
{
    juce::AudioBuffer<float> output (input);
    juce::AudioBuffer<float> block (numChannels, blockSize);
    juce::MidiBuffer midi;

    for (int start = 0; start + blockSize <= output.getNumSamples(); start += blockSize)
    {
        for (int channel = 0; channel < numChannels; ++channel)
            block.copyFrom (channel, 0, output, channel, start, blockSize);

        instance.processBlock (block, midi);

        for (int channel = 0; channel < numChannels; ++channel)
            output.copyFrom (channel, start, block, channel, 0, blockSize);
    }

    return output;
}

// A fresh start for the instance: the processor is prepared again, which clears its delay
// lines and filters, then settled.
inline void restart (juce::AudioPluginInstance& instance)
{
    instance.releaseResources();
    instance.prepareToPlay (sampleRate, blockSize);
    settle (instance);
    instance.releaseResources();
    instance.prepareToPlay (sampleRate, blockSize);
}

inline juce::AudioBuffer<float> renderRecipe (juce::AudioPluginInstance& instance, int recipe, const juce::AudioBuffer<float>& input)
{
    instance.prepareToPlay (sampleRate, blockSize);
    instance.setCurrentProgram (recipe);
    settle (instance);
    restart (instance);
    auto output = process (instance, input);
    instance.releaseResources();
    return output;
}

//==============================================================================
// The renders file: a tag, the sizes, the input signal, then each recipe's output, every
// channel as little-endian 32-bit floats (both platforms are x86-64).
struct Renders
{
    juce::AudioBuffer<float> input;
    std::vector<juce::AudioBuffer<float>> outputs;
};

constexpr char rendersTag[8] = { 'M', 'R', 'S', 'L', 'R', 'N', 'D', '1' };

inline bool writeRenders (const juce::File& file, const Renders& renders)
{
    std::ofstream out (file.getFullPathName().toStdString(), std::ios::binary);
    const std::int32_t sizes[] { (std::int32_t) renders.outputs.size(), numChannels, renders.input.getNumSamples() };
    out.write (rendersTag, sizeof (rendersTag));
    out.write (reinterpret_cast<const char*> (sizes), sizeof (sizes));

    auto writeBuffer = [&out] (const juce::AudioBuffer<float>& buffer)
    {
        for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
            out.write (reinterpret_cast<const char*> (buffer.getReadPointer (channel)),
                       (std::streamsize) (sizeof (float) * (size_t) buffer.getNumSamples()));
    };

    writeBuffer (renders.input);
    for (const auto& output : renders.outputs)
        writeBuffer (output);

    return out.good();
}

inline bool readRenders (const juce::File& file, Renders& renders, juce::String& error)
{
    std::ifstream in (file.getFullPathName().toStdString(), std::ios::binary);
    char tag[8] {};
    std::int32_t sizes[3] {};
    in.read (tag, sizeof (tag));
    in.read (reinterpret_cast<char*> (sizes), sizeof (sizes));

    if (! in.good() || std::memcmp (tag, rendersTag, sizeof (tag)) != 0)
    {
        error = "not a renders file: " + file.getFullPathName();
        return false;
    }

    if (sizes[0] != numRecipes || sizes[1] != numChannels || sizes[2] <= 0 || sizes[2] % blockSize != 0)
    {
        error = "unexpected sizes in " + file.getFullPathName();
        return false;
    }

    auto readBuffer = [&in, &sizes]
    {
        juce::AudioBuffer<float> buffer (sizes[1], sizes[2]);
        for (int channel = 0; channel < sizes[1]; ++channel)
            in.read (reinterpret_cast<char*> (buffer.getWritePointer (channel)),
                     (std::streamsize) (sizeof (float) * (size_t) sizes[2]));
        return buffer;
    };

    renders.input = readBuffer();
    renders.outputs.clear();
    for (int recipe = 0; recipe < sizes[0]; ++recipe)
        renders.outputs.push_back (readBuffer());

    if (! in.good())
    {
        error = "truncated renders file: " + file.getFullPathName();
        return false;
    }

    return true;
}
} // namespace morsello_host
