#include "editor/PluginEditor.h"

#include "processor/PluginProcessor.h"

MorselloAudioProcessorEditor::MorselloAudioProcessorEditor (MorselloAudioProcessor& owner)
    : juce::AudioProcessorEditor (owner), processor (owner)
{
    setSize (1254, 706);
}

MorselloAudioProcessorEditor::~MorselloAudioProcessorEditor() = default;

void MorselloAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff1b1a19));
}

void MorselloAudioProcessorEditor::resized() {}
