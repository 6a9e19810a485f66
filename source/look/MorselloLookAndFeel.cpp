#include "look/MorselloLookAndFeel.h"

#include "look/Palette.h"

#include <array>
#include <cmath>
#include <utility>

namespace morsello
{
namespace
{
// Fixed colours of the control drawings that are not part of the shared palette.
const juce::Colour knobWell { 0xFF16130F };
const juce::Colour breadBodyLight { 0xFFF0DAB3 };
const juce::Colour breadBodyDark { 0xFF9A8260 };
const juce::Colour fillingBodyLight { 0xFF48362A };
const juce::Colour fillingBodyDark { 0xFF161413 };
const juce::Colour screenLight { 0xFF25221C };
const juce::Colour screenDark { 0xFF0C0C0B };

// Knobs carry their style in their rotary fill colour: exactly rust, alpha included, selects the
// filling style. The colour is looked up on the slider and then in the look and feel, never in
// a parent, so a parent's colour cannot change a knob's style.
bool isFillingStyle (const juce::Slider& slider)
{
    return slider.findColour (juce::Slider::rotarySliderFillColourId, false).getARGB() == Palette::rust.getARGB();
}
} // namespace

juce::Font MorselloLookAndFeel::plainFont (float height)
{
    // The framework version in use names fonts by typeface and height.
    return juce::Font (juce::Font::getDefaultSansSerifFontName(), height, juce::Font::plain);
}

void MorselloLookAndFeel::drawKeyboardFocusOutline (juce::Graphics& g, juce::Rectangle<float> area)
{
    // Light over dark, so that it shows on the cream slices, the amber panel and the dark ground.
    const auto outline = area.reduced (1.5f);
    g.setColour (Palette::charcoal);
    g.drawRoundedRectangle (outline, 6.0f, 3.0f);
    g.setColour (Palette::amber);
    g.drawRoundedRectangle (outline, 6.0f, 1.5f);
}

MorselloLookAndFeel::MorselloLookAndFeel()
{
    setColour (juce::Slider::textBoxTextColourId, Palette::cream);
    setColour (juce::Slider::textBoxBackgroundColourId, Palette::charcoal.withAlpha (0.92f));
    setColour (juce::Slider::textBoxOutlineColourId, juce::Colours::transparentBlack);
    setColour (juce::ComboBox::textColourId, Palette::cream);
    setColour (juce::ComboBox::backgroundColourId, Palette::charcoal);
    setColour (juce::ComboBox::outlineColourId, Palette::amber.withAlpha (0.5f));
    setColour (juce::PopupMenu::backgroundColourId, Palette::charcoal);
    setColour (juce::PopupMenu::textColourId, Palette::cream);
    setColour (juce::PopupMenu::highlightedBackgroundColourId, Palette::rust);
}

//==============================================================================
void MorselloLookAndFeel::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour&,
                                                bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown)
{
    const auto w2 = (float) juce::jmax (button.getWidth() - 2, 0);
    const auto h2 = (float) juce::jmax (button.getHeight() - 2, 0);
    const auto toggled = button.getToggleState();
    const juce::Rectangle<float> face { 1.0f, 1.0f, w2, h2 };

    auto fill = toggled ? Palette::rust : Palette::charcoal.brighter (0.1f);

    if (shouldDrawButtonAsHighlighted)
        fill = fill.brighter (0.12f);

    if (shouldDrawButtonAsDown)
        fill = fill.darker (0.12f);

    g.setColour (fill);
    g.fillRoundedRectangle (face, 7.0f);

    g.setColour ((toggled ? Palette::amber : Palette::cream).withAlpha (0.75f));
    g.drawRoundedRectangle (face, 7.0f, toggled ? 1.8f : 1.0f);

    if (button.getComponentID() == "recipeDice")
    {
        // A die showing five, centred on the button's face.
        const auto side = 0.55f * juce::jmin (w2, h2);
        const auto left = w2 / 2.0f + 1.0f - side / 2.0f;
        const auto top = h2 / 2.0f + 1.0f - side / 2.0f;

        g.setColour (Palette::cream);
        g.fillRoundedRectangle (left, top, side, side, 0.14f * side);

        static constexpr std::array<std::pair<float, float>, 5> pips {
            { { 0.25f, 0.25f }, { 0.75f, 0.25f }, { 0.5f, 0.5f }, { 0.25f, 0.75f }, { 0.75f, 0.75f } }
        };
        const auto pipSize = 0.14f * side;

        g.setColour (Palette::charcoal);

        for (const auto& [px, py] : pips)
            g.fillEllipse (left + px * side - pipSize / 2.0f, top + py * side - pipSize / 2.0f, pipSize, pipSize);
    }
}

juce::Font MorselloLookAndFeel::getTextButtonFont (juce::TextButton&, int)
{
    return plainFont (15.0f);
}

