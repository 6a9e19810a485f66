#include "support/EditorFixture.h"

#include "processor/programs/FactoryRecipes.h"
#include "support/GestureRecorder.h"

using namespace morsello;

namespace
{
template <typename Labels>
juce::StringArray texts (const Labels& labels)
{
    juce::StringArray result;

    for (const auto& label : labels)
        result.add (label.getText());

    return result;
}
} // namespace

//==============================================================================
TEST_F (EditorTest, KnobsAndParametersMoveEachOtherBothWays)
{
    // Different values each way, so a control that merely kept the old value fails.
    struct Binding
    {
        const char* id;
        juce::Slider& slider;
        float fromParameter, fromControl;
    };

    const std::vector<Binding> bindings {
        { "left1", access->leftKnobs[0], 0.125f, 0.901f },
        { "left2", access->leftKnobs[1], 0.25f, 0.802f },
        { "left3", access->leftKnobs[2], 0.375f, 0.703f },
        { "right1", access->rightKnobs[0], 0.625f, 0.104f },
        { "right2", access->rightKnobs[1], 0.75f, 0.205f },
        { "right3", access->rightKnobs[2], 0.875f, 0.306f },
        { "fill1", access->fillKnobs[0], 0.1f, 0.407f },
        { "fill2", access->fillKnobs[1], 0.2f, 0.508f },
        { "fill3", access->fillKnobs[2], 0.3f, 0.609f },
        { "fill4", access->fillKnobs[3], 0.4f, 0.71f },
        { "toast", access->toastKnob, 0.9f, 0.011f },
        { "bite", access->biteKnob, 0.05f, 0.999f },
        { "output", access->outputSlider, -7.5f, 4.2f },
    };

    for (const auto& b : bindings)
    {
        processor.setParameterValue (b.id, b.fromParameter);
        EXPECT_NEAR (b.slider.getValue(), b.fromParameter, 1.0e-5) << b.id << ": parameter to control";

        b.slider.setValue (b.fromControl, juce::sendNotificationSync);
        EXPECT_NEAR (raw (b.id), b.fromControl, 1.0e-5) << b.id << ": control to parameter";
    }

    struct Menu
    {
        const char* id;
        juce::ComboBox& box;
        int index;
    };

    for (const auto& m : { Menu { "breadType", access->bread1Box, 11 }, Menu { "breadType", access->bread2Box, 5 },
                           Menu { "fillingType", access->fillingBox, 7 } })
    {
        processor.setParameterValue (m.id, 2.0f);
        EXPECT_EQ (m.box.getSelectedItemIndex(), 2) << m.id;

        m.box.setSelectedItemIndex (m.index, juce::sendNotificationSync);
        EXPECT_EQ (juce::roundToInt (raw (m.id)), m.index) << m.id;
    }
}

TEST_F (EditorTest, DoubleClickValuesAndOutputText)
{
    for (auto* knob : { &access->leftKnobs[0], &access->rightKnobs[2], &access->fillKnobs[3], &access->toastKnob,
                        &access->biteKnob })
    {
        EXPECT_TRUE (knob->isDoubleClickReturnEnabled());
        EXPECT_DOUBLE_EQ (knob->getDoubleClickReturnValue(), 0.5);
    }

    EXPECT_DOUBLE_EQ (access->outputSlider.getDoubleClickReturnValue(), 0.0);

    processor.setParameterValue ("output", -3.0f);
    EXPECT_EQ (access->outputSlider.getTextFromValue (access->outputSlider.getValue()), "-3.0 dB");
}

TEST_F (EditorTest, ChoosingAKindInEitherBreadMenuMovesBothSlicesAndTheirCaptions)
{
    access->bread2Box.setText ("delay", juce::sendNotificationSync);

    EXPECT_EQ (access->bread1Box.getText(), "delay");
    EXPECT_EQ (juce::roundToInt (raw ("breadType")), 6);
    EXPECT_EQ (texts (access->leftCaptions), juce::StringArray ({ "time", "spread", "amount" }));
    EXPECT_EQ (texts (access->rightCaptions), juce::StringArray ({ "time", "spread", "amount" }));

    access->bread1Box.setText ("ring mod", juce::sendNotificationSync);

    EXPECT_EQ (access->bread2Box.getText(), "ring mod");
    EXPECT_EQ (texts (access->leftCaptions), juce::StringArray ({ "frequency", "shape", "amount" }));
    EXPECT_EQ (texts (access->rightCaptions), juce::StringArray ({ "frequency", "shape", "amount" }));
}

