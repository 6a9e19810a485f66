// What the editor asks to have repainted, and that those parts are enough: an open window must
// cost nothing while nothing changes, and a partial repaint must leave the same picture as a
// whole one.

#include "support/EditorFixture.h"

#include <cmath>

using namespace morsello;

namespace
{
// Put on a parent of the editor, it collects every area the editor (or a child of it) asks to
// have repainted, as a window would, without painting anything.
struct RepaintRecorder final : public juce::CachedComponentImage
{
    explicit RepaintRecorder (juce::Component& ownerIn) : owner (ownerIn) {}

    void paint (juce::Graphics&) override {}
    bool invalidateAll() override
    {
        requested.add (owner.getLocalBounds());
        return false;
    }
    bool invalidate (const juce::Rectangle<int>& area) override
    {
        requested.add (area);
        return false;
    }
    void releaseResources() override {}

    juce::Component& owner;
    juce::RectangleList<int> requested;
};

// The pixels in which two snapshots differ.
juce::RectangleList<int> differingPixels (const juce::Image& a, const juce::Image& b)
{
    juce::RectangleList<int> pixels;

    // One rectangle per run of differing pixels in a row.
    for (int y = 0; y < a.getHeight(); ++y)
    {
        for (int x = 0; x < a.getWidth();)
        {
            if (a.getPixelAt (x, y) == b.getPixelAt (x, y))
            {
                ++x;
                continue;
            }

            const auto start = x;

            while (x < a.getWidth() && a.getPixelAt (x, y) != b.getPixelAt (x, y))
                ++x;

            pixels.addWithoutMerging ({ start, y, x - start, 1 });
        }
    }

    return pixels;
}

class EditorRepaint : public EditorTest
{
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        window.setSize (editor->getWidth(), editor->getHeight());
        window.addAndMakeVisible (*editor);
        window.setVisible (true);
        recorder = new RepaintRecorder (window);
        window.setCachedComponentImage (recorder); // the window owns it
    }

    void TearDown() override { window.removeAllChildren(); }

    void tickWith (const std::array<float, 4>& peaks)
    {
        for (int c = 0; c < 4; ++c)
            if (peaks[(size_t) c] > 0.0f)
                processor.getLevelMeters().raise (c, peaks[(size_t) c]);

        access->tick();
    }

    juce::Image snapshot() { return editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f); }

    juce::Rectangle<int> requestedBounds() const { return recorder->requested.getBounds(); }

    // Where the meters lie, found as a tick with a peak on one meter alone shows them.
    juce::Rectangle<int> meterBounds (int firstChannel)
    {
        std::array<float, 4> peaks {};
        peaks[(size_t) firstChannel] = 0.5f;
        tickWith ({});
        recorder->requested.clear();
        tickWith (peaks);
        const auto bounds = requestedBounds();

        for (int tick = 0; tick < 200; ++tick)
            tickWith ({});

        return bounds;
    }

    juce::Component window;
    RepaintRecorder* recorder = nullptr;
};
} // namespace

TEST_F (EditorRepaint, NothingIsRepaintedWhileNothingChanges)
{
    // The first ticks draw the meters' silent state; then, in silence with steady controls,
    // ticks ask for nothing.
    tickWith ({});
    recorder->requested.clear();

    for (int tick = 0; tick < 100; ++tick)
        tickWith ({});

    EXPECT_TRUE (recorder->requested.isEmpty()) << requestedBounds().toString();

    // A peak is drawn, held, falls, and once it has gone below the bar the ticks stop again.
    tickWith ({ 0.8f, 0.8f, 0.8f, 0.8f });
    EXPECT_FALSE (recorder->requested.isEmpty());

    for (int tick = 0; tick < 200; ++tick)
        tickWith ({});

    recorder->requested.clear();

    for (int tick = 0; tick < 100; ++tick)
        tickWith ({});

    EXPECT_TRUE (recorder->requested.isEmpty()) << requestedBounds().toString();
}

