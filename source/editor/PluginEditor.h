#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class MorselloAudioProcessor;

// The plug-in window.
class MorselloAudioProcessorEditor final : public juce::AudioProcessorEditor
{
public:
    explicit MorselloAudioProcessorEditor (MorselloAudioProcessor&);
    ~MorselloAudioProcessorEditor() override;

    void paint (juce::Graphics&) override;
    void resized() override;

private:
    MorselloAudioProcessor& processor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MorselloAudioProcessorEditor)
};
