#include "processor/state/NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace morsello
{
namespace NumberText
{
namespace
{
    bool startsWithWord (const char* text, const char* end, const char* word)
    {
        for (; *word != 0; ++word, ++text)
            if (text == end || juce::CharacterFunctions::toLowerCase ((juce::juce_wchar) *text) != (juce::juce_wchar) *word)
                return false;

        return true;
    }

    // Whether a number that does not fit a double is too large (rather than too small): the
    // position of its first significant digit plus its exponent, counted without overflow.
    bool isTooLarge (const char* text, const char* end)
    {
        long long magnitude = 0;
        bool significant = false, afterPoint = false;

        for (; text != end && (juce::CharacterFunctions::isDigit (*text) || *text == '.'); ++text)
        {
            if (*text == '.')
                afterPoint = true;
            else if (*text != '0')
                significant = true;
            else if (! significant && afterPoint)
                --magnitude;

            if (significant && ! afterPoint)
                ++magnitude;
        }

        if (text != end && (*text == 'e' || *text == 'E'))
        {
            ++text;
            const auto negative = text != end && *text == '-';

            if (text != end && (*text == '-' || *text == '+'))
                ++text;

            long long exponent = 0;

            for (; text != end && juce::CharacterFunctions::isDigit (*text); ++text)
                exponent = std::min (exponent * 10 + (*text - '0'), 1LL << 40);

            magnitude += negative ? -exponent : exponent;
        }

        return magnitude > 0;
    }
}

double readNumber (const juce::String& text)
{
    const auto utf8 = text.toRawUTF8();
    const char* position = utf8;
    const char* const end = utf8 + std::strlen (utf8);

    while (position != end && juce::CharacterFunctions::isWhitespace (*position))
        ++position;

    auto sign = 1.0;

    if (position != end && (*position == '-' || *position == '+'))
        sign = *position++ == '-' ? -1.0 : 1.0;

    if (startsWithWord (position, end, "nan"))
        return std::numeric_limits<double>::quiet_NaN();

    if (startsWithWord (position, end, "inf"))
        return sign * std::numeric_limits<double>::infinity();

    // from_chars reads no sign of its own here (one was taken above), no white space and no
    // "nan" or "inf" that were not already matched: what is left is digits, a point, an exponent.
    if (position == end || ! (juce::CharacterFunctions::isDigit (*position) || *position == '.'))
        return 0.0;

    double value = 0.0;
    const auto [stop, error] = std::from_chars (position, end, value, std::chars_format::general);

    if (error == std::errc::result_out_of_range)
        return isTooLarge (position, stop) ? sign * std::numeric_limits<double>::infinity() : sign * 0.0;

    if (error != std::errc())
        return 0.0;

    return sign * value;
}

int readIndex (const juce::String& text, int maxDigits)
{
    const auto utf8 = text.toRawUTF8();
    const auto length = (int) std::strlen (utf8);

    if (length == 0 || length > maxDigits)
        return -1;

    int value = 0;
    const auto [stop, error] = std::from_chars (utf8, utf8 + length, value);
    return error == std::errc() && stop == utf8 + length && value >= 0 ? value : -1;
}
}
} // namespace morsello
