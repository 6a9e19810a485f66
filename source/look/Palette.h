#pragma once

#include <juce_graphics/juce_graphics.h>

namespace morsello
{
// The six named colours that the look and feel and the editor share.
namespace Palette
{
inline const juce::Colour cream { 0xFFF2E2C2 };
inline const juce::Colour charcoal { 0xFF141312 };
inline const juce::Colour amber { 0xFFF4A743 };
// A knob whose rotary fill colour is exactly this value (alpha included) is drawn in the
// filling style.
inline const juce::Colour rust { 0xFFCA4E10 };
inline const juce::Colour tan { 0xFFD2B280 };
inline const juce::Colour brown { 0xFF743A18 };
} // namespace Palette
} // namespace morsello