TEST_F (EditorTest, CaptionsFollowKindsChangedOutsideTheEditor)
{
    // As host automation would: straight through the parameter.
    processor.setParameterValue ("fillingType", 3.0f);
    EXPECT_EQ (texts (access->fillCaptions), juce::StringArray ({ "rate", "bits", "dust", "amount" }));

    processor.setParameterValue ("breadType", 3.0f);
    processor.setParameterValue ("fillingType", 1.0f);

    // A newly opened editor starts from the parameters, not from defaults.
    openEditor();
    EXPECT_EQ (texts (access->leftCaptions), juce::StringArray ({ "time", "feedback", "mix" }));
    EXPECT_EQ (texts (access->rightCaptions), juce::StringArray ({ "time", "feedback", "mix" }));
    EXPECT_EQ (texts (access->fillCaptions), juce::StringArray ({ "space", "damping", "width", "amount" }));

    // The finishing captions never change with the kinds.
    EXPECT_EQ (access->toastCaption.getText(), "toast");
    EXPECT_EQ (access->biteCaption.getText(), "bite");
    EXPECT_EQ (access->outputCaption.getText(), "output");
}

TEST_F (EditorTest, ModeButtonsShowTheParameterNotTheirOwnClicks)
{
    const std::array<juce::TextButton*, 3> buttons { &access->linkButton, &access->mirrorButton, &access->freeButton };

    const auto expectMode = [&] (BreadMode mode, const char* when)
    {
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ (buttons[(size_t) i]->getToggleState(), i == toIndex (mode)) << when << ", button " << i;

        for (auto& knob : access->rightKnobs)
        {
            EXPECT_EQ (knob.isEnabled(), mode == BreadMode::free) << when;
            EXPECT_FLOAT_EQ (knob.getAlpha(), mode == BreadMode::free ? 1.0f : 0.8f) << when;
        }
    };

    access->tick();
    expectMode (BreadMode::link, "at start");

    access->mirrorButton.triggerClick();
    runQueuedMessages();
    EXPECT_EQ (juce::roundToInt (raw ("breadMode")), toIndex (BreadMode::mirror));
    EXPECT_FALSE (access->mirrorButton.getToggleState()) << "a click alone must not toggle the button";
    EXPECT_TRUE (access->linkButton.getToggleState());

    access->tick();
    expectMode (BreadMode::mirror, "one tick after clicking mirror");

    access->freeButton.triggerClick();
    runQueuedMessages();
    access->tick();
    expectMode (BreadMode::free, "one tick after clicking free");

    // Host automation reaches the buttons on the next tick too.
    processor.getParameterTree().getParameter ("breadMode")->setValueNotifyingHost (0.0f);
    access->tick();
    expectMode (BreadMode::link, "one tick after automation to link");

    // Clicking the button that is already on leaves it on.
    access->linkButton.triggerClick();
    runQueuedMessages();
    access->tick();
    expectMode (BreadMode::link, "after clicking link again");
}

TEST_F (EditorTest, ModeClickIsOneGestureTowardsTheHost)
{
    GestureRecorder recorder;
    processor.addListener (&recorder);
    access->freeButton.triggerClick();
    runQueuedMessages();
    processor.removeListener (&recorder);

    EXPECT_EQ (recorder.events, GestureRecorder::gesturesFor ({ "breadMode" }));
}

//==============================================================================
TEST_F (EditorTest, RecipeBoxListsTheFactoryRecipesAndAppliesTheChosenOne)
{
    ASSERT_EQ (access->recipeBox.getNumItems(), kNumFactoryRecipes);

    for (int j = 0; j < kNumFactoryRecipes; ++j)
    {
        EXPECT_EQ (access->recipeBox.getItemText (j), kFactoryRecipes[(size_t) j].name);
        EXPECT_EQ (access->recipeBox.getItemId (j), j + 1);
    }

    EXPECT_EQ (access->recipeBox.getText(), "soft centre");
    EXPECT_FALSE (access->recipeBox.isTextEditable());

    access->recipeBox.setSelectedId (4, juce::sendNotificationSync);

    EXPECT_EQ (processor.getCurrentProgram(), 3);
    EXPECT_EQ (editor->getSelectedRecipe(), 3);
    EXPECT_EQ (access->recipeBox.getText(), "jam tomorrow");
    EXPECT_EQ (juce::roundToInt (raw ("breadType")), toIndex (kFactoryRecipes[3].breadType));
    EXPECT_FLOAT_EQ (raw ("bite"), kFactoryRecipes[3].bite);
    EXPECT_EQ (access->bread1Box.getText(), "chorus");
}

