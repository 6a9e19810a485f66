// Runs The Morsello's engine in a plain console program, without the plug-in around it and
// without the framework's message loop: a factory recipe applied to a WAV file (or, without one,
// to two seconds of a test signal), written as a 32-bit float WAV file.
//
//     morsello_render <recipe 0..15> <output.wav> [input.wav]

#include "dsp/MorselloEngine.h"
#include "recipes/FactoryRecipes.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <cstdio>
#include <memory>

namespace
{
constexpr int kBlockSize = 512;

juce::AudioBuffer<float> testSignal (double sampleRate)
{
    juce::AudioBuffer<float> signal (2, (int) (2.0 * sampleRate));

    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < signal.getNumSamples(); ++i)
        {
            const auto t = (double) i / sampleRate;
            signal.setSample (channel, i, (float) (0.4 * std::sin (juce::MathConstants<double>::twoPi * (220.0 + 110.0 * channel) * t) * std::exp (-3.0 * std::fmod (t, 0.5))));
        }

    return signal;
}

bool readWav (const juce::File& file, juce::AudioBuffer<float>& audio, double& sampleRate)
{
    juce::WavAudioFormat format;
    const std::unique_ptr<juce::AudioFormatReader> reader (format.createReaderFor (file.createInputStream().release(), true));

    if (reader == nullptr || reader->numChannels < 1 || reader->numChannels > 2)
        return false;

    audio.setSize ((int) reader->numChannels, (int) reader->lengthInSamples);
    sampleRate = reader->sampleRate;
    return reader->read (&audio, 0, audio.getNumSamples(), 0, true, true);
}

bool writeWav (const juce::File& file, const juce::AudioBuffer<float>& audio, double sampleRate)
{
    file.getParentDirectory().createDirectory();
    file.deleteFile();
    std::unique_ptr<juce::OutputStream> stream (file.createOutputStream().release());

    if (stream == nullptr)
        return false;

    juce::WavAudioFormat format;
    std::unique_ptr<juce::AudioFormatWriter> writer (format.createWriterFor (stream.get(), sampleRate, (unsigned int) audio.getNumChannels(), 32, {}, 0));

    if (writer == nullptr)
        return false;

    stream.release(); // the writer owns it now
    return writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples());
}
} // namespace

int main (int argc, char** argv)
{
    if (argc < 3 || argc > 4)
    {
        std::fprintf (stderr, "usage: morsello_render <recipe 0..15> <output.wav> [input.wav]\n");
        return 2;
    }

    const auto recipe = juce::String (argv[1]).getIntValue();

    if (! juce::isPositiveAndBelow (recipe, kNumFactoryRecipes) || ! juce::String (argv[1]).containsOnly ("0123456789"))
    {
        std::fprintf (stderr, "no factory recipe %s\n", argv[1]);
        return 2;
    }

    double sampleRate = 48000.0;
    juce::AudioBuffer<float> audio;

    if (argc == 4)
    {
        if (! readWav (juce::File::getCurrentWorkingDirectory().getChildFile (argv[3]), audio, sampleRate))
        {
            std::fprintf (stderr, "cannot read %s as a mono or stereo WAV file\n", argv[3]);
            return 1;
        }
    }
    else
    {
        audio = testSignal (sampleRate);
    }

    const auto settings = engineSettingsFor (kFactoryRecipes[(size_t) recipe]);
    auto engine = std::make_unique<MorselloEngine>();
    engine->prepare (sampleRate, kBlockSize, audio.getNumChannels(), settings);

    for (int start = 0; start < audio.getNumSamples(); start += kBlockSize)
    {
        juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), audio.getNumChannels(), start,
                                        std::min (kBlockSize, audio.getNumSamples() - start));
        engine->process (block, settings);
    }

    if (! writeWav (juce::File::getCurrentWorkingDirectory().getChildFile (argv[2]), audio, sampleRate))
    {
        std::fprintf (stderr, "cannot write %s\n", argv[2]);
        return 1;
    }

    std::printf ("%s: recipe %d \"%s\", %d samples at %.0f Hz, output peak %.3f\n", argv[2], recipe,
                 kFactoryRecipes[(size_t) recipe].name, audio.getNumSamples(), sampleRate,
                 (double) audio.getMagnitude (0, audio.getNumSamples()));
    return 0;
}
