#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>
#include <random>

namespace morsello
{
class MorselloAudioProcessor;

// The chef's choice randomiser behind the dice button.
namespace ChefsChoice
{
// The knob band: values fall in [knobLowest, knobLowest + knobWidth), never at the range's ends.
inline constexpr float knobLowest = 0.12f;
inline constexpr float knobWidth = 0.76f;

// A uniform integer in [0, n) from 32-bit generator outputs, n > 0, by multiply and shift: the
// high half of x * n is the result, and the rare low halves that would bias it are redrawn.
// Only when the low half falls below n is the one division needed.
template <typename Engine>
std::uint32_t drawBelow (Engine& engine, std::uint32_t n)
{
    auto draw = [&engine, n]
    {
        return static_cast<std::uint64_t> (static_cast<std::uint32_t> (engine())) * n;
    };

    auto product = draw();
    auto low = static_cast<std::uint32_t> (product);

    if (low < n)
    {
        const auto threshold = static_cast<std::uint32_t> (-n) % n; // (2^32 - n) mod n

        while (low < threshold)
        {
            product = draw();
            low = static_cast<std::uint32_t> (product);
        }
    }

    return static_cast<std::uint32_t> (product >> 32);
}

// A uniform integer in [lowest, highest], both included.
int uniformInteger (std::mt19937& engine, int lowest, int highest);

// The knob value of one 32-bit output: its top 24 bits as a fraction in [0, 1), mapped into the
// knob band in single precision.
float knobValue (std::uint32_t output) noexcept;

// Draws a random recipe from the processor's generator and sets it, one gesture per parameter,
// without applying a factory recipe. Returns the name to show for it: "chef's choice".
juce::String randomise (MorselloAudioProcessor& processor);
} // namespace ChefsChoice
} // namespace morsello