TEST_F (EditorTest, PreviousAndNextStepAndWrapAround)
{
    struct Step
    {
        int from, step, to;
    };

    for (const auto& s : { Step { 15, +1, 0 }, Step { 0, -1, 15 }, Step { 7, +1, 8 }, Step { 7, -1, 6 } })
    {
        access->recipeBox.setSelectedId (s.from + 1, juce::sendNotificationSync);
        (s.step > 0 ? access->nextButton : access->previousButton).triggerClick();
        runQueuedMessages();

        EXPECT_EQ (editor->getSelectedRecipe(), s.to) << "from " << s.from;
        EXPECT_EQ (processor.getCurrentProgram(), s.to) << "from " << s.from;
        EXPECT_EQ (access->recipeBox.getText(), kFactoryRecipes[(size_t) s.to].name) << "from " << s.from;
        EXPECT_EQ (access->recipeBox.getSelectedId(), s.to + 1) << "from " << s.from;
    }
}

TEST_F (EditorTest, SteppingAfterFreeTextStartsFromTheRecipeLastChosenHere)
{
    access->recipeBox.setSelectedId (10, juce::sendNotificationSync); // "quiet deli", index 9

    // What the randomiser or a loaded file leaves: free text, no item, the processor elsewhere.
    access->recipeBox.setText ("chef's choice", juce::dontSendNotification);
    processor.setCurrentProgram (2);

    access->nextButton.triggerClick();
    runQueuedMessages();

    EXPECT_EQ (editor->getSelectedRecipe(), 10);
    EXPECT_EQ (processor.getCurrentProgram(), 10);
    EXPECT_EQ (access->recipeBox.getText(), kFactoryRecipes[10].name);
}

TEST_F (EditorTest, NewEditorShowsTheCurrentProgram)
{
    processor.applyFactoryRecipe (12);
    openEditor();
    EXPECT_EQ (access->recipeBox.getText(), "alien cutlery");
    EXPECT_EQ (access->recipeBox.getSelectedId(), 13);
    EXPECT_EQ (editor->getSelectedRecipe(), 12);
}

TEST_F (EditorTest, DiceShowsChefsChoiceWithoutApplyingARecipe)
{
    access->recipeBox.setSelectedId (10, juce::sendNotificationSync); // "quiet deli", index 9
    int boxChanges = 0;
    access->recipeBox.onChange = [&boxChanges]
    { ++boxChanges; };

    access->diceButton.triggerClick();
    runQueuedMessages();

    EXPECT_EQ (access->recipeBox.getText(), "chef's choice");
    EXPECT_EQ (access->recipeBox.getSelectedId(), 0);
    EXPECT_EQ (processor.getCurrentProgram(), 9);
    EXPECT_EQ (boxChanges, 0) << "the recipe box must not apply a recipe";
}

TEST_F (EditorTest, ButtonsAndMenusCarryTheirNames)
{
    EXPECT_EQ (access->diceButton.getButtonText(), "");
    EXPECT_EQ (access->diceButton.getName(), juce::String::fromUTF8 ("\xe2\x9a\x84  chef's choice"));
    EXPECT_EQ (access->diceButton.getTooltip(), "Randomise recipe");
    EXPECT_EQ (access->previousButton.getButtonText(), juce::String::fromUTF8 ("\xe2\x80\xb9"));
    EXPECT_EQ (access->nextButton.getButtonText(), juce::String::fromUTF8 ("\xe2\x80\xba"));
    EXPECT_EQ (access->saveButton.getButtonText(), "save");
    EXPECT_EQ (access->loadButton.getButtonText(), "load");
    EXPECT_EQ (access->bread1Box.getNumItems(), kBreadTypeNames.size());
    EXPECT_EQ (access->fillingBox.getNumItems(), kFillingTypeNames.size());
}
