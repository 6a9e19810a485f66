// The window's quality menu: what it offers and ticks, and what a choice does.

#include "editor/QualityMenu.h"
#include "processor/PluginProcessor.h"

#include <gtest/gtest.h>

using namespace morsello;

namespace
{
// Each quality's item, ticked only when it is the present one; choosing an item sets the
// processor's quality (and the latency it reports); a dismissed menu (0) changes nothing.
TEST (QualityMenu, TicksThePresentQualityAndAppliesAChoice)
{
    for (const auto present : { Quality::standard, Quality::high })
    {
        std::vector<std::pair<juce::String, bool>> items;

        const auto menu = QualityMenu::makeMenu (present);

        for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
            if (it.getItem().itemID != 0)
                items.emplace_back (it.getItem().text, it.getItem().isTicked);

        ASSERT_EQ (items.size(), 2u);
        EXPECT_EQ (items[0].first, "standard");
        EXPECT_TRUE (items[1].first.startsWith ("high"));
        EXPECT_EQ (items[0].second, present == Quality::standard);
        EXPECT_EQ (items[1].second, present == Quality::high);
    }

    MorselloAudioProcessor processor;
    QualityMenu::choose (processor, (int) Quality::high + 1);
    EXPECT_EQ (processor.getQuality(), Quality::high);
    EXPECT_EQ (processor.getLatencySamples(), MorselloEngine::latencyOf (Quality::high));

    QualityMenu::choose (processor, 0);
    EXPECT_EQ (processor.getQuality(), Quality::high);

    QualityMenu::choose (processor, (int) Quality::standard + 1);
    EXPECT_EQ (processor.getQuality(), Quality::standard);
    EXPECT_EQ (processor.getLatencySamples(), 0);
}
} // namespace
