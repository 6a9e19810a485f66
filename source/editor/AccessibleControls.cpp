#include "editor/AccessibleControls.h"

#include <algorithm>
#include <cmath>

namespace morsello
{
namespace
{
bool isPlainKey (const juce::KeyPress& key, int keyCode)
{
    return key.getKeyCode() == keyCode && ! key.getModifiers().isAnyModifierKeyDown();
}

void tellScreenReader (juce::Component& component, juce::AccessibilityEvent event)
{
    if (auto* handler = component.getAccessibilityHandler())
        handler->notifyAccessibilityEvent (event);
}
} // namespace

//==============================================================================
class KnobAccessibilityHandler final : public juce::AccessibilityHandler
{
public:
    explicit KnobAccessibilityHandler (ParameterKnob& knobToReport)
        : juce::AccessibilityHandler (knobToReport, juce::AccessibilityRole::slider, {},
                                      { std::make_unique<Value> (knobToReport) })
    {
    }

private:
    class Value final : public juce::AccessibilityValueInterface
    {
    public:
        explicit Value (ParameterKnob& k) : knob (k) {}

        // A disabled knob (bread 2's outside the free mode) only shows its value.
        bool isReadOnly() const override { return ! knob.isEnabled(); }
        double getCurrentValue() const override { return knob.getValue(); }

        void setValue (double newValue) override
        {
            if (knob.isEnabled())
                knob.moveTo (newValue);
        }

        juce::String getCurrentValueAsString() const override { return knob.getValueText(); }
        void setValueAsString (const juce::String& text) override { setValue (knob.getValueFromText (text)); }

        // The interval is the step a screen reader's own increment takes: the arrow keys' step,
        // not the parameter's finest one, of which a knob has a thousand.
        AccessibleValueRange getRange() const override
        {
            return { { knob.getMinimum(), knob.getMaximum() }, knob.getSmallStep() };
        }

    private:
        ParameterKnob& knob;
    };
};

ParameterKnob::ParameterKnob()
{
    setWantsKeyboardFocus (true);
    // A click leaves the keyboard focus where it was, as before knobs took it at all.
    setMouseClickGrabsKeyboardFocus (false);
}

juce::String ParameterKnob::getValueText()
{
    if (parameter == nullptr)
        return getTextFromValue (getValue());

    const auto label = parameter->getLabel();
    const auto text = parameter->getCurrentValueAsText();
    return label.isEmpty() ? text : text + " " + label;
}

double ParameterKnob::getSmallStep() const noexcept
{
    const auto hundredth = (getMaximum() - getMinimum()) / 100.0;
    const auto interval = getInterval();

    if (interval <= 0.0)
        return hundredth;

    return juce::jmax (1.0, std::round (hundredth / interval)) * interval;
}

void ParameterKnob::moveTo (double newValue)
{
    const auto target = juce::jlimit (getMinimum(), getMaximum(), newValue);
    const auto sameValue = getInterval() > 0.0 ? getInterval() / 2.0 : 1.0e-9 * (getMaximum() - getMinimum());

    if (std::abs (target - getValue()) < sameValue)
        return;

    // The framework's attachment begins the host's gesture here and ends it when this goes.
    const ScopedDragNotification gesture (*this);
    setValue (target, juce::sendNotificationSync);
}

void ParameterKnob::retitle (const juce::String& newTitle)
{
    if (newTitle == getTitle())
        return;

    setTitle (newTitle);
    tellScreenReader (*this, juce::AccessibilityEvent::titleChanged);
}

bool ParameterKnob::keyPressed (const juce::KeyPress& key)
{
    struct Move
    {
        int keyCode;
        double target;
    };

    const auto value = getValue();
    const auto small = getSmallStep();
    const Move moves[] {
        { juce::KeyPress::upKey, value + small },
        { juce::KeyPress::rightKey, value + small },
        { juce::KeyPress::downKey, value - small },
        { juce::KeyPress::leftKey, value - small },
        { juce::KeyPress::pageUpKey, value + getLargeStep() },
        { juce::KeyPress::pageDownKey, value - getLargeStep() },
        { juce::KeyPress::homeKey, getMinimum() },
        { juce::KeyPress::endKey, getMaximum() },
    };

    if (! isEnabled())
        return false;

    for (const auto& move : moves)
    {
        if (isPlainKey (key, move.keyCode))
        {
            moveTo (move.target);
            keyWasUsed();
            return true;
        }
    }

    return false;
}

std::unique_ptr<juce::AccessibilityHandler> ParameterKnob::createAccessibilityHandler()
{
    return std::make_unique<KnobAccessibilityHandler> (*this);
}

//==============================================================================
// As the framework's menu handler, but titled by the component's title.
class MenuAccessibilityHandler final : public juce::AccessibilityHandler
{
public:
    explicit MenuAccessibilityHandler (juce::ComboBox& menuToReport)
        : juce::AccessibilityHandler (menuToReport, juce::AccessibilityRole::comboBox, actionsOf (menuToReport),
                                      { std::make_unique<Value> (menuToReport) }),
          menu (menuToReport)
    {
    }

