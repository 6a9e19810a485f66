#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace morsello
{
// The plug-in's colours, fonts and control drawing on top of the framework's dark scheme.
// Keeps no state: one instance may draw any number of components. Special controls are told
// apart by their component ID (IDs ending in "Display", "fillingDisplay", "recipeDice") and knobs by
// their rotary fill colour.
class MorselloLookAndFeel final : public juce::LookAndFeel_V4
{
public:
    MorselloLookAndFeel();

    // The plain default sans-serif face at `height`, the one face the plug-in's texts use.
    static juce::Font plainFont (float height);

    // The outline a control shows while it is worked from the keyboard, just inside `area`.
    static void drawKeyboardFocusOutline (juce::Graphics&, juce::Rectangle<float> area);

    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
    juce::Font getTextButtonFont (juce::TextButton&, int buttonHeight) override;

    void drawComboBox (juce::Graphics&, int width, int height, bool isButtonDown,
                       int buttonX, int buttonY, int buttonW, int buttonH, juce::ComboBox&) override;
    juce::Font getComboBoxFont (juce::ComboBox&) override;

    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height, float sliderPosProportional,
                           float rotaryStartAngle, float rotaryEndAngle, juce::Slider&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MorselloLookAndFeel)
};
} // namespace morsello
