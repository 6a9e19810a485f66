#pragma once

#include <juce_core/juce_core.h>

#include <array>

namespace morsello
{
// What the editor's two meters show, one entry per level-meter channel (0/1 input left/right,
// 2/3 output left/right). Advanced once per timer tick on the message thread.
struct MeterDisplayState
{
    static constexpr int numChannels = 4;

    // At 33 ms per tick: bars fall about 1.3 dB per tick, a peak is held about 1.2 s and then
    // falls, and the clip colour stays about 1.5 s after the last near-full-scale peak.
    static constexpr float levelFall = 0.86f;
    static constexpr float peakFall = 0.94f;
    static constexpr int holdLength = 36;
    static constexpr int clipLength = 45;
    static constexpr float clipThreshold = 0.999f;

    std::array<float, numChannels> displayLevel {}; // linear amplitude lighting the segments
    std::array<float, numChannels> heldPeak {};     // linear amplitude of the hold marker
    std::array<int, numChannels> holdTicks {};      // ticks before heldPeak starts to fall
    std::array<int, numChannels> clipTicks {};      // ticks the marker keeps the clip colour

    // One tick for one channel, given the peak magnitude measured since the last tick.
    void update (int channel, float peak) noexcept;
};

// Segments in each row of a meter's bar.
constexpr int meterSegments = 28;

// A row's hold marker shows while its held peak is above this (-60 dB, the bar's left end).
constexpr float meterMarkerThreshold = 0.001f;

// What one meter (a pair of channels: 0 for the input, 2 for the output) shows, reduced to the
// values its pixels depend on: two equal pictures are drawn with the same pixels, so the editor
// repaints a meter only when its picture changes.
struct MeterPicture
{
    juce::String peakText;                  // the header's held peak of both channels
    std::array<int, 2> litSegments {};      // per row: segments lit from the left
    std::array<float, 2> markerFraction {}; // per row: hold marker's place on the bar; -1 for none
    std::array<bool, 2> markerClipping {};  // per row: the marker shows the clip colour

    bool operator== (const MeterPicture& other) const noexcept
    {
        return peakText == other.peakText && litSegments == other.litSegments
               && markerFraction == other.markerFraction && markerClipping == other.markerClipping;
    }

    bool operator!= (const MeterPicture& other) const noexcept { return ! operator== (other); }
};

MeterPicture meterPicture (const MeterDisplayState& state, int firstChannel);

// Whether segment `index` of a row is lit when the bar is filled to `fill` (0..1).
inline bool isSegmentLit (int index, float fill) noexcept
{
    return (float) index / (float) meterSegments < fill;
}

// The meter maps -60..0 dB linearly onto 0..1 of the bar; silence and anything at or below
// -60 dB give 0, anything above 0 dBFS gives 1.
float meterFraction (float linearLevel) noexcept;

// The held peak as shown in a meter's header: "-inf dB" below 0.001, else dB with one decimal.
juce::String meterPeakText (float linearPeak);
} // namespace morsello
