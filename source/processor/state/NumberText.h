#pragma once

#include <juce_core/juce_core.h>

namespace morsello
{
// Numbers read from text that comes from outside (a host's chunk, a recipe file). The
// framework's own string-to-number conversion accumulates an exponent's digits in an int, which
// overflows on a long exponent; these readers never overflow and never depend on the locale.
namespace NumberText
{
    // Reads a number as the framework's conversion does: leading white space and one sign are
    // skipped, "nan" and "inf" are read in any letter case, text that is no number reads as 0,
    // and reading stops at the first character that does not belong. A magnitude beyond the
    // largest double reads as an infinity of its sign, one below the smallest as a zero.
    double readNumber (const juce::String& text);

    // A whole number of at most maxDigits decimal digits and nothing else, or -1.
    int readIndex (const juce::String& text, int maxDigits);
}
} // namespace morsello