TEST_F (EditorRepaint, ATickRepaintsOnlyTheMeterThatMoved)
{
    const auto input = meterBounds (0);
    const auto output = meterBounds (2);
    const auto editorArea = editor->getLocalBounds();

    // Each meter's area is a small part of the window, the two do not meet, and each covers its
    // meter's box in the picture (a dark panel at the design grid's 62/1328, 656, 300 x 76).
    EXPECT_LT (input.getWidth() * input.getHeight() * 20, editorArea.getWidth() * editorArea.getHeight());
    EXPECT_FALSE (input.intersects (output));
    const auto sx = (float) editor->getWidth() / 1672.0f;
    const auto sy = (float) editor->getHeight() / 941.0f;
    EXPECT_TRUE (input.contains (juce::Rectangle<float> (62.0f * sx, 656.0f * sy, 300.0f * sx, 76.0f * sy).getSmallestIntegerContainer()));
    EXPECT_TRUE (output.contains (juce::Rectangle<float> (1328.0f * sx, 656.0f * sy, 300.0f * sx, 76.0f * sy).getSmallestIntegerContainer()));

    struct Case
    {
        std::array<float, 4> peaks;
        bool inputMoves, outputMoves;
    };

    for (const auto& c : { Case { { 0.5f, 0.0f, 0.0f, 0.0f }, true, false },
                           Case { { 0.0f, 0.0f, 0.0f, 0.7f }, false, true },
                           Case { { 0.2f, 0.0f, 0.3f, 0.0f }, true, true } })
    {
        recorder->requested.clear();
        tickWith (c.peaks);

        EXPECT_EQ (recorder->requested.intersectsRectangle (input), c.inputMoves);
        EXPECT_EQ (recorder->requested.intersectsRectangle (output), c.outputMoves);
        auto outside = recorder->requested;
        outside.subtract (input);
        outside.subtract (output);
        EXPECT_TRUE (outside.isEmpty()) << outside.getBounds().toString();

        for (int tick = 0; tick < 200; ++tick)
            tickWith ({});
    }
}

// Music-like peaks, tick after tick: every pixel that changes lies in the areas the tick asked
// to repaint, and painting only those areas over the old picture (as a window does) gives the
// new picture exactly.
TEST_F (EditorRepaint, RepaintingTheRequestedAreasGivesTheWholeNewPicture)
{
    auto picture = snapshot();
    int ticksThatChangedPixels = 0;

    for (int tick = 0; tick < 60; ++tick)
    {
        const auto level = [tick] (float rate, float phase)
        { return tick < 45 ? 0.5f + 0.5f * std::sin (rate * (float) tick + phase) : 0.0f; };

        recorder->requested.clear();
        tickWith ({ level (0.9f, 0.0f), level (0.7f, 1.0f), 1.1f * level (0.5f, 2.0f), level (1.3f, 0.5f) });

        const auto wanted = snapshot();
        const auto changed = differingPixels (picture, wanted);
        ticksThatChangedPixels += changed.isEmpty() ? 0 : 1;

        auto outside = changed;
        outside.subtract (recorder->requested);
        ASSERT_TRUE (outside.isEmpty()) << "tick " << tick << ": pixels changed outside the repainted areas, within "
                                        << outside.getBounds().toString();

        {
            juce::Graphics g (picture);

            if (g.reduceClipRegion (recorder->requested))
                editor->paintEntireComponent (g, true);
        }

        const auto left = differingPixels (picture, wanted);
        ASSERT_TRUE (left.isEmpty()) << "tick " << tick << ": the partial repaint differs from a whole one within "
                                     << left.getBounds().toString();
    }

    EXPECT_GT (ticksThatChangedPixels, 30);
}

// Controls are not the timer's business: a value change repaints its control alone, and a
// bread mode set through its parameter repaints the buttons and bread 2's knobs at the next tick.
TEST_F (EditorRepaint, ControlsRepaintThemselvesWhenTheirValuesChange)
{
    tickWith ({});
    recorder->requested.clear();

    access->fillKnobs[1].setValue (0.9 * access->fillKnobs[1].getMaximum());
    EXPECT_TRUE (recorder->requested.containsRectangle (access->fillKnobs[1].getBounds()));
    EXPECT_TRUE (access->fillKnobs[1].getBounds().contains (requestedBounds())) << requestedBounds().toString();

    recorder->requested.clear();
    processor.setParameterValue ("breadMode", (float) toIndex (BreadMode::free));
    tickWith ({});

    for (auto* control : std::initializer_list<juce::Component*> { &access->linkButton, &access->freeButton,
                                                                   &access->rightKnobs[0], &access->rightKnobs[2] })
        EXPECT_TRUE (recorder->requested.intersectsRectangle (control->getBounds())) << control->getComponentID().toStdString();

    EXPECT_FALSE (recorder->requested.intersectsRectangle (access->leftKnobs[0].getBounds()));

    recorder->requested.clear();
    tickWith ({});
    EXPECT_TRUE (recorder->requested.isEmpty()) << requestedBounds().toString();
}
