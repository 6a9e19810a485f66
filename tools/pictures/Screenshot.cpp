// Renders the editor offscreen at its start size and at its largest size, after running a
// short piece of audio through the processor so that the meters show levels, and writes the
// snapshots as PNG files.
//
//     morsello_screenshot <output folder>
//
// Writes screenshot.png (1254 x 706) and screenshot-1672x941.png.

#include "PngOutput.h"
#include "editor/PluginEditor.h"
#include "processor/PluginProcessor.h"

namespace morsello
{
namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 528; // 11 ms: three blocks per 33 ms timer tick

// A stereo test signal: plucked tones that decay, left louder than right, so the meters show
// falling bars under held peaks.
void fillBlock (juce::AudioBuffer<float>& buffer, int64_t& sampleIndex)
{
    for (int i = 0; i < buffer.getNumSamples(); ++i, ++sampleIndex)
    {
        const auto t = (double) sampleIndex / sampleRate;
        const auto sinceHit = std::fmod (t, 0.6);
        const auto envelope = std::exp (-sinceHit * 5.0);
        const auto tone = std::sin (2.0 * juce::MathConstants<double>::pi * 220.0 * t)
                          + 0.4 * std::sin (2.0 * juce::MathConstants<double>::pi * 331.0 * t);

        buffer.setSample (0, i, (float) (0.62 * envelope * tone));
        buffer.setSample (1, i, (float) (0.38 * envelope * tone));
    }
}

bool writeSnapshot (juce::Component& component, const juce::File& file)
{
    return writePng (component.createComponentSnapshot (component.getLocalBounds(), true, 1.0f), file);
}
} // namespace
} // namespace morsello

using namespace morsello;

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI framework;
    const auto folder = outputFolder (argc, argv, "morsello_screenshot");

    if (folder == juce::File())
        return 2;

    MorselloAudioProcessor processor;
    processor.prepareToPlay (sampleRate, blockSize);

    bool ok = true;
    {
        MorselloAudioProcessorEditor editor (processor);
        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::MidiBuffer midi;
        int64_t sampleIndex = 0;

        // About 1.3 s of audio, one editor tick per 33 ms, so holds and falls have settled
        // into a typical picture.
        for (int tick = 0; tick < 40; ++tick)
        {
            for (int block = 0; block < 3; ++block)
            {
                fillBlock (buffer, sampleIndex);
                processor.processBlock (buffer, midi);
            }

            editor.refresh();
        }

        ok = writeSnapshot (editor, folder.getChildFile ("screenshot.png"));

        editor.setSize (MorselloAudioProcessorEditor::designWidth, MorselloAudioProcessorEditor::designHeight);
        ok = writeSnapshot (editor, folder.getChildFile ("screenshot-1672x941.png")) && ok;
    }

    processor.releaseResources();

    if (! ok)
    {
        std::cerr << "could not write the snapshots into " << folder.getFullPathName() << "\n";
        return 1;
    }

    return 0;
}