    juce::AccessibleState getCurrentState() const override
    {
        const auto state = juce::AccessibilityHandler::getCurrentState().withExpandable();
        return menu.isPopupActive() ? state.withExpanded() : state.withCollapsed();
    }

    juce::String getHelp() const override { return menu.getTooltip(); }

private:
    static juce::AccessibilityActions actionsOf (juce::ComboBox& menu)
    {
        return juce::AccessibilityActions()
            .addAction (juce::AccessibilityActionType::press, [&menu]
                        { menu.showPopup(); })
            .addAction (juce::AccessibilityActionType::showMenu, [&menu]
                        { menu.showPopup(); });
    }

    class Value final : public juce::AccessibilityTextValueInterface
    {
    public:
        explicit Value (juce::ComboBox& m) : menu (m) {}

        bool isReadOnly() const override { return true; }
        juce::String getCurrentValueAsString() const override { return menu.getText(); }
        void setValueAsString (const juce::String&) override {}

    private:
        juce::ComboBox& menu;
    };

    juce::ComboBox& menu;
};

bool PanelMenu::keyPressed (const juce::KeyPress& key)
{
    const auto used = juce::ComboBox::keyPressed (isPlainKey (key, juce::KeyPress::spaceKey)
                                                      ? juce::KeyPress (juce::KeyPress::returnKey)
                                                      : key);
    if (used)
        keyWasUsed();

    return used;
}

std::unique_ptr<juce::AccessibilityHandler> PanelMenu::createAccessibilityHandler()
{
    return std::make_unique<MenuAccessibilityHandler> (*this);
}

//==============================================================================
// As the framework's button handler (which a derived button cannot reach), and for a choice
// the radio button's role and checked state.
class ButtonAccessibilityHandler final : public juce::AccessibilityHandler
{
public:
    ButtonAccessibilityHandler (juce::Button& buttonToReport, bool isChoice)
        : juce::AccessibilityHandler (buttonToReport,
                                      isChoice ? juce::AccessibilityRole::radioButton : juce::AccessibilityRole::button,
                                      juce::AccessibilityActions().addAction (juce::AccessibilityActionType::press,
                                                                              [&buttonToReport]
                                                                              { buttonToReport.triggerClick(); })),
          button (buttonToReport),
          choice (isChoice)
    {
    }

    juce::AccessibleState getCurrentState() const override
    {
        const auto state = juce::AccessibilityHandler::getCurrentState();

        if (! choice)
            return state;

        return button.getToggleState() ? state.withCheckable().withChecked() : state.withCheckable();
    }

    juce::String getTitle() const override
    {
        const auto title = juce::AccessibilityHandler::getTitle();
        return title.isEmpty() ? button.getButtonText() : title;
    }

