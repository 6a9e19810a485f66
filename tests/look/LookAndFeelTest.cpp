#include "look/MorselloLookAndFeel.h"
#include "look/Palette.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace morsello;

namespace
{
juce::Image blackImage (int width, int height)
{
    juce::Image image (juce::Image::RGB, width, height, true);
    juce::Graphics (image).fillAll (juce::Colours::black);
    return image;
}

// The slider's default rotary arc, as the framework hands it to drawRotarySlider.
constexpr float startAngle = juce::MathConstants<float>::pi * 1.2f;
constexpr float endAngle = juce::MathConstants<float>::pi * 2.8f;

juce::Image drawKnob (MorselloLookAndFeel& lookAndFeel, juce::Slider& slider, int width, int height, float position)
{
    auto image = blackImage (width, height);
    juce::Graphics g (image);
    lookAndFeel.drawRotarySlider (g, 0, 0, width, height, position, startAngle, endAngle, slider);
    return image;
}

// The brightest red value in the 3 x 3 pixels around a point: a 2 px dot never falls on one
// pixel exactly.
int brightestRedAround (const juce::Image& image, float x, float y)
{
    int brightest = 0;

    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            brightest = juce::jmax (brightest, (int) image.getPixelAt ((int) x + dx, (int) y + dy).getRed());

    return brightest;
}
} // namespace

//==============================================================================
TEST (LookAndFeelColours, TheLookSetsItsColoursAndComponentOverridesWin)
{
    MorselloLookAndFeel lookAndFeel;
    const juce::LookAndFeel_V4 framework;

    // The text boxes, menus and pop-ups the panel's colours replace.
    const int ids[] {
        juce::Slider::textBoxTextColourId,
        juce::Slider::textBoxBackgroundColourId,
        juce::Slider::textBoxOutlineColourId,
        juce::ComboBox::textColourId,
        juce::ComboBox::backgroundColourId,
        juce::ComboBox::outlineColourId,
        juce::PopupMenu::backgroundColourId,
        juce::PopupMenu::textColourId,
        juce::PopupMenu::highlightedBackgroundColourId,
    };

    juce::Slider plain, ownColours;
    plain.setLookAndFeel (&lookAndFeel);
    ownColours.setLookAndFeel (&lookAndFeel);

    for (const auto id : ids)
    {
        ownColours.setColour (id, juce::Colour (0xFF123456));

        EXPECT_NE (lookAndFeel.findColour (id), framework.findColour (id)) << std::hex << id;
        EXPECT_EQ (plain.findColour (id), lookAndFeel.findColour (id)) << std::hex << id;
        EXPECT_EQ (ownColours.findColour (id).getARGB(), 0xFF123456u) << std::hex << id;
    }

    plain.setLookAndFeel (nullptr);
    ownColours.setLookAndFeel (nullptr);
}

TEST (LookAndFeelFonts, PlainSeventeenForMenusAndFifteenForButtonsAtAnySize)
{
    MorselloLookAndFeel lookAndFeel;

    for (const auto& size : { juce::Point<int> { 1, 1 }, { 120, 30 }, { 900, 400 } })
    {
        juce::ComboBox box;
        box.setSize (size.x, size.y);
        const auto font = lookAndFeel.getComboBoxFont (box);
        EXPECT_FLOAT_EQ (font.getHeight(), 17.0f);
        EXPECT_EQ (font.getStyleFlags(), juce::Font::plain);
        EXPECT_EQ (font.getTypefaceName(), juce::Font::getDefaultSansSerifFontName());
    }

    juce::TextButton button;

    for (const int height : { 1, 30, 400 })
    {
        const auto font = lookAndFeel.getTextButtonFont (button, height);
        EXPECT_FLOAT_EQ (font.getHeight(), 15.0f) << height;
        EXPECT_EQ (font.getStyleFlags(), juce::Font::plain) << height;
    }
}

