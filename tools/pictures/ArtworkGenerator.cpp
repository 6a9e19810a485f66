// Paints the editor's two pictures, the front panel and the logo, and writes them as opaque
// PNG files. The output is deterministic (fixed random seed), so re-running it reproduces the
// committed files unless the drawing changes.
//
//     morsello_artwork <output folder>

#include "PngOutput.h"
#include "editor/PluginEditor.h"
#include "look/Palette.h"

namespace morsello
{
namespace
{
// The panel is the editor's design grid, pixel for pixel.
constexpr int panelWidth = MorselloAudioProcessorEditor::designWidth;
constexpr int panelHeight = MorselloAudioProcessorEditor::designHeight;
constexpr int logoWidth = 1983;
constexpr int logoHeight = 793;

// The panel shares the controls' palette; these are the artwork's own extra shades.
const juce::Colour crust { 0xFFA8662C };
const juce::Colour crumb { 0xFFF1DFBC };
const juce::Colour wire { 0xFFEF7A22 };

// Brushed metal: faint horizontal streaks of varying brightness over a dark vertical gradient.
void paintMetal (juce::Graphics& g, juce::Rectangle<float> area, juce::Random& random)
{
    g.setGradientFill (juce::ColourGradient (juce::Colour (0xFF1C1B1A), area.getX(), area.getY(),
                                             juce::Colour (0xFF0B0B0A), area.getX(), area.getBottom(), false));
    g.fillRect (area);

    for (float y = area.getY(); y < area.getBottom(); y += 1.0f)
    {
        const auto brightness = random.nextFloat();
        g.setColour ((brightness > 0.5f ? juce::Colours::white : juce::Colours::black)
                         .withAlpha (0.012f + 0.03f * std::abs (brightness - 0.5f)));
        const auto start = area.getX() + random.nextFloat() * area.getWidth() * 0.5f;
        g.fillRect (start, y, area.getWidth() * (0.3f + 0.7f * random.nextFloat()), 1.0f);
    }
}

void paintScrew (juce::Graphics& g, juce::Point<float> centre, float radius, float slotAngle)
{
    const auto box = juce::Rectangle<float> (radius * 2.0f, radius * 2.0f).withCentre (centre);

    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.fillEllipse (box.translated (0.0f, 1.5f).expanded (1.5f));

    g.setGradientFill (juce::ColourGradient (juce::Colour (0xFF8E8A84), box.getX(), box.getY(),
                                             juce::Colour (0xFF2A2826), box.getRight(), box.getBottom(), false));
    g.fillEllipse (box);
    g.setColour (juce::Colour (0xFF0E0D0C));
    g.drawEllipse (box, 1.0f);

    juce::Path slot;
    slot.addRoundedRectangle (-radius * 0.75f, -1.6f, radius * 1.5f, 3.2f, 1.2f);
    slot.applyTransform (juce::AffineTransform::rotation (slotAngle).translated (centre));
    g.setColour (juce::Colour (0xFF161514));
    g.fillPath (slot);
}

// A slice of bread: a crust outline with two rounded lobes on top and a pale, lightly pitted
// crumb inside. The text and the controls of a bread layer sit on the crumb.
juce::Path sliceOutline (juce::Rectangle<float> area)
{
    const auto x = area.getX(), y = area.getY(), w = area.getWidth(), h = area.getHeight();
    const auto shoulder = y + 0.2f * h;
    const auto bottom = area.getBottom();
    const auto corner = 0.09f * w;

    juce::Path p;
    p.startNewSubPath (x + 0.05f * w, bottom - corner);
    p.lineTo (x + 0.05f * w, shoulder + 0.12f * h);
    p.cubicTo (x - 0.02f * w, shoulder + 0.02f * h, x + 0.0f * w, y, x + 0.25f * w, y);
    p.cubicTo (x + 0.38f * w, y - 0.005f * h, x + 0.45f * w, y + 0.03f * h, x + 0.5f * w, y + 0.045f * h);
    p.cubicTo (x + 0.55f * w, y + 0.03f * h, x + 0.62f * w, y - 0.005f * h, x + 0.75f * w, y);
    p.cubicTo (x + 1.0f * w, y, x + 1.02f * w, shoulder + 0.02f * h, x + 0.95f * w, shoulder + 0.12f * h);
    p.lineTo (x + 0.95f * w, bottom - corner);
    p.quadraticTo (x + 0.95f * w, bottom, x + 0.95f * w - corner, bottom);
    p.lineTo (x + 0.05f * w + corner, bottom);
    p.quadraticTo (x + 0.05f * w, bottom, x + 0.05f * w, bottom - corner);
    p.closeSubPath();
    return p;
}

void paintSlice (juce::Graphics& g, juce::Rectangle<float> area, juce::Random& random)
{
    const auto outline = sliceOutline (area);

    g.setColour (juce::Colours::black.withAlpha (0.55f));
    g.fillPath (outline, juce::AffineTransform::translation (0.0f, 7.0f));

    g.setGradientFill (juce::ColourGradient (crust.brighter (0.25f), area.getX(), area.getY(),
                                             crust.darker (0.35f), area.getRight(), area.getBottom(), false));
    g.fillPath (outline);

    // The crumb: the outline shrunk towards its centre, leaving an even crust all round.
    const auto crustWidth = 13.0f;
    const auto inner = sliceOutline (area.reduced (crustWidth));
    g.setGradientFill (juce::ColourGradient (crumb.brighter (0.05f), area.getCentreX(), area.getY() + 40.0f,
                                             juce::Colour (0xFFE2C89A), area.getCentreX(), area.getBottom(), false));
    g.fillPath (inner);

    // Pores of the crumb, kept small and faint so that text and knobs stay readable on it.
    g.saveState();
    g.reduceClipRegion (inner);

    for (int i = 0; i < 260; ++i)
    {
        const auto px = area.getX() + random.nextFloat() * area.getWidth();
        const auto py = area.getY() + random.nextFloat() * area.getHeight();
        const auto size = 1.5f + random.nextFloat() * 4.0f;
        g.setColour (juce::Colour (0xFFB08850).withAlpha (0.10f + 0.12f * random.nextFloat()));
        g.fillEllipse (px, py, size * 1.4f, size);
    }

    g.setColour (juce::Colours::white.withAlpha (0.25f));
    g.strokePath (inner, juce::PathStrokeType (2.0f), juce::AffineTransform::translation (0.0f, 1.5f));
    g.restoreState();

    g.setColour (juce::Colours::black.withAlpha (0.35f));
    g.strokePath (outline, juce::PathStrokeType (1.5f));
}

// The filling: a dark, warm panel that glows amber from its edge inwards.
void paintFillingPanel (juce::Graphics& g, juce::Rectangle<float> area)
{
    constexpr float corner = 26.0f;

    for (int i = 14; i > 0; --i)
    {
        g.setColour (Palette::amber.withAlpha (0.018f * (float) (15 - i)));
        g.drawRoundedRectangle (area.expanded ((float) i * 1.6f), corner + (float) i * 1.6f, 3.0f);
    }

    g.setGradientFill (juce::ColourGradient (juce::Colour (0xFF4A2A0C), area.getCentreX(), area.getY(),
                                             juce::Colour (0xFF1E1108), area.getCentreX(), area.getBottom(), false));
    g.fillRoundedRectangle (area, corner);

    g.saveState();
    juce::Path clip;
    clip.addRoundedRectangle (area, corner);
    g.reduceClipRegion (clip);

    for (int i = 0; i < 24; ++i)
    {
        g.setColour (Palette::amber.withAlpha (0.05f * (1.0f - (float) i / 24.0f)));
        g.drawRoundedRectangle (area.reduced ((float) i * 2.0f), juce::jmax (4.0f, corner - (float) i * 2.0f), 2.5f);
    }

    juce::ColourGradient warmth (Palette::amber.withAlpha (0.16f), area.getCentreX(), area.getY() + 0.45f * area.getHeight(),
                                 Palette::amber.withAlpha (0.0f), area.getCentreX(), area.getY() - 0.1f * area.getHeight(), true);
    g.setGradientFill (warmth);
    g.fillRect (area);
    g.restoreState();

    g.setColour (Palette::amber);
    g.drawRoundedRectangle (area.reduced (1.0f), corner, 2.2f);
    g.setColour (Palette::amber.brighter (0.4f).withAlpha (0.5f));
    g.drawRoundedRectangle (area.reduced (4.0f), corner - 3.0f, 1.0f);
}

// A thin orange wire with a soft glow, joining a slice to the filling.
void paintWire (juce::Graphics& g, float x1, float x2, float y)
{
    for (int i = 4; i > 0; --i)
    {
        g.setColour (wire.withAlpha (0.08f * (float) (5 - i)));
        g.drawLine (x1, y, x2, y, 2.0f + 2.5f * (float) i);
    }

    g.setColour (wire.brighter (0.3f));
    g.drawLine (x1, y, x2, y, 2.0f);

    for (auto x : { x1, x2 })
    {
        g.setColour (wire);
        g.fillEllipse (x - 4.0f, y - 4.0f, 8.0f, 8.0f);
    }
}

juce::Image paintBackground()
{
    juce::Image image (juce::Image::RGB, panelWidth, panelHeight, true);
    juce::Graphics g (image);
    juce::Random random (0x5A1CE);

    paintMetal (g, image.getBounds().toFloat(), random);

    // A bevelled top band behind the logo and the titles.
    g.setColour (juce::Colours::black.withAlpha (0.35f));
    g.fillRect (0.0f, 156.0f, (float) panelWidth, 1.0f);
    g.setColour (juce::Colours::white.withAlpha (0.05f));
    g.fillRect (0.0f, 157.0f, (float) panelWidth, 1.0f);

    // Wires first, so that the panels cover their ends.
    for (auto y : { 300.0f, 430.0f })
    {
        paintWire (g, 478.0f, 530.0f, y);
        paintWire (g, 1142.0f, 1195.0f, y);
    }

    paintSlice (g, { 35.0f, 160.0f, 455.0f, 385.0f }, random);
    paintSlice (g, { 1183.0f, 160.0f, 454.0f, 385.0f }, random);
    paintFillingPanel (g, { 517.0f, 160.0f, 638.0f, 380.0f });

    // A faint recess for the recipe controls and the finishing knobs in the lower panel.
    g.setColour (juce::Colours::black.withAlpha (0.25f));
    g.fillRoundedRectangle (395.0f, 655.0f, 548.0f, 140.0f, 14.0f);
    g.fillRoundedRectangle (958.0f, 626.0f, 336.0f, 186.0f, 14.0f);
    g.setColour (juce::Colours::white.withAlpha (0.06f));
    g.drawRoundedRectangle (395.0f, 655.0f, 548.0f, 140.0f, 14.0f, 1.0f);
    g.drawRoundedRectangle (958.0f, 626.0f, 336.0f, 186.0f, 14.0f, 1.0f);

    const std::initializer_list<juce::Point<float>> screws {
        { 22.0f, 22.0f },
        { 1650.0f, 22.0f },
        { 22.0f, 919.0f },
        { 1650.0f, 919.0f },
        { 836.0f, 22.0f },
        { 836.0f, 919.0f },
        { 22.0f, 600.0f },
        { 1650.0f, 600.0f }
    };

    for (const auto& centre : screws)
        paintScrew (g, centre, 9.0f, random.nextFloat() * juce::MathConstants<float>::pi);

    return image;
}

// The logo: an enamel badge with a stacked sandwich and the name. Only the badge's area, the
// middle of the picture, is shown by the editor; the margin around it is plain.
juce::Image paintLogo()
{
    juce::Image image (juce::Image::RGB, logoWidth, logoHeight, true);
    juce::Graphics g (image);
    g.fillAll (juce::Colour (0xFF171615));

    const juce::Rectangle<float> badge { 297.0f, 198.0f, 1388.0f, 365.0f };

    g.setGradientFill (juce::ColourGradient (juce::Colour (0xFF2B2622), badge.getX(), badge.getY(),
                                             juce::Colour (0xFF110F0E), badge.getX(), badge.getBottom(), false));
    g.fillRoundedRectangle (badge, 60.0f);
    g.setColour (Palette::amber);
    g.drawRoundedRectangle (badge.reduced (10.0f), 52.0f, 12.0f);
    g.setColour (Palette::rust.withAlpha (0.8f));
    g.drawRoundedRectangle (badge.reduced (30.0f), 40.0f, 4.0f);

    // The sandwich: bread, filling, bread.
    const juce::Rectangle<float> icon { badge.getX() + 90.0f, badge.getY() + 70.0f, 300.0f, 225.0f };
    const auto layerHeight = icon.getHeight() / 3.0f;
    const std::array<juce::Colour, 3> layers { Palette::tan, Palette::amber, Palette::tan };

    for (int i = 0; i < 3; ++i)
    {
        auto layer = icon.withHeight (layerHeight - 12.0f).translated (0.0f, (float) i * layerHeight);

        if (i == 1)
            layer = layer.expanded (14.0f, 0.0f);

        g.setColour (juce::Colours::black.withAlpha (0.5f));
        g.fillRoundedRectangle (layer.translated (0.0f, 6.0f), 28.0f);
        g.setColour (layers[(size_t) i]);
        g.fillRoundedRectangle (layer, 28.0f);
        g.setColour (layers[(size_t) i].darker (0.5f));
        g.drawRoundedRectangle (layer, 28.0f, 5.0f);
    }

    const juce::Rectangle<float> word { icon.getRight() + 70.0f, badge.getY() + 40.0f,
                                        badge.getRight() - icon.getRight() - 130.0f, badge.getHeight() - 80.0f };
    juce::Font font (juce::Font::getDefaultSansSerifFontName(), 220.0f, juce::Font::bold);
    font.setHeight (juce::jmin (220.0f, 220.0f * (word.getWidth() - 40.0f) / font.getStringWidthFloat ("morsello")));
    g.setFont (font);
    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.drawText ("morsello", word.translated (0.0f, 8.0f), juce::Justification::centredLeft, false);
    g.setColour (Palette::cream);
    g.drawText ("morsello", word, juce::Justification::centredLeft, false);

    return image;
}
} // namespace
} // namespace morsello

using namespace morsello;

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI framework;
    const auto folder = outputFolder (argc, argv, "morsello_artwork");

    if (folder == juce::File())
        return 2;

    const auto ok = writePng (paintBackground(), folder.getChildFile ("morsello-background.png"))
                    && writePng (paintLogo(), folder.getChildFile ("logo.png"));

    if (! ok)
    {
        std::cerr << "could not write the pictures into " << folder.getFullPathName() << "\n";
        return 1;
    }

    return 0;
}
