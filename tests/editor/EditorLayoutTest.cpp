#include "support/EditorFixture.h"

#include <map>
#include <utility>

using namespace morsello;

namespace
{
// The bounds of every control the editor lays out (each carries a component ID; the
// framework's resize corner, which keeps its own size, does not).
std::map<juce::Component*, juce::Rectangle<int>> childBounds (juce::Component& editor)
{
    std::map<juce::Component*, juce::Rectangle<int>> bounds;

    for (auto* child : editor.getChildren())
        if (child->getComponentID().isNotEmpty())
            bounds[child] = child->getBounds();

    return bounds;
}

juce::String nameOf (const juce::Component& child)
{
    return child.getComponentID();
}
} // namespace

TEST_F (EditorTest, OpensAtTheStartSizeUncorrectedByTheRatio)
{
    EXPECT_EQ (editor->getWidth(), 1254);
    EXPECT_EQ (editor->getHeight(), 706);
    EXPECT_TRUE (editor->isResizable());
}

// The layout is one design drawn at any window size: every child at a size is its bounds at
// the design size scaled by the window's, to the pixel, and at every size the children stay
// inside the window and none covers another.
TEST_F (EditorTest, ChildrenScaleWithTheWindowAndNeverOverlap)
{
    editor->setSize (MorselloAudioProcessorEditor::designWidth, MorselloAudioProcessorEditor::designHeight);
    const auto design = childBounds (*editor);
    ASSERT_GE (design.size(), 33u);

    for (const auto& [width, height] : { std::pair { 1254, 706 }, std::pair { 1170, 658 }, std::pair { 1672, 941 } })
    {
        editor->setSize (width, height);
        const auto sx = (double) width / MorselloAudioProcessorEditor::designWidth;
        const auto sy = (double) height / MorselloAudioProcessorEditor::designHeight;

        for (const auto& [child, d] : design)
        {
            const auto b = child->getBounds();
            const auto context = ::testing::Message() << nameOf (*child) << " at " << width << " x " << height;

            EXPECT_NEAR (b.getX(), d.getX() * sx, 1.0) << context;
            EXPECT_NEAR (b.getY(), d.getY() * sy, 1.0) << context;
            EXPECT_NEAR (b.getWidth(), d.getWidth() * sx, 1.0) << context;
            EXPECT_NEAR (b.getHeight(), d.getHeight() * sy, 1.0) << context;
            EXPECT_TRUE (editor->getLocalBounds().contains (b)) << context;
            EXPECT_FALSE (b.isEmpty()) << context;

            for (const auto& [other, unused] : design)
            {
                if (other != child && child->isVisible() && other->isVisible())
                {
                    EXPECT_FALSE (b.intersects (other->getBounds())) << context << " covers " << nameOf (*other);
                }
            }
        }
    }
}

TEST_F (EditorTest, ResizingIsLimitedAndKeepsTheRatio)
{
    auto* constrainer = editor->getConstrainer();
    ASSERT_NE (constrainer, nullptr);
    EXPECT_EQ (constrainer->getMinimumWidth(), 1170);
    EXPECT_EQ (constrainer->getMinimumHeight(), 658);
    EXPECT_EQ (constrainer->getMaximumWidth(), 1672);
    EXPECT_EQ (constrainer->getMaximumHeight(), 941);
    EXPECT_DOUBLE_EQ (constrainer->getFixedAspectRatio(), 1672.0 / 941.0);

    struct Case
    {
        int width, height;
    };

    for (const auto [width, height] : { Case { 5000, 5000 }, Case { 1672, 500 }, Case { 10, 10 },
                                        Case { 1400, 1400 }, Case { 1300, 700 } })
    {
        editor->setBoundsConstrained ({ 0, 0, width, height });
        const auto w = editor->getWidth(), h = editor->getHeight();
        const auto context = ::testing::Message() << "asked " << width << " x " << height << ", got " << w << " x " << h;

        EXPECT_GE (w, 1170) << context;
        EXPECT_LE (w, 1672) << context;
        EXPECT_GE (h, 658) << context;
        EXPECT_LE (h, 941) << context;
        EXPECT_NEAR ((double) w / 1672.0 * 941.0, (double) h, 1.0) << context;
    }

    editor->setBoundsConstrained ({ 0, 0, 5000, 5000 });
    EXPECT_EQ (editor->getBounds().getWidth(), 1672);
    EXPECT_EQ (editor->getBounds().getHeight(), 941);
}

TEST_F (EditorTest, FinishingControlsGetTheirFinalStylesFromLayout)
{
    EXPECT_EQ (access->outputSlider.getSliderStyle(), juce::Slider::LinearHorizontal);
    EXPECT_EQ (access->outputSlider.getTextBoxPosition(), juce::Slider::TextBoxRight);
    EXPECT_EQ (access->outputSlider.getTextBoxWidth(), 68);
    EXPECT_EQ (access->outputSlider.getTextBoxHeight(), 22);

    for (auto* knob : { &access->toastKnob, &access->biteKnob })
    {
        EXPECT_EQ (knob->getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag);
        EXPECT_EQ (knob->getTextBoxPosition(), juce::Slider::TextBoxBelow);
        EXPECT_EQ (knob->getTextBoxWidth(), 64);
        EXPECT_EQ (knob->getTextBoxHeight(), 17);
        EXPECT_TRUE (knob->isTextBoxEditable());
    }

    EXPECT_EQ (access->leftKnobs[0].getTextBoxWidth(), 62);
    EXPECT_EQ (access->leftKnobs[0].getTextBoxHeight(), 17);
}

// Degenerate and odd sizes reach layout and painting directly (hosts may set any size);
// nothing may crash, and the layout must come back when a normal size returns.
TEST_F (EditorTest, SurvivesDegenerateAndOddSizes)
{
    const auto before = childBounds (*editor);

    struct Case
    {
        int width, height;
    };

    for (const auto [width, height] : { Case { 0, 0 }, Case { 1, 1 }, Case { 3, 2 }, Case { 13, 7 },
                                        Case { 1171, 659 }, Case { 1255, 707 }, Case { 2500, 300 } })
    {
        editor->setSize (width, height);
        access->tick();

        juce::Image image (juce::Image::ARGB, juce::jmax (1, width), juce::jmax (1, height), true);
        juce::Graphics g (image);
        editor->paintEntireComponent (g, false);
    }

    editor->setSize (1254, 706);
    EXPECT_EQ (childBounds (*editor), before);
}

TEST (EditorLifetime, OpensClosesAndReopensOnAnUnpreparedProcessor)
{
    MorselloAudioProcessor processor;

    for (int round = 0; round < 3; ++round)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);
        EXPECT_EQ (processor.getActiveEditor(), editor.get());
        auto snapshot = editor->createComponentSnapshot (editor->getLocalBounds());
        EXPECT_EQ (snapshot.getWidth(), 1254);
        processor.editorBeingDeleted (editor.get());
    }
}
