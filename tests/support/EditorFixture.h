#pragma once

#include "editor/PluginEditor.h"
#include "processor/PluginProcessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>
#include <vector>

namespace juce
{
// The framework's own plug-in wrappers use this on Linux to run queued messages.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace morsello
{
// The editor's controls, found by their component IDs as a user's screen reader or a host's
// automation would tell them apart. A missing or mistyped control fails the test at once.
template <typename Control>
Control& findControl (juce::Component& editor, const juce::String& id)
{
    for (auto* child : editor.getChildren())
        if (child->getComponentID() == id)
            if (auto* control = dynamic_cast<Control*> (child))
                return *control;

    ADD_FAILURE() << "no control with ID " << id;
    throw std::runtime_error ("missing control");
}

// Controls that come in a row (knobs 1..N and their captions), by index.
template <typename Control, size_t N>
struct ControlRow
{
    std::array<Control*, N> controls;

    Control& operator[] (size_t i) const { return *controls[i]; }
    static constexpr size_t size() { return N; }

    struct Iterator
    {
        Control* const* position;
        Control& operator*() const { return **position; }
        Iterator& operator++()
        {
            ++position;
            return *this;
        }
        bool operator!= (const Iterator& other) const { return position != other.position; }
    };

    Iterator begin() const { return { controls.data() }; }
    Iterator end() const { return { controls.data() + N }; }
};

template <typename Control, size_t N>
ControlRow<Control, N> findRow (juce::Component& editor, const juce::String& prefix, const juce::String& suffix = {})
{
    ControlRow<Control, N> row {};

    for (size_t i = 0; i < N; ++i)
        row.controls[i] = &findControl<Control> (editor, prefix + juce::String ((int) i + 1) + suffix);

    return row;
}

// Both bread menus carry the one ID "breadDisplay" (they show the one breadType); as a user
// sees them, bread 1's sits on the left slice and bread 2's on the right.
inline juce::ComboBox& findBreadMenu (juce::Component& editor, bool leftSlice)
{
    std::vector<juce::ComboBox*> menus;

    for (auto* child : editor.getChildren())
        if (child->getComponentID() == "breadDisplay")
            if (auto* menu = dynamic_cast<juce::ComboBox*> (child))
                menus.push_back (menu);

    if (menus.size() != 2 || menus[0]->getX() == menus[1]->getX())
    {
        ADD_FAILURE() << "expected two bread menus side by side, found " << menus.size();
        throw std::runtime_error ("missing bread menu");
    }

    const auto byX = [] (const juce::ComboBox* a, const juce::ComboBox* b) { return a->getX() < b->getX(); };
    return leftSlice ? **std::min_element (menus.begin(), menus.end(), byX)
                     : **std::max_element (menus.begin(), menus.end(), byX);
}

struct EditorTestAccess
{
    explicit EditorTestAccess (MorselloAudioProcessorEditor& e)
        : editor (e),
          bread1Box (findBreadMenu (e, true)),
          bread2Box (findBreadMenu (e, false)),
          fillingBox (findControl<juce::ComboBox> (e, "fillingDisplay")),
          leftKnobs (findRow<juce::Slider, 3> (e, "left")),
          rightKnobs (findRow<juce::Slider, 3> (e, "right")),
          fillKnobs (findRow<juce::Slider, 4> (e, "fill")),
          toastKnob (findControl<juce::Slider> (e, "toast")),
          biteKnob (findControl<juce::Slider> (e, "bite")),
          outputSlider (findControl<juce::Slider> (e, "output")),
          leftCaptions (findRow<juce::Label, 3> (e, "left", "Caption")),
          rightCaptions (findRow<juce::Label, 3> (e, "right", "Caption")),
          fillCaptions (findRow<juce::Label, 4> (e, "fill", "Caption")),
          toastCaption (findControl<juce::Label> (e, "toastCaption")),
          biteCaption (findControl<juce::Label> (e, "biteCaption")),
          outputCaption (findControl<juce::Label> (e, "outputCaption")),
          recipeBox (findControl<juce::ComboBox> (e, "recipeBox")),
          linkButton (findControl<juce::TextButton> (e, "linkButton")),
          mirrorButton (findControl<juce::TextButton> (e, "mirrorButton")),
          freeButton (findControl<juce::TextButton> (e, "freeButton")),
          diceButton (findControl<juce::TextButton> (e, "recipeDice")),
          previousButton (findControl<juce::TextButton> (e, "previousRecipe")),
          nextButton (findControl<juce::TextButton> (e, "nextRecipe")),
          saveButton (findControl<juce::TextButton> (e, "saveRecipe")),
          loadButton (findControl<juce::TextButton> (e, "loadRecipe"))
    {
    }

    // Tests drive the ticks themselves, so the real timer must not tick in between.
    void stopRealTimer() { editor.stopAutomaticRefresh(); }
    void tick() { editor.refresh(); }

    MorselloAudioProcessorEditor& editor;
    juce::ComboBox &bread1Box, &bread2Box, &fillingBox;
    ControlRow<juce::Slider, 3> leftKnobs, rightKnobs;
    ControlRow<juce::Slider, 4> fillKnobs;
    juce::Slider &toastKnob, &biteKnob, &outputSlider;
    ControlRow<juce::Label, 3> leftCaptions, rightCaptions;
    ControlRow<juce::Label, 4> fillCaptions;
    juce::Label &toastCaption, &biteCaption, &outputCaption;
    juce::ComboBox& recipeBox;
    juce::TextButton &linkButton, &mirrorButton, &freeButton, &diceButton, &previousButton, &nextButton,
        &saveButton, &loadButton;
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
} // namespace morsello
