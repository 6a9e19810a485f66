#include "editor/QualityMenu.h"

#include "processor/PluginProcessor.h"

namespace morsello
{
QualityMenu::QualityMenu (juce::Component& windowToWatch, MorselloAudioProcessor& owner)
    : window (windowToWatch), processor (owner)
{
    window.addMouseListener (this, false);
}

QualityMenu::~QualityMenu()
{
    window.removeMouseListener (this);
}

juce::PopupMenu QualityMenu::makeMenu (Quality present)
{
    juce::PopupMenu menu;
    menu.addSectionHeader ("quality");
    menu.addItem ((int) Quality::standard + 1, "standard", true, present == Quality::standard);
    menu.addItem ((int) Quality::high + 1, "high (less aliasing, more CPU, adds latency)", true, present == Quality::high);
    return menu;
}

void QualityMenu::choose (MorselloAudioProcessor& owner, int itemId)
{
    if (itemId == (int) Quality::standard + 1)
        owner.setQuality (Quality::standard);
    else if (itemId == (int) Quality::high + 1)
        owner.setQuality (Quality::high);
}

void QualityMenu::mouseDown (const juce::MouseEvent& event)
{
    // Only the background: a click on a control reaches the control, and this listener hears
    // only the window's own clicks.
    if (event.eventComponent != &window || ! event.mods.isPopupMenu())
        return;

    // The processor outlives any window of it, so the callback may run after this one closed.
    auto& owner = processor;
    makeMenu (processor.getQuality())
        .showMenuAsync (juce::PopupMenu::Options().withMousePosition().withDeletionCheck (window),
                        [&owner] (int itemId)
                        { choose (owner, itemId); });
}
} // namespace morsello