//==============================================================================
// A 100 x 80 knob at (0, 0): diameter 66, circle box at (17, 7), centre (50, 40); its 15
// dots lie on a circle of radius 37 and light up to the value.
TEST (KnobDrawing, DotsFollowTheValue)
{
    MorselloLookAndFeel lookAndFeel;
    juce::Slider slider;

    struct Case
    {
        float position;
        int lastLitDot;
    };

    for (const auto& c : { Case { 0.0f, 0 }, Case { 0.5f, 7 }, Case { 0.49f, 6 }, Case { 1.0f, 14 } })
    {
        const auto image = drawKnob (lookAndFeel, slider, 100, 80, c.position);

        for (int i = 0; i < 15; ++i)
        {
            const auto angle = startAngle + (endAngle - startAngle) * (float) i / 14.0f;
            const auto red = brightestRedAround (image, 50.0f + std::sin (angle) * 37.0f, 40.0f - std::cos (angle) * 37.0f);

            // Lit: cream at 0.95 gives a red of about 230 at the dot's centre; dim: at most 85.
            if (i <= c.lastLitDot)
                EXPECT_GT (red, 150) << "dot " << i << " at position " << c.position;
            else
                EXPECT_LT (red, 100) << "dot " << i << " at position " << c.position;
        }
    }
}

// Only a fill colour of exactly rust, alpha included, found on the knob itself selects the
// dark filling style with its amber ring; everything else is the bread style.
TEST (KnobDrawing, StyleComesFromTheKnobsOwnRustFillColour)
{
    MorselloLookAndFeel lookAndFeel;

    struct Case
    {
        const char* name;
        std::optional<juce::Colour> knobColour, parentColour;
        bool filling;
    };

    const Case cases[] {
        { "rust", Palette::rust, std::nullopt, true },
        { "no colour of its own", std::nullopt, std::nullopt, false },
        { "rust at alpha 0.99", Palette::rust.withAlpha (0.99f), std::nullopt, false },
        { "amber", Palette::amber, std::nullopt, false },
        { "rust one step off", juce::Colour (0xFFCA4E11), std::nullopt, false },
        { "rust only on the parent", std::nullopt, Palette::rust, false },
    };

    for (const auto& c : cases)
    {
        juce::Component parent;
        juce::Slider slider;
        parent.addAndMakeVisible (slider);

        if (c.knobColour)
            slider.setColour (juce::Slider::rotarySliderFillColourId, *c.knobColour);

        if (c.parentColour)
            parent.setColour (juce::Slider::rotarySliderFillColourId, *c.parentColour);

        const auto image = drawKnob (lookAndFeel, slider, 100, 80, 0.5f);

        // The ring at the top of the circle (y 7..9) and the body left of the centre.
        const auto ring = image.getPixelAt (50, 8);
        const auto body = image.getPixelAt (30, 40);

        EXPECT_EQ (ring, c.filling ? Palette::amber : Palette::cream) << c.name;

        if (c.filling)
            EXPECT_LT (body.getBrightness(), 0.3f) << c.name << ": " << body.toDisplayString (false);
        else
            EXPECT_GT (body.getBrightness(), 0.6f) << c.name << ": " << body.toDisplayString (false);
    }
}

TEST (KnobDrawing, PointerStandsUpAtTheTopOfTheArc)
{
    MorselloLookAndFeel lookAndFeel;
    juce::Slider slider;
    const auto image = drawKnob (lookAndFeel, slider, 100, 80, 0.5f);

    // From 0.4 D (26.4) to 0.06 D (4) above the centre, charcoal on the light body.
    EXPECT_EQ (image.getPixelAt (50, 25), Palette::charcoal);
    EXPECT_NE (image.getPixelAt (50, 55), Palette::charcoal);
    EXPECT_NE (image.getPixelAt (60, 25), Palette::charcoal);
}

TEST (KnobDrawing, TinyKnobsDrawOnlyWhatFits)
{
    MorselloLookAndFeel lookAndFeel;
    juce::Slider slider;

    for (const auto& size : { juce::Point<int> { 1, 1 }, { 13, 30 }, { 14, 14 }, { 15, 200 } })
    {
        const auto image = drawKnob (lookAndFeel, slider, size.x, size.y, 0.3f);
        EXPECT_EQ (image.getWidth(), size.x);
    }
}

