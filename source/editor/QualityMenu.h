#pragma once

#include "dsp/HighQuality.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace morsello
{
class MorselloAudioProcessor;

// The quality setting in the window: a right click on the window's background (not on a
// control) opens a small menu with "standard" and "high", the current one ticked. The window
// itself looks as before; the menu is the only trace of the setting.
class QualityMenu final : private juce::MouseListener
{
public:
    // Listens to clicks on `window` itself, for as long as this object lives.
    QualityMenu (juce::Component& window, MorselloAudioProcessor& processor);
    ~QualityMenu() override;

    // The menu as it opens for the processor's present quality: each quality an item, whose
    // ID is its value + 1, the present one ticked.
    static juce::PopupMenu makeMenu (Quality present);

    // Applies a choice from the menu (an item's ID; 0, a dismissed menu, changes nothing).
    static void choose (MorselloAudioProcessor& processor, int itemId);

private:
    void mouseDown (const juce::MouseEvent&) override;

    juce::Component& window;
    MorselloAudioProcessor& processor;
};
} // namespace morsello