    juce::String getHelp() const override { return button.getTooltip(); }

private:
    juce::Button& button;
    const bool choice;
};

bool PanelButton::keyPressed (const juce::KeyPress& key)
{
    if (isEnabled() && isPlainKey (key, juce::KeyPress::spaceKey))
    {
        triggerClick();
        keyWasUsed();
        return true;
    }

    const auto used = juce::TextButton::keyPressed (key);

    if (used)
        keyWasUsed();

    return used;
}

std::unique_ptr<juce::AccessibilityHandler> PanelButton::createAccessibilityHandler()
{
    return std::make_unique<ButtonAccessibilityHandler> (*this, reportedAsChoice);
}

//==============================================================================
class LevelAccessibilityHandler final : public juce::AccessibilityHandler
{
public:
    explicit LevelAccessibilityHandler (LevelReadout& readout)
        : juce::AccessibilityHandler (readout, juce::AccessibilityRole::progressBar, {},
                                      { std::make_unique<Value> (readout) })
    {
    }

private:
    class Value final : public juce::AccessibilityValueInterface
    {
    public:
        explicit Value (LevelReadout& r) : readout (r) {}

        bool isReadOnly() const override { return true; }
        double getCurrentValue() const override { return readout.getLevelDecibels(); }
        void setValue (double) override {}
        juce::String getCurrentValueAsString() const override { return readout.getLevelText(); }
        void setValueAsString (const juce::String&) override {}
        AccessibleValueRange getRange() const override { return { { -60.0, 0.0 }, 0.1 }; }

    private:
        LevelReadout& readout;
    };
};

LevelReadout::LevelReadout (const MeterDisplayState& meterState, int firstMeterChannel)
    : meters (meterState), firstChannel (firstMeterChannel)
{
    setInterceptsMouseClicks (false, false);
}

float LevelReadout::heldPeak() const noexcept
{
    const auto c = (size_t) firstChannel;
    return juce::jmax (meters.heldPeak[c], meters.heldPeak[c + 1]);
}

juce::String LevelReadout::getLevelText() const { return meterPeakText (heldPeak()); }

double LevelReadout::getLevelDecibels() const
{
    const auto peak = heldPeak();
    return peak > 0.0f ? juce::jlimit (-60.0, 0.0, 20.0 * std::log10 ((double) peak)) : -60.0;
}

void LevelReadout::levelChanged() { tellScreenReader (*this, juce::AccessibilityEvent::valueChanged); }

std::unique_ptr<juce::AccessibilityHandler> LevelReadout::createAccessibilityHandler()
{
    return std::make_unique<LevelAccessibilityHandler> (*this);
}

//==============================================================================
bool ReadingOrder::reaches (const juce::Component& component) const
{
    if (! component.isVisible())
        return false;

    if (reach == Reach::keyboard)
        return component.isEnabled() && component.getWantsKeyboardFocus();

    return component.isAccessible();
}

std::vector<juce::Component*> ReadingOrder::getAllComponents (juce::Component* parent)
{
    std::vector<juce::Component*> found;

    // Only the parent's present children are looked at: while a window closes, the components
    // it has already destroyed are gone from its children, and the list is not read for them.
    for (auto* component : order)
        if (parent != nullptr && parent->getIndexOfChildComponent (component) >= 0 && reaches (*component))
            found.push_back (component);

    return found;
}

juce::Component* ReadingOrder::getDefaultComponent (juce::Component* parent)
{
    const auto all = getAllComponents (parent);
    return all.empty() ? nullptr : all.front();
}

juce::Component* ReadingOrder::step (juce::Component* current, int direction)
{
    // The listed component that is `current` or holds it (as a knob holds its text box while
    // that is being edited), and the window that holds them all.
    auto listed = order.end();
    juce::Component* window = nullptr;

    for (auto* c = current; c != nullptr && listed == order.end(); c = c->getParentComponent())
    {
        listed = std::find (order.begin(), order.end(), c);
        window = c->getParentComponent();
    }

    if (listed == order.end() || window == nullptr)
        return nullptr;

    // Counted from the listed component's place, so that one the traverser itself skips (a knob
    // just disabled, say) still has a next and a previous one.
    const auto reachable = getAllComponents (window);

    for (auto i = (int) std::distance (order.begin(), listed) + direction; juce::isPositiveAndBelow (i, (int) order.size());
         i += direction)
        if (std::find (reachable.begin(), reachable.end(), order[(size_t) i]) != reachable.end())
            return order[(size_t) i];

    return nullptr;
}

juce::Component* ReadingOrder::getNextComponent (juce::Component* current) { return step (current, 1); }
juce::Component* ReadingOrder::getPreviousComponent (juce::Component* current) { return step (current, -1); }
} // namespace morsello