//==============================================================================
void MorselloLookAndFeel::drawComboBox (juce::Graphics& g, int width, int height, bool, int, int, int, int,
                                        juce::ComboBox& box)
{
    const auto w2 = (float) juce::jmax (width - 2, 0);
    const auto h2 = (float) juce::jmax (height - 2, 0);
    const auto& id = box.getComponentID();

    if (id.endsWith ("Display"))
    {
        const auto accent = id == "fillingDisplay" ? Palette::amber : Palette::tan;

        juce::ColourGradient frame (accent.brighter (0.5f), 1.0f, 1.0f,
                                    Palette::brown.darker (0.5f), w2 + 1.0f, h2 + 1.0f, false);
        frame.addColour (0.45, accent.darker (0.25f));
        frame.addColour (0.7, accent.brighter (0.18f));
        g.setGradientFill (frame);
        g.fillRoundedRectangle (1.0f, 1.0f, w2, h2, 11.0f);

        g.setColour (juce::Colours::black.withAlpha (0.9f));
        g.fillRoundedRectangle (4.0f, 4.0f, juce::jmax (w2 - 6.0f, 0.0f), juce::jmax (h2 - 6.0f, 0.0f), 8.0f);

        const auto screenWidth = juce::jmax (w2 - 9.0f, 0.0f);
        const auto screenHeight = juce::jmax (h2 - 9.0f, 0.0f);
        g.setGradientFill (juce::ColourGradient (screenLight, 5.5f, 5.5f,
                                                 screenDark, 5.5f + screenWidth, 5.5f + screenHeight, false));
        g.fillRoundedRectangle (5.5f, 5.5f, screenWidth, screenHeight, 7.0f);

        g.setColour (accent.withAlpha (box.isMouseOverOrDragging (false) ? 0.95f : 0.45f));
        g.drawRoundedRectangle (2.0f, 2.0f, juce::jmax (w2 - 2.0f, 0.0f), juce::jmax (h2 - 2.0f, 0.0f), 10.0f, 1.0f);

        g.setColour (Palette::cream.withAlpha (0.22f));
        g.drawLine (14.0f, 6.0f, (float) width - 14.0f, 6.0f, 1.0f);
    }
    else
    {
        const juce::Rectangle<float> face { 1.0f, 1.0f, w2, h2 };

        g.setColour (box.findColour (juce::ComboBox::backgroundColourId));
        g.fillRoundedRectangle (face, 10.0f);
        g.setColour (box.findColour (juce::ComboBox::outlineColourId));
        g.drawRoundedRectangle (face, 10.0f, 1.3f);
    }

    const auto w = (float) width;
    const auto h = (float) height;
    juce::Path arrow;
    arrow.addTriangle (w - 17.0f, 0.44f * h, w - 9.0f, 0.44f * h, w - 13.0f, 0.59f * h);
    g.setColour (Palette::cream);
    g.fillPath (arrow);
}

juce::Font MorselloLookAndFeel::getComboBoxFont (juce::ComboBox&)
{
    return plainFont (17.0f);
}

//==============================================================================
void MorselloLookAndFeel::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height,
                                            float sliderPosProportional, float rotaryStartAngle,
                                            float rotaryEndAngle, juce::Slider& slider)
{
    // A 7-pixel margin all round leaves room for the dot scale outside the ring.
    const auto innerWidth = (float) juce::jmax (width - 14, 0);
    const auto innerHeight = (float) juce::jmax (height - 14, 0);
    const auto diameter = juce::jmin (innerWidth, innerHeight);
    const auto radius = diameter / 2.0f;
    const auto left = (float) x + 7.0f + innerWidth / 2.0f - radius;
    const auto top = (float) y + 7.0f + innerHeight / 2.0f - radius;
    const auto centreX = left + radius;
    const auto centreY = top + radius;
    const auto angle = rotaryStartAngle + sliderPosProportional * (rotaryEndAngle - rotaryStartAngle);
    const auto filling = isFillingStyle (slider);

    // The scale: dot 0 is always lit, and the lit dots follow the value.
    constexpr int numDots = 15;

    for (int i = 0; i < numDots; ++i)
    {
        const auto fraction = (float) i / (float) (numDots - 1);
        const auto dotAngle = rotaryStartAngle + (rotaryEndAngle - rotaryStartAngle) * fraction;
        const auto distance = radius + 4.0f;

        g.setColour (Palette::cream.withAlpha (sliderPosProportional >= fraction ? 0.95f : 0.35f));
        g.fillEllipse (centreX + std::sin (dotAngle) * distance - 1.0f,
                       centreY - std::cos (dotAngle) * distance - 1.0f, 2.0f, 2.0f);
    }

    g.setColour (juce::Colours::black.withAlpha (0.45f));
    g.fillEllipse (left, top + 3.0f, diameter, diameter);

    g.setColour (filling ? Palette::amber : Palette::cream);
    g.fillEllipse (left, top, diameter, diameter);

    const auto wellSize = juce::jmax (diameter - 4.0f, 0.0f);
    g.setColour (knobWell);
    g.fillEllipse (left + 2.0f, top + 2.0f, wellSize, wellSize);

    const auto bodySize = juce::jmax (diameter - 10.0f, 0.0f);
    g.setGradientFill (juce::ColourGradient (filling ? fillingBodyLight : breadBodyLight, left + 5.0f, top + 5.0f,
                                             filling ? fillingBodyDark : breadBodyDark,
                                             left + 5.0f + bodySize, top + 5.0f + bodySize, false));
    g.fillEllipse (left + 5.0f, top + 5.0f, bodySize, bodySize);

    g.setColour ((filling ? Palette::amber : Palette::cream).withAlpha (0.9f));
    g.drawEllipse (left + 5.0f, top + 5.0f, bodySize, bodySize, 1.0f);

    juce::Path pointer;
    pointer.addRoundedRectangle (-1.4f, -0.4f * diameter, 2.8f, 0.34f * diameter, 1.2f);
    pointer.applyTransform (juce::AffineTransform::rotation (angle).translated (centreX, centreY));
    g.setColour (filling ? Palette::amber : Palette::charcoal);
    g.fillPath (pointer);
}
} // namespace morsello
