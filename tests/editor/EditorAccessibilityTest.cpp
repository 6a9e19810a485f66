// The editor as a screen reader and a keyboard reach it: what the framework's accessibility
// interface reports for every control, the order in which a screen reader and the Tab key go
// through the window, and knobs, menus and buttons worked without a mouse.

#include "support/EditorFixture.h"

#include "processor/programs/FactoryRecipes.h"
#include "support/GestureRecorder.h"

#include <dlfcn.h>

#include <functional>
#include <optional>
#include <tuple>

using namespace morsello;

namespace
{
using Role = juce::AccessibilityRole;
using Action = juce::AccessibilityActionType;

juce::String actionsOf (const juce::AccessibilityHandler& handler)
{
    juce::StringArray names;

    for (const auto& [action, name] : { std::pair { Action::press, "press" }, std::pair { Action::showMenu, "showMenu" },
                                        std::pair { Action::toggle, "toggle" } })
        if (handler.getActions().contains (action))
            names.add (name);

    return names.joinIntoString (" ");
}

juce::String valueOf (const juce::AccessibilityHandler& handler)
{
    const auto* value = handler.getValueInterface();
    return value != nullptr ? value->getCurrentValueAsString() : juce::String();
}

// A key as the window hands it to the focused control.
bool press (juce::Component& control, const juce::KeyPress& key) { return control.keyPressed (key); }

juce::StringArray titlesOf (const std::vector<juce::Component*>& components)
{
    juce::StringArray titles;

    for (auto* component : components)
        titles.add (component->getTitle());

    return titles;
}

// Without a window manager, the virtual display refuses some of the window properties the
// framework sets; those refusals do not matter here, and the default handler would end the run.
void ignoreXErrors()
{
    if (auto* x11 = dlopen ("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD))
        if (auto* setHandler = reinterpret_cast<void* (*) (int (*) (void*, void*))> (dlsym (x11, "XSetErrorHandler")))
            setHandler ([] (void*, void*)
                        { return 0; });
}

// The editor in a window of its own: the framework gives accessibility handlers only to
// components on the screen.
class EditorAccessibility : public EditorTest
{
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        ignoreXErrors();
        editor->addToDesktop (juce::ComponentPeer::windowIsTemporary);
        editor->setVisible (true);
        access->tick();
        processor.addListener (&recorder);
    }

    void TearDown() override
    {
        processor.removeListener (&recorder);
        juce::PopupMenu::dismissAllActiveMenus();
        runQueuedMessages();
    }

    juce::AccessibilityHandler& handlerOf (juce::Component& component)
    {
        auto* handler = component.getAccessibilityHandler();

        if (handler == nullptr)
        {
            ADD_FAILURE() << "no accessibility handler for " << component.getComponentID();
            throw std::runtime_error ("no accessibility handler");
        }

        return *handler;
    }

    juce::Component& meter (const char* id) { return findControl<juce::Component> (*editor, id); }

    // The open menu's item with this title, as a screen reader finds it, or nothing.
    static juce::AccessibilityHandler* openMenuItem (const juce::String& title)
    {
        for (int i = 0; i < juce::Desktop::getInstance().getNumComponents(); ++i)
        {
            auto* window = juce::Desktop::getInstance().getComponent (i);
            auto* menu = window != nullptr ? window->getAccessibilityHandler() : nullptr;

            if (menu == nullptr || menu->getRole() != Role::popupMenu)
                continue;

            for (auto* item : window->getChildren())
                if (auto* handler = item->getAccessibilityHandler())
                    if (handler->getRole() == Role::menuItem && handler->getTitle() == title)
                        return handler;
        }

        return nullptr;
    }

    GestureRecorder recorder;
};

// What every control reports, in the window's reading order.
struct Expected
{
    juce::Component* control;
    Role role;
    juce::String title, value, actions;
    std::optional<bool> checked; // for the bread mode choices
};
} // namespace

//==============================================================================
// The kinds and values are set through the parameters after the editor opened, as a host
// would, so the titles and values shown here are ones that followed those changes.
TEST_F (EditorAccessibility, EveryControlReportsRoleTitleAndValueInReadingOrder)
{
    processor.setParameterValue ("breadType", 2.0f);   // chorus
    processor.setParameterValue ("fillingType", 1.0f); // reverb
    processor.setParameterValue ("breadMode", 1.0f);   // mirror
    for (const auto& [id, value] : { std::pair { "left1", 0.68f }, { "left2", 0.1f }, { "left3", 0.2f }, { "fill1", 0.3f }, { "fill2", 0.4f }, { "fill3", 0.55f }, { "fill4", 0.9f }, { "right1", 0.6f }, { "right2", 0.7f }, { "right3", 0.125f }, { "toast", 0.25f }, { "bite", 1.0f }, { "output", -3.0f } })
        processor.setParameterValue (id, value);

    processor.getLevelMeters().raise (0, 0.5f);
    processor.getLevelMeters().raise (1, 0.25f);
    access->tick();

    auto& a = *access;
    const auto recipe = kFactoryRecipes[(size_t) processor.getCurrentProgram()].name;

    const std::vector<Expected> table {
        { &a.bread1Box, Role::comboBox, "bread kind", "chorus", "press showMenu", {} },
        { &a.leftKnobs[0], Role::slider, "bread 1 rate", "0.680", "", {} },
        { &a.leftKnobs[1], Role::slider, "bread 1 depth", "0.100", "", {} },
        { &a.leftKnobs[2], Role::slider, "bread 1 mix", "0.200", "", {} },
        { &a.fillingBox, Role::comboBox, "filling kind", "reverb", "press showMenu", {} },
        { &a.fillKnobs[0], Role::slider, "filling space", "0.300", "", {} },
        { &a.fillKnobs[1], Role::slider, "filling damping", "0.400", "", {} },
        { &a.fillKnobs[2], Role::slider, "filling width", "0.550", "", {} },
        { &a.fillKnobs[3], Role::slider, "filling amount", "0.900", "", {} },
        { &a.bread2Box, Role::comboBox, "bread kind", "chorus", "press showMenu", {} },
        { &a.rightKnobs[0], Role::slider, "bread 2 rate", "0.600", "", {} },
        { &a.rightKnobs[1], Role::slider, "bread 2 depth", "0.700", "", {} },
        { &a.rightKnobs[2], Role::slider, "bread 2 mix", "0.125", "", {} },
        { &a.linkButton, Role::radioButton, "bread mode: link", "", "press", false },
        { &a.mirrorButton, Role::radioButton, "bread mode: mirror", "", "press", true },
        { &a.freeButton, Role::radioButton, "bread mode: free", "", "press", false },
        { &meter ("inputLevel"), Role::progressBar, "input level", "-6.0 dB", "", {} },
        { &a.diceButton, Role::button, "chef's choice", "", "press", {} },
        { &a.previousButton, Role::button, "previous recipe", "", "press", {} },
        { &a.recipeBox, Role::comboBox, "recipe", recipe, "press showMenu", {} },
        { &a.nextButton, Role::button, "next recipe", "", "press", {} },
        { &a.saveButton, Role::button, "save recipe", "", "press", {} },
        { &a.loadButton, Role::button, "load recipe", "", "press", {} },
        { &a.toastKnob, Role::slider, "toast", "0.250", "", {} },
        { &a.biteKnob, Role::slider, "bite", "1.000", "", {} },
        { &meter ("outputLevel"), Role::progressBar, "output level", "-inf dB", "", {} },
        { &a.outputSlider, Role::slider, "output", "-3.0 dB", "", {} },
    };

    std::vector<juce::Component*> keyboardOrder;

    for (const auto& row : table)
    {
        auto& handler = handlerOf (*row.control);
        const auto context = ::testing::Message() << row.title;

        EXPECT_EQ (handler.getRole(), row.role) << context;
        EXPECT_EQ (handler.getTitle(), row.title) << context;
        EXPECT_EQ (valueOf (handler), row.value) << context;
        EXPECT_EQ (actionsOf (handler), row.actions) << context;
        EXPECT_FALSE (handler.isIgnored()) << context;

        const auto state = handler.getCurrentState();
        EXPECT_EQ (state.isCheckable(), row.checked.has_value()) << context;
        EXPECT_EQ (state.isChecked(), row.checked.value_or (false)) << context;

        // Bread 2's knobs only show their values outside the free mode (the mode here is mirror).
        if (const auto* value = handler.getValueInterface(); value != nullptr && row.role == Role::slider)
        {
            EXPECT_EQ (value->isReadOnly(), ! row.control->isEnabled()) << context;
        }

        if (row.control->isEnabled() && row.role != Role::progressBar)
            keyboardOrder.push_back (row.control);
    }

    // A screen reader finds exactly these, in this order, disabled ones included; the Tab key
    // takes the same order without the meters and the disabled knobs.
    std::vector<juce::Component*> readerOrder;

    for (auto* child : handlerOf (*editor).getChildren())
        readerOrder.push_back (&child->getComponent());

    std::vector<juce::Component*> tableOrder;

    for (const auto& row : table)
        tableOrder.push_back (row.control);

    EXPECT_EQ (titlesOf (readerOrder), titlesOf (tableOrder));
    EXPECT_NE (handlerOf (a.bread1Box).getDescription(), handlerOf (a.bread2Box).getDescription())
        << "the two bread menus share a title; their descriptions tell them apart";
    EXPECT_EQ (readerOrder, tableOrder);

    ASSERT_EQ (keyboardOrder.size(), table.size() - 5u); // less two meters and bread 2's three knobs
    EXPECT_EQ (editor->createKeyboardFocusTraverser()->getAllComponents (editor.get()), keyboardOrder);

    // In the free mode bread 2's knobs take the keyboard's focus too, between bread 2's menu and
    // the mode buttons.
    processor.setParameterValue ("breadMode", 2.0f);
    access->tick();
    const auto freeOrder = editor->createKeyboardFocusTraverser()->getAllComponents (editor.get());
    ASSERT_EQ (freeOrder.size(), keyboardOrder.size() + 3u);
    EXPECT_EQ (titlesOf ({ freeOrder.begin() + 9, freeOrder.begin() + 14 }),
               juce::StringArray ({ "bread kind", "bread 2 rate", "bread 2 depth", "bread 2 mix", "bread mode: link" }));
    EXPECT_TRUE (handlerOf (a.freeButton).getCurrentState().isChecked());
    EXPECT_FALSE (handlerOf (a.mirrorButton).getCurrentState().isChecked());
}

TEST_F (EditorAccessibility, TheMetersReportTheirPeakAndLetTheMouseThrough)
{
    auto& input = meter ("inputLevel");
    auto& output = meter ("outputLevel");

    struct Step
    {
        float inputPeak, outputPeak;
        const char *inputText, *outputText;
        double inputDecibels, outputDecibels;
    };

    // The value text is the meter's header; the number stays within the bar's -60..0 dB.
    for (const auto& step : { Step { 0.0f, 0.0f, "-inf dB", "-inf dB", -60.0, -60.0 },
                              Step { 0.25f, 0.0005f, "-12.0 dB", "-inf dB", -12.04, -60.0 },
                              Step { 1.2f, 0.1f, "1.6 dB", "-20.0 dB", 0.0, -20.0 } })
    {
        if (step.inputPeak > 0.0f)
            processor.getLevelMeters().raise (1, step.inputPeak);

        if (step.outputPeak > 0.0f)
            processor.getLevelMeters().raise (2, step.outputPeak);

        access->tick();

        for (const auto& [component, text, decibels] : { std::tuple { &input, step.inputText, step.inputDecibels },
                                                         std::tuple { &output, step.outputText, step.outputDecibels } })
        {
            const auto* value = handlerOf (*component).getValueInterface();
            ASSERT_NE (value, nullptr);
            EXPECT_EQ (value->getCurrentValueAsString(), text);
            EXPECT_NEAR (value->getCurrentValue(), decibels, 0.01) << text;
            EXPECT_TRUE (value->isReadOnly());
        }
    }

    // The stand-ins cover the meters but take neither clicks (the window's own mouse handling
    // sees the meters as before) nor the keyboard's focus.
    for (auto* component : { &input, &output })
    {
        EXPECT_EQ (editor->getComponentAt (component->getBounds().getCentre()), editor.get());
        EXPECT_FALSE (component->getWantsKeyboardFocus());
    }
}

// Tab and Shift+Tab through the window as a user presses them (the window's own key handling on
// the virtual display), wrapping at the ends; the keys reach the focused control.
TEST_F (EditorAccessibility, TabGoesThroughTheWindowInReadingOrderAndWraps)
{
    processor.setParameterValue ("breadMode", 2.0f); // free: bread 2's knobs take the focus too
    access->tick();

    auto* peer = editor->getPeer();
    ASSERT_NE (peer, nullptr);
    const auto focusedTitle = []
    {
        auto* focused = juce::Component::getCurrentlyFocusedComponent();
        return focused != nullptr ? focused->getTitle() : juce::String ("(nothing)");
    };

    const juce::StringArray expected { "bread kind", "bread 1 cut", "bread 1 shape", "bread 1 amount",
                                       "filling kind", "filling grain", "filling motion", "filling feedback", "filling amount",
                                       "bread kind", "bread 2 cut", "bread 2 shape", "bread 2 amount",
                                       "bread mode: link", "bread mode: mirror", "bread mode: free",
                                       "chef's choice", "previous recipe", "recipe", "next recipe", "save recipe", "load recipe",
                                       "toast", "bite", "output" };

    // The window taking the focus hands it to its first control.
    editor->grabKeyboardFocus();
    ASSERT_TRUE (access->bread1Box.hasKeyboardFocus (false)) << "the virtual display gave the window no focus";

    juce::StringArray forwards { focusedTitle() };

    for (int i = 0; i < expected.size(); ++i)
    {
        peer->handleKeyPress (juce::KeyPress (juce::KeyPress::tabKey));
        forwards.add (focusedTitle());
    }

    juce::StringArray wanted (expected);
    wanted.add (expected[0]);
    EXPECT_EQ (forwards, wanted);

    peer->handleKeyPress (juce::KeyPress (juce::KeyPress::tabKey, juce::ModifierKeys::shiftModifier, 0));
    EXPECT_EQ (focusedTitle(), "output");
    EXPECT_TRUE (dynamic_cast<ParameterKnob&> (access->outputSlider).isOutlineShown()) << "focused by Tab";

    // Keys reach the focused control: the output slider steps down.
    peer->handleKeyPress (juce::KeyPress (juce::KeyPress::downKey));
    EXPECT_NEAR (raw ("output"), -0.2f, 1.0e-5f);

    // Outside the free mode Tab passes over bread 2's knobs, which only show their values.
    processor.setParameterValue ("breadMode", 0.0f);
    access->tick();
    access->bread2Box.grabKeyboardFocus();
    peer->handleKeyPress (juce::KeyPress (juce::KeyPress::tabKey));
    EXPECT_EQ (focusedTitle(), "bread mode: link");

    // A menu opened with Return from the keyboard gives the focus back once an item is picked.
    access->bread1Box.grabKeyboardFocus();
    peer->handleKeyPress (juce::KeyPress (juce::KeyPress::returnKey));
    runQueuedMessages();
    auto* item = openMenuItem ("echo");
    ASSERT_NE (item, nullptr) << "no menu opened";
    item->getActions().invoke (Action::press);
    runQueuedMessages();
    EXPECT_EQ (juce::roundToInt (raw ("breadType")), 3);
    EXPECT_EQ (focusedTitle(), "bread kind");
    EXPECT_TRUE (access->bread1Box.hasKeyboardFocus (false));

    // The window closes with a control focused (the fixture's editor goes at the end).
}

//==============================================================================
TEST_F (EditorAccessibility, KeysMoveAKnobOneHostGestureAtATime)
{
    processor.setParameterValue ("left2", 0.5f);

    struct Press
    {
        juce::KeyPress key;
        double value; // after the press
        const char* text;
        bool used = true;
    };

    const auto key = [] (int code, juce::ModifierKeys modifiers = {})
    { return juce::KeyPress (code, modifiers, 0); };
    using K = juce::KeyPress;

    const auto run = [&] (juce::Slider& knob, const char* id, std::initializer_list<Press> presses)
    {
        for (const auto& step : presses)
        {
            const auto before = knob.getValue();
            recorder.events.clear();

            const auto context = ::testing::Message() << id << " " << step.key.getTextDescription() << " to " << step.value;
            EXPECT_EQ (press (knob, step.key), step.used) << context;
            EXPECT_NEAR (knob.getValue(), step.value, 1.0e-6) << context;
            EXPECT_NEAR (raw (id), step.value, 1.0e-6) << context;
            EXPECT_EQ (valueOf (handlerOf (knob)), step.text) << context;

            // A press that moves the value is one whole gesture; one that cannot sends nothing.
            EXPECT_EQ (recorder.events, knob.getValue() != before ? GestureRecorder::gesturesFor ({ id }) : juce::StringArray())
                << context;
        }
    };

    run (access->leftKnobs[1], "left2",
         { { key (K::upKey), 0.51, "0.510" },
           { key (K::rightKey), 0.52, "0.520" },
           { key (K::downKey), 0.51, "0.510" },
           { key (K::leftKey), 0.50, "0.500" },
           { key (K::pageUpKey), 0.60, "0.600" },
           { key (K::pageDownKey), 0.50, "0.500" },
           { key (K::endKey), 1.0, "1.000" },
           { key (K::upKey), 1.0, "1.000" }, // already at the end: used, but nothing changes
           { key (K::homeKey), 0.0, "0.000" },
           { key (K::pageDownKey), 0.0, "0.000" },
           // Keys the knob leaves alone: Tab moves the focus, modified arrows are the host's.
           { key (K::tabKey), 0.0, "0.000", false },
           { key (K::upKey, juce::ModifierKeys::shiftModifier), 0.0, "0.000", false },
           { key ('a'), 0.0, "0.000", false } });

    // The output's steps are a hundredth of its 24 dB in its own 0.1 dB steps, and the text
    // carries its unit.
    run (access->outputSlider, "output",
         { { key (K::upKey), 0.2, "0.2 dB" },
           { key (K::pageUpKey), 2.2, "2.2 dB" },
           { key (K::downKey), 2.0, "2.0 dB" },
           { key (K::endKey), 6.0, "6.0 dB" },
           { key (K::homeKey), -18.0, "-18.0 dB" } });
}

TEST_F (EditorAccessibility, AScreenReaderSetsAKnobAsOneGesture)
{
    auto& knob = access->fillKnobs[2];
    auto* value = handlerOf (knob).getValueInterface();
    ASSERT_NE (value, nullptr);

    // A screen reader's own increment is the arrow keys' step.
    EXPECT_NEAR (value->getRange().getInterval(), 0.01, 1.0e-6);
    EXPECT_DOUBLE_EQ (value->getRange().getMinimumValue(), 0.0);
    EXPECT_DOUBLE_EQ (value->getRange().getMaximumValue(), 1.0);
    EXPECT_NEAR (handlerOf (access->outputSlider).getValueInterface()->getRange().getInterval(), 0.2, 1.0e-6);

    value->setValue (0.25);
    EXPECT_NEAR (raw ("fill3"), 0.25f, 1.0e-6f);
    EXPECT_EQ (value->getCurrentValueAsString(), "0.250");
    EXPECT_EQ (recorder.events, GestureRecorder::gesturesFor ({ "fill3" }));

    // The same value again is no gesture; a value beyond the range stops at its end.
    recorder.events.clear();
    value->setValue (0.25);
    EXPECT_TRUE (recorder.events.isEmpty()) << recorder.events.joinIntoString (", ");
    value->setValue (7.0);
    EXPECT_NEAR (raw ("fill3"), 1.0f, 1.0e-6f);

    recorder.events.clear();
    handlerOf (access->outputSlider).getValueInterface()->setValueAsString ("-4.5 dB");
    EXPECT_NEAR (raw ("output"), -4.5f, 1.0e-5f);
    EXPECT_EQ (recorder.events, GestureRecorder::gesturesFor ({ "output" }));

    // In the link mode (the default) bread 2's knobs only show their values.
    recorder.events.clear();
    auto* bread2 = handlerOf (access->rightKnobs[0]).getValueInterface();
    const auto stored = raw ("right1");
    EXPECT_TRUE (bread2->isReadOnly());
    bread2->setValue (stored > 0.5f ? 0.1 : 0.9);
    EXPECT_EQ (raw ("right1"), stored);
    EXPECT_FALSE (press (access->rightKnobs[0], juce::KeyPress (juce::KeyPress::upKey)));
    EXPECT_TRUE (recorder.events.isEmpty()) << recorder.events.joinIntoString (", ");
}

//==============================================================================
// A menu opened from the keyboard (Return or Space) or by a screen reader's action, and an
// item picked through the open menu's own accessibility: the kind is one gesture, both bread
// menus show it, and the knobs' titles follow.
TEST_F (EditorAccessibility, MenusOpenWithoutAMouseAndTheKnobTitlesFollowTheKind)
{
    struct Case
    {
        juce::ComboBox& menu;
        std::function<void()> open;
        const char* item;
        const char* id;
        int index;
        std::vector<std::pair<juce::Slider*, const char*>> titles;
    };

    auto& a = *access;
    const std::vector<Case> cases {
        { a.bread1Box, [&]
          { EXPECT_TRUE (press (a.bread1Box, juce::KeyPress (juce::KeyPress::returnKey))); },
          "reverb",
          "breadType",
          5,
          { { &a.leftKnobs[0], "bread 1 space" }, { &a.rightKnobs[1], "bread 2 damping" } } },
        { a.bread2Box, [&]
          { EXPECT_TRUE (press (a.bread2Box, juce::KeyPress (juce::KeyPress::spaceKey))); },
          "ring mod",
          "breadType",
          9,
          { { &a.leftKnobs[1], "bread 1 shape" }, { &a.rightKnobs[0], "bread 2 frequency" } } },
        { a.fillingBox, [&]
          { EXPECT_TRUE (handlerOf (a.fillingBox).getActions().invoke (Action::showMenu)); },
          "delay",
          "fillingType",
          2,
          { { &a.fillKnobs[0], "filling time" }, { &a.fillKnobs[2], "filling feedback" } } },
    };

    for (const auto& c : cases)
    {
        const auto context = ::testing::Message() << c.item;
        recorder.events.clear();

        c.open();
        runQueuedMessages();
        EXPECT_TRUE (c.menu.isPopupActive()) << context;
        EXPECT_TRUE (handlerOf (c.menu).getCurrentState().isExpanded()) << context;

        auto* item = openMenuItem (c.item);
        ASSERT_NE (item, nullptr) << context;
        EXPECT_TRUE (item->getActions().invoke (Action::press)) << context;
        runQueuedMessages();

        EXPECT_FALSE (c.menu.isPopupActive()) << context;
        EXPECT_EQ (juce::roundToInt (raw (c.id)), c.index) << context;
        EXPECT_EQ (recorder.events, GestureRecorder::gesturesFor ({ c.id })) << context;
        EXPECT_EQ (valueOf (handlerOf (c.menu)), c.item) << context;

        for (const auto& [knob, title] : c.titles)
            EXPECT_EQ (handlerOf (*knob).getTitle(), title) << context;
    }

    EXPECT_EQ (valueOf (handlerOf (a.bread1Box)), "ring mod");
    EXPECT_EQ (handlerOf (a.bread1Box).getTitle(), "bread kind") << "a menu keeps its title, whatever it shows";

    // Arrow keys step a focused menu through its items, as the framework's menus do.
    recorder.events.clear();
    EXPECT_TRUE (press (a.fillingBox, juce::KeyPress (juce::KeyPress::downKey)));
    runQueuedMessages();
    EXPECT_EQ (juce::roundToInt (raw ("fillingType")), 3);
    EXPECT_EQ (handlerOf (a.fillKnobs[2]).getTitle(), "filling dust");
}

TEST_F (EditorAccessibility, ButtonsPressWithSpaceReturnAndTheScreenReader)
{
    auto& a = *access;
    const auto space = juce::KeyPress (juce::KeyPress::spaceKey);
    const auto enter = juce::KeyPress (juce::KeyPress::returnKey);
    const auto start = a.editor.getSelectedRecipe();
    const auto recipe = [this]
    { return juce::String ("recipe ") + juce::String (processor.getCurrentProgram()); };
    const auto recipeAt = [start] (int step)
    { return juce::String ("recipe ") + juce::String ((start + step + kNumFactoryRecipes) % kNumFactoryRecipes); };
    const auto mode = [this]
    { return juce::String ("mode ") + juce::String (juce::roundToInt (raw ("breadMode"))); };

    struct Case
    {
        const char* what;
        std::function<bool()> press;
        std::function<juce::String()> result;
        juce::String expected;
    };

    const std::vector<Case> cases {
        { "next, Space", [&]
          { return press (a.nextButton, space); },
          recipe, recipeAt (1) },
        { "next, Return", [&]
          { return press (a.nextButton, enter); },
          recipe, recipeAt (2) },
        { "previous, screen reader", [&]
          { return handlerOf (a.previousButton).getActions().invoke (Action::press); },
          recipe, recipeAt (1) },
        { "free, Space", [&]
          { return press (a.freeButton, space); },
          mode, "mode 2" },
        { "mirror, screen reader", [&]
          { return handlerOf (a.mirrorButton).getActions().invoke (Action::press); },
          mode, "mode 1" },
    };

    for (const auto& c : cases)
    {
        recorder.events.clear();
        EXPECT_TRUE (c.press()) << c.what;
        runQueuedMessages();
        EXPECT_EQ (c.result(), c.expected) << c.what;
        EXPECT_FALSE (recorder.events.isEmpty()) << c.what;
    }

    // A modified Space is the host's.
    EXPECT_FALSE (press (a.nextButton, juce::KeyPress (juce::KeyPress::spaceKey, juce::ModifierKeys::ctrlModifier, 0)));

    // Clicks leave the keyboard focus where it was, so that Space after a click on a button
    // still reaches the host, as it did before buttons took Space.
    EXPECT_FALSE (a.nextButton.getMouseClickGrabsKeyboardFocus());
    EXPECT_FALSE (a.leftKnobs[0].getMouseClickGrabsKeyboardFocus());
}

//==============================================================================
// The outline shows only while a control is worked from the keyboard; otherwise each control
// draws exactly as before (the window's own pictures are held by EditorPixels).
TEST_F (EditorAccessibility, FocusOutlineShowsOnlyForTheKeyboard)
{
    for (auto* control : std::initializer_list<juce::Component*> { &access->leftKnobs[0], &access->fillingBox,
                                                                   &access->saveButton, &access->freeButton })
    {
        const auto picture = [control]
        { return control->createComponentSnapshot (control->getLocalBounds()); };
        const auto same = [] (const juce::Image& x, const juce::Image& y)
        {
            for (int py = 0; py < x.getHeight(); ++py)
                for (int px = 0; px < x.getWidth(); ++px)
                    if (x.getPixelAt (px, py) != y.getPixelAt (px, py))
                        return false;

            return true;
        };

        const auto context = ::testing::Message() << control->getComponentID();
        const auto plain = picture();

        control->focusGained (juce::Component::focusChangedByMouseClick);
        EXPECT_TRUE (same (picture(), plain)) << context << ": focused by a click";
        control->focusGained (juce::Component::focusChangedDirectly);
        EXPECT_TRUE (same (picture(), plain)) << context << ": focused by a screen reader or the window";

        control->focusGained (juce::Component::focusChangedByTabKey);
        EXPECT_FALSE (same (picture(), plain)) << context << ": focused by the Tab key";

        control->focusLost (juce::Component::focusChangedByTabKey);
        EXPECT_TRUE (same (picture(), plain)) << context << ": after the focus left";
    }
}