//==============================================================================
// Sampled just inside the left edge, between the frame's outer edge and the bezel: the frame's
// accent on a display, the plain box's charcoal otherwise.
TEST (ComboBoxDrawing, OnlyIdsEndingInCapitalDisplayAreDisplays)
{
    MorselloLookAndFeel lookAndFeel;

    enum class Look
    {
        tanDisplay,
        amberDisplay,
        plain
    };

    struct Case
    {
        const char* id;
        Look look;
    };

    for (const auto& c : { Case { "breadDisplay", Look::tanDisplay }, Case { "fillingDisplay", Look::amberDisplay },
                           Case { "breadisplay", Look::plain }, Case { "breaddisplay", Look::plain },
                           Case { "recipeBox", Look::plain }, Case { "", Look::plain } })
    {
        juce::ComboBox box;
        box.setLookAndFeel (&lookAndFeel);
        box.setComponentID (c.id);
        box.setSize (200, 40);

        auto image = blackImage (200, 40);
        {
            juce::Graphics g (image);
            lookAndFeel.drawComboBox (g, 200, 40, false, 0, 0, 0, 0, box);
        }

        const auto edge = image.getPixelAt (3, 20);
        const auto context = ::testing::Message() << "id \"" << c.id << "\": " << edge.toDisplayString (false);

        switch (c.look)
        {
            case Look::tanDisplay:
                EXPECT_GT (edge.getRed(), 180) << context;
                EXPECT_GT (edge.getBlue(), 140) << context;
                break;
            case Look::amberDisplay:
                EXPECT_GT (edge.getRed(), 180) << context;
                EXPECT_LT (edge.getBlue(), 140) << context;
                break;
            case Look::plain:
                EXPECT_EQ (edge, Palette::charcoal) << context;
                break;
        }

        // The cream arrow is drawn on every box.
        EXPECT_EQ (image.getPixelAt (200 - 13, 19), Palette::cream) << c.id;

        box.setLookAndFeel (nullptr);
    }
}

//==============================================================================
TEST (ButtonDrawing, FillAndOutlineFollowToggleHoverAndPress)
{
    MorselloLookAndFeel lookAndFeel;

    struct Case
    {
        bool toggled, highlighted, down;
        juce::uint32 fill;
    };

    const Case cases[] {
        { false, false, false, 0xFF292827 },
        { false, true, false, 0xFF3F3F3E },
        { false, false, true, 0xFF242322 },
        { false, true, true, 0xFF383837 },
        { true, false, false, 0xFFCA4E10 },
        { true, true, false, 0xFFCF6029 },
        { true, false, true, 0xFFB4450E },
        { true, true, true, 0xFFB85524 },
    };

    for (const auto& c : cases)
    {
        juce::TextButton button;
        button.setSize (120, 40);
        button.setToggleState (c.toggled, juce::dontSendNotification);

        juce::Image image (juce::Image::ARGB, 120, 40, true);
        {
            juce::Graphics g (image);
            lookAndFeel.drawButtonBackground (g, button, juce::Colours::hotpink, c.highlighted, c.down);
        }

        const auto context = ::testing::Message() << "toggled " << c.toggled << ", highlighted " << c.highlighted
                                                  << ", down " << c.down;
        EXPECT_EQ (image.getPixelAt (60, 20).getARGB(), c.fill) << context;

        // The outline is centred on x = 1: amber and 1.8 wide when on, cream and 1 wide when off,
        // so the outermost column is more covered when on.
        const auto outline = image.getPixelAt (0, 20);

        if (c.toggled)
        {
            EXPECT_LT (outline.getBlue(), 120) << context << " outline " << outline.toDisplayString (true);
            EXPECT_GT (outline.getAlpha(), 140) << context << " outline " << outline.toDisplayString (true);
        }
        else
        {
            EXPECT_GT (outline.getBlue(), 150) << context << " outline " << outline.toDisplayString (true);
            EXPECT_LT (outline.getAlpha(), 130) << context << " outline " << outline.toDisplayString (true);
        }
    }
}

TEST (ButtonDrawing, DieFaceOnlyOnTheRecipeDiceButton)
{
    MorselloLookAndFeel lookAndFeel;

    for (const auto* id : { "recipeDice", "recipedice", "", "diceButton" })
    {
        juce::TextButton button;
        button.setComponentID (id);
        button.setSize (62, 62);

        juce::Image image (juce::Image::ARGB, 62, 62, true);
        {
            juce::Graphics g (image);
            lookAndFeel.drawButtonBackground (g, button, {}, false, false);
        }

        // A 62 px button: the die is 33 px wide from (14.5, 14.5); its middle pip is charcoal and
        // the face between the two top pips cream.
        const bool die = juce::String (id) == "recipeDice";
        const auto face = image.getPixelAt (31, 22);
        const auto middlePip = image.getPixelAt (31, 31);

        EXPECT_EQ (face.getARGB(), die ? Palette::cream.getARGB() : 0xFF292827u) << id;
        EXPECT_EQ (middlePip.getARGB(), die ? Palette::charcoal.getARGB() : 0xFF292827u) << id;
    }
}
