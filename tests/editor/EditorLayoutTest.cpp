#include "EditorFixture.h"

#include <functional>

namespace
{
struct Placement
{
    const char* child;
    std::function<juce::Component&(EditorTestAccess&)> get;
    juce::Rectangle<int> atStartSize; // 1254 x 706: sx = 0.75 exactly, sy = 706 / 941
    juce::Rectangle<int> atDesignSize; // 1672 x 941: the design grid itself
};

#define CHILD(member) #member, [] (EditorTestAccess& a) -> juce::Component& { return a.member; }

// Bounds at the start size worked out by hand from the design grid, rounding each product on
// its own to the nearest integer with ties to even. Ties at 0.75: 294 -> 220.5 -> 220,
// 62 -> 46.5 -> 46, 318 -> 238.5 -> 238, but 1210 -> 907.5 -> 908 and 606 -> 454.5 -> 454.
const std::vector<Placement> placements {
    { CHILD (bread1Box), { 87, 189, 220, 44 }, { 116, 252, 294, 58 } },
    { CHILD (fillingBox), { 508, 189, 238, 44 }, { 677, 252, 318, 58 } },
    { CHILD (bread2Box), { 948, 189, 220, 44 }, { 1264, 252, 294, 58 } },
    { CHILD (leftKnobs[0]), { 46, 255, 90, 99 }, { 62, 340, 120, 132 } },
    { CHILD (leftKnobs[1]), { 151, 255, 90, 99 }, { 201, 340, 120, 132 } },
    { CHILD (leftKnobs[2]), { 255, 255, 90, 99 }, { 340, 340, 120, 132 } },
    { CHILD (leftCaptions[0]), { 46, 358, 90, 23 }, { 62, 477, 120, 30 } },
    { CHILD (leftCaptions[2]), { 255, 358, 90, 23 }, { 340, 477, 120, 30 } },
    { CHILD (rightKnobs[0]), { 908, 255, 90, 99 }, { 1210, 340, 120, 132 } },
    { CHILD (rightKnobs[1]), { 1012, 255, 90, 99 }, { 1349, 340, 120, 132 } },
    { CHILD (rightKnobs[2]), { 1116, 255, 90, 99 }, { 1488, 340, 120, 132 } },
    { CHILD (rightCaptions[1]), { 1012, 358, 90, 23 }, { 1349, 477, 120, 30 } },
    { CHILD (fillKnobs[0]), { 418, 255, 90, 99 }, { 557, 340, 120, 132 } },
    { CHILD (fillKnobs[1]), { 528, 255, 90, 99 }, { 704, 340, 120, 132 } },
    { CHILD (fillKnobs[2]), { 638, 255, 90, 99 }, { 851, 340, 120, 132 } },
    { CHILD (fillKnobs[3]), { 748, 255, 90, 99 }, { 998, 340, 120, 132 } },
    { CHILD (fillCaptions[3]), { 748, 358, 90, 23 }, { 998, 477, 120, 30 } },
    { CHILD (linkButton), { 454, 428, 109, 32 }, { 606, 570, 145, 42 } },
    { CHILD (mirrorButton), { 570, 428, 109, 32 }, { 760, 570, 145, 42 } },
    { CHILD (freeButton), { 686, 428, 109, 32 }, { 914, 570, 145, 42 } },
    { CHILD (diceButton), { 311, 506, 46, 47 }, { 415, 675, 62, 62 } },
    { CHILD (previousButton), { 386, 508, 30, 39 }, { 515, 677, 40, 52 } },
    { CHILD (recipeBox), { 421, 508, 236, 39 }, { 561, 677, 315, 52 } },
    { CHILD (nextButton), { 662, 508, 30, 39 }, { 882, 677, 40, 52 } },
    { CHILD (saveButton), { 454, 563, 75, 23 }, { 606, 750, 100, 30 } },
    { CHILD (loadButton), { 556, 563, 75, 23 }, { 742, 750, 100, 30 } },
    { CHILD (toastKnob), { 730, 488, 84, 87 }, { 973, 650, 112, 116 } },
    { CHILD (toastCaption), { 730, 579, 84, 21 }, { 973, 772, 112, 28 } },
    { CHILD (biteKnob), { 845, 465, 114, 110 }, { 1127, 620, 152, 146 } },
    { CHILD (biteCaption), { 861, 579, 82, 21 }, { 1148, 772, 110, 28 } },
    { CHILD (outputCaption), { 996, 579, 66, 23 }, { 1328, 772, 88, 30 } },
    { CHILD (outputSlider), { 1069, 579, 152, 23 }, { 1425, 772, 203, 30 } },
};

#undef CHILD
} // namespace

TEST_F (EditorTest, OpensAtTheStartSizeUncorrectedByTheRatio)
{
    EXPECT_EQ (editor->getWidth(), 1254);
    EXPECT_EQ (editor->getHeight(), 706);
    EXPECT_TRUE (editor->isResizable());
}

TEST_F (EditorTest, ChildrenFollowTheDesignGridAtStartAndDesignSize)
{
    for (const auto& p : placements)
        EXPECT_EQ (p.get (*access).getBounds(), p.atStartSize) << p.child << " at 1254 x 706";

    editor->setSize (1672, 941);

    for (const auto& p : placements)
        EXPECT_EQ (p.get (*access).getBounds(), p.atDesignSize) << p.child << " at 1672 x 941";
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
    EXPECT_EQ (access->recipeBox.getBounds(), juce::Rectangle<int> (421, 508, 236, 39));
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
