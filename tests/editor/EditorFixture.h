#pragma once

#include "editor/PluginEditor.h"
#include "processor/PluginProcessor.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace juce
{
// The framework's own plug-in wrappers use this on Linux to run queued messages.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

// Reaches the editor's children and display state. The editor names it as a friend, so the
// tests read exactly the members that draw and bind, without public accessors in shipping code.
struct EditorTestAccess
{
    explicit EditorTestAccess (MorselloAudioProcessorEditor& e)
        : editor (e),
          bread1Box (e.bread1Box), bread2Box (e.bread2Box), fillingBox (e.fillingBox),
          leftKnobs (e.leftKnobs), rightKnobs (e.rightKnobs), fillKnobs (e.fillKnobs),
          toastKnob (e.toastKnob), biteKnob (e.biteKnob), outputSlider (e.outputSlider),
          leftCaptions (e.leftCaptions), rightCaptions (e.rightCaptions), fillCaptions (e.fillCaptions),
          toastCaption (e.toastCaption), biteCaption (e.biteCaption), outputCaption (e.outputCaption),
          recipeBox (e.recipeBox),
          linkButton (e.linkButton), mirrorButton (e.mirrorButton), freeButton (e.freeButton),
          diceButton (e.diceButton), previousButton (e.previousButton), nextButton (e.nextButton),
          saveButton (e.saveButton), loadButton (e.loadButton),
          selectedRecipe (e.selectedRecipe), meterState (e.meterState)
    {
    }

    // Tests drive the ticks themselves, so the real timer must not tick in between.
    void stopRealTimer() { static_cast<juce::Timer&> (editor).stopTimer(); }
    void tick() { editor.timerCallback(); }

    MorselloAudioProcessorEditor& editor;
    juce::ComboBox &bread1Box, &bread2Box, &fillingBox;
    std::array<juce::Slider, 3>&leftKnobs, &rightKnobs;
    std::array<juce::Slider, 4>& fillKnobs;
    juce::Slider &toastKnob, &biteKnob, &outputSlider;
    std::array<juce::Label, 3>&leftCaptions, &rightCaptions;
    std::array<juce::Label, 4>& fillCaptions;
    juce::Label &toastCaption, &biteCaption, &outputCaption;
    juce::ComboBox& recipeBox;
    juce::TextButton &linkButton, &mirrorButton, &freeButton, &diceButton, &previousButton, &nextButton,
        &saveButton, &loadButton;
    int& selectedRecipe;
    MeterDisplayState& meterState;
};

// Runs the messages queued so far (button clicks are delivered as messages).
inline void runQueuedMessages()
{
    for (int i = 0; i < 100 && juce::dispatchNextMessageOnSystemQueue (true); ++i)
    {
    }
}

// An unprepared processor with an editor whose real timer is stopped.
class EditorTest : public testing::Test
{
protected:
    void SetUp() override { openEditor(); }

    void openEditor()
    {
        access.reset();
        editor = std::make_unique<MorselloAudioProcessorEditor> (processor);
        access = std::make_unique<EditorTestAccess> (*editor);
        access->stopRealTimer();
    }

    float raw (const char* id) const { return processor.getParameterTree().getRawParameterValue (id)->load(); }

    MorselloAudioProcessor processor;
    std::unique_ptr<MorselloAudioProcessorEditor> editor;
    std::unique_ptr<EditorTestAccess> access;
};
