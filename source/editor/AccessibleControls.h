#pragma once

#include "editor/MeterDisplay.h"
#include "look/MorselloLookAndFeel.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>
#include <vector>

namespace morsello
{
// The window's controls as a screen reader and the keyboard reach them. Each draws exactly as
// the framework control it extends; what they add is a title and value a person can follow,
// keys that work them, and a focus outline while the keyboard is in use.

// Draws the keyboard focus outline over a control while it is worked from the keyboard: shown
// when focus arrives by the Tab key or the control uses a key press, gone when focus leaves. A
// control focused any other way (a mouse click, a screen reader, the window gaining focus)
// draws as it always did.
template <typename Control>
class KeyboardOutlined : public Control
{
public:
    using Control::Control;

    bool isOutlineShown() const noexcept { return outlineShown; }

    void focusGained (juce::Component::FocusChangeType cause) override
    {
        Control::focusGained (cause);
        showOutline (cause == juce::Component::focusChangedByTabKey);
    }

    void focusLost (juce::Component::FocusChangeType cause) override
    {
        Control::focusLost (cause);
        showOutline (false);
    }

    void paintOverChildren (juce::Graphics& g) override
    {
        Control::paintOverChildren (g);

        if (outlineShown)
            MorselloLookAndFeel::drawKeyboardFocusOutline (g, this->getLocalBounds().toFloat());
    }

protected:
    // For a key press the control has used: the user is on the keyboard.
    void keyWasUsed() { showOutline (this->hasKeyboardFocus (false)); }

private:
    void showOutline (bool shouldShow)
    {
        if (outlineShown != shouldShow)
        {
            outlineShown = shouldShow;
            this->repaint();
        }
    }

    bool outlineShown = false;
};

// A knob or slider bound to a parameter (through the framework's attachment). It reports the
// parameter's text as the host shows it, and keys move it: arrows by a small step, page keys by
// ten of them, Home and End to the range's ends. Every change from a key or a screen reader is
// one gesture towards the host, so automation records it.
class ParameterKnob final : public KeyboardOutlined<juce::Slider>
{
public:
    ParameterKnob();

    void setParameter (const juce::RangedAudioParameter& boundParameter) noexcept { parameter = &boundParameter; }

    // The parameter's present text and unit ("0.680", "-3.0 dB").
    juce::String getValueText();

    // A hundredth of the range, in whole steps of the parameter; the page keys move ten of them.
    double getSmallStep() const noexcept;
    double getLargeStep() const noexcept { return 10.0 * getSmallStep(); }

    // Moves to `newValue`, kept within the range, as one gesture; nothing when it is the value
    // already shown.
    void moveTo (double newValue);

    // Sets the title a screen reader reads and tells it when that changed.
    void retitle (const juce::String& newTitle);

    bool keyPressed (const juce::KeyPress&) override;
    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;

private:
    const juce::RangedAudioParameter* parameter = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ParameterKnob)
};

// A menu that reports its own title (the framework's reports the chosen item's text in its
// place) and opens with Space as it does with Return.
class PanelMenu final : public KeyboardOutlined<juce::ComboBox>
{
public:
    PanelMenu() = default;

    bool keyPressed (const juce::KeyPress&) override;
    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PanelMenu)
};

// A button that presses with Space as with Return. One of a set of choices (the bread modes)
// reports itself as a radio button, checked while it shows the current choice.
class PanelButton final : public KeyboardOutlined<juce::TextButton>
{
public:
    using KeyboardOutlined<juce::TextButton>::KeyboardOutlined;

    void setReportedAsChoice (bool isChoice) noexcept { reportedAsChoice = isChoice; }

    bool keyPressed (const juce::KeyPress&) override;
    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;

private:
    bool reportedAsChoice = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PanelButton)
};

// An invisible stand-in for one meter, which the editor paints itself: it lies over the meter,
// lets every mouse event through, draws nothing, and reports the meter's held peak as a
// read-only value in dB, as the meter's header shows it.
class LevelReadout final : public juce::Component
{
public:
    LevelReadout (const MeterDisplayState& meters, int firstChannel);

    juce::String getLevelText() const;
    double getLevelDecibels() const; // the bar's range, -60..0: silence gives -60

    // Called when the meter's text changed, so that a screen reader reads the new one.
    void levelChanged();

    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;

private:
    float heldPeak() const noexcept;

    const MeterDisplayState& meters;
    const int firstChannel;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LevelReadout)
};

// A window's controls in reading order, as a screen reader finds them (every listed component
// that is visible, disabled ones included: the platforms report them as unavailable) or as the
// Tab key goes through them (those that are enabled and take the keyboard's focus). A component
// inside a listed one (a knob's text box being edited) moves on from the one it is in.
class ReadingOrder final : public juce::ComponentTraverser
{
public:
    enum class Reach
    {
        screenReader,
        keyboard
    };

    ReadingOrder (std::vector<juce::Component*> componentsInOrder, Reach reachedBy)
        : order (std::move (componentsInOrder)), reach (reachedBy)
    {
    }

    juce::Component* getDefaultComponent (juce::Component* parent) override;
    juce::Component* getNextComponent (juce::Component* current) override;
    juce::Component* getPreviousComponent (juce::Component* current) override;
    std::vector<juce::Component*> getAllComponents (juce::Component* parent) override;

private:
    bool reaches (const juce::Component&) const;
    juce::Component* step (juce::Component* current, int direction);

    std::vector<juce::Component*> order;
    Reach reach;
};
} // namespace morsello
