#pragma once

#include <juce_graphics/juce_graphics.h>

#include "EngineRender.h"

namespace morsello
{
// The demo: a test phrase made here, rendered through every factory recipe, and one picture
// that shows what each recipe does to it.

namespace Demo
{
inline constexpr double sampleRate = 48000.0;
inline constexpr double defaultSeconds = 6.0;

// The overview picture's layout: a heading, then one row per recipe.
inline constexpr int overviewWidth = 1400;
inline constexpr int headingHeight = 64;
inline constexpr int rowHeight = 96;

inline constexpr int overviewHeight (int numRows) { return headingHeight + numRows * rowHeight + 8; }

// A stereo phrase of `seconds` at the demo's rate, the same on every run: plucked notes, a
// chord, a drum-like hit and a voice-like sweep through vowel formants, each in its own part
// of the phrase, peaking at -6 dBFS.
juce::AudioBuffer<float> makePhrase (double seconds);

// One row of the overview: a recipe's name with its input and its render.
struct Row
{
    juce::String name;
    const juce::AudioBuffer<float>* input = nullptr;
    const juce::AudioBuffer<float>* output = nullptr;
};

// Draws the overview: per row the name, the output's waveform above the input's (both on the
// render's time scale, so the input ends where the tail begins), and the output's spectrogram
// on a logarithmic frequency scale.
juce::Image drawOverview (const std::vector<Row>& rows, double rate);

// The file name of a recipe's render: its number and its name, e.g. "04-crumb-cake.wav".
juce::String renderFileName (int recipeIndex);
} // namespace Demo
} // namespace morsello
