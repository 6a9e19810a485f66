#include "editor/MeterDisplay.h"

#include <cmath>

namespace morsello
{
void MeterDisplayState::update (int channel, float peak) noexcept
{
    const auto c = (size_t) channel;

    displayLevel[c] = juce::jmax (displayLevel[c] * levelFall, peak);

    if (peak >= heldPeak[c])
    {
        heldPeak[c] = peak;
        holdTicks[c] = holdLength;
    }
    else if (holdTicks[c] > 0)
    {
        --holdTicks[c];
    }
    else
    {
        heldPeak[c] *= peakFall;
    }

    if (peak >= clipThreshold)
        clipTicks[c] = clipLength;
    else if (clipTicks[c] > 0)
        --clipTicks[c];
}

float meterFraction (float linearLevel) noexcept
{
    const auto decibels = linearLevel > 0.0f ? juce::jmax (20.0f * std::log10 (linearLevel), -60.0f) : -60.0f;
    return juce::jlimit (0.0f, 1.0f, (decibels + 60.0f) / 60.0f);
}

juce::String meterPeakText (float linearPeak)
{
    if (linearPeak < 0.001f)
        return "-inf dB";

    return juce::String (20.0f * std::log10 (linearPeak), 1) + " dB";
}

MeterPicture meterPicture (const MeterDisplayState& state, int firstChannel)
{
    const auto c0 = (size_t) firstChannel;
    MeterPicture picture;
    picture.peakText = meterPeakText (juce::jmax (state.heldPeak[c0], state.heldPeak[c0 + 1]));

    for (size_t row = 0; row < 2; ++row)
    {
        const auto c = c0 + row;
        const auto fill = meterFraction (state.displayLevel[c]);

        for (int j = 0; j < meterSegments && isSegmentLit (j, fill); ++j)
            ++picture.litSegments[row];

        const auto marked = state.heldPeak[c] > meterMarkerThreshold;
        picture.markerFraction[row] = marked ? meterFraction (state.heldPeak[c]) : -1.0f;
        picture.markerClipping[row] = marked && state.clipTicks[c] > 0;
    }

    return picture;
}
} // namespace morsello
