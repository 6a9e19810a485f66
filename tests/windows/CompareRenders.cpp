// Renders the sixteen recipes with the Linux VST3 from the input the Windows host used, and
// compares them with the Windows build's renders, sample by sample.
//
// usage: morsello_windows_comparison <windows-renders.bin> [report file]
//
// The two builds share every line of audio code, but not the maths library (sin, pow, exp):
// those may round their last bit differently, so the outputs may differ by a few float ulps.
// Every recipe must stay within 1e-4 of the Linux output, and must have changed its input (so
// that two silent or unprocessed renders cannot pass as equal).
//
// One exception: the lo-fi filling quantises its input, held = round (x * levels) / levels, with
// levels = 2^(4 + 12 (1 - fill2)), a step of 1/798 in "bitten tape" and 1/410 in "chef's
// mistake". A last-bit difference right at a rounding boundary moves a held value by a whole
// step for one hold (up to 81 samples). For those two recipes such steps are accepted when the
// largest difference stays below 0.01 (a few steps after the gains that follow) and they touch
// under 1 % of the samples.

#include "RecipeRenders.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace
{
constexpr float closeEnough = 1.0e-4f;
constexpr float audibleChange = 0.01f;
constexpr float quantiserSteps = 0.01f;
constexpr double quantiserStepShare = 0.01;
constexpr int loFiFillingRecipes[] { 6, 11 };

bool hasLoFiFilling (int recipe)
{
    return std::find (std::begin (loFiFillingRecipes), std::end (loFiFillingRecipes), recipe) != std::end (loFiFillingRecipes);
}

// The largest difference between two renders, how many samples differ at all and how many by
// 1e-4 or more.
float largestDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b, int& differing, int& above)
{
    float largest = 0.0f;
    differing = 0;
    above = 0;
    for (int channel = 0; channel < a.getNumChannels(); ++channel)
        for (int i = 0; i < a.getNumSamples(); ++i)
        {
            const auto difference = std::abs (a.getSample (channel, i) - b.getSample (channel, i));
            if (! (difference <= largest)) // also catches NaN
                largest = difference;
            if (! (difference == 0.0f))
                ++differing;
            if (! (difference < closeEnough))
                ++above;
        }
    return largest;
}
} // namespace

int main (int argc, char* argv[])
{
    if (argc < 2)
    {
        std::cerr << "usage: morsello_windows_comparison <windows-renders.bin> [report file]" << std::endl;
        return 2;
    }

    const juce::File rendersFile (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));
    if (! rendersFile.existsAsFile())
    {
        std::cout << "skipped: no Windows renders at " << rendersFile.getFullPathName() << std::endl;
        return 77;
    }

    juce::ScopedJuceInitialiser_GUI framework;
    morsello_host::Renders windows;
    juce::String error;
    if (! morsello_host::readRenders (rendersFile, windows, error))
    {
        std::cout << error << std::endl;
        return 1;
    }

    juce::String report;
    report << "recipe  largest difference  samples differing (of " << morsello_host::numChannels * windows.input.getNumSamples() << ")  verdict\n";
    int failures = 0;

    for (int recipe = 0; recipe < morsello_host::numRecipes; ++recipe)
    {
        auto instance = morsello_host::loadPlugin (MORSELLO_VST3_BUNDLE, error);
        if (instance == nullptr)
        {
            std::cout << "could not load the Linux VST3: " << error << std::endl;
            return 1;
        }

        const auto linuxOutput = morsello_host::renderRecipe (*instance, recipe, windows.input);
        const auto& other = windows.outputs[(size_t) recipe];

        int differing = 0, above = 0, ignored = 0;
        const auto largest = largestDifference (linuxOutput, other, differing, above);
        const auto change = largestDifference (other, windows.input, ignored, ignored);
        const auto total = linuxOutput.getNumChannels() * linuxOutput.getNumSamples();

        juce::String verdict = "ok";
        if (! (largest < closeEnough))
        {
            const bool quantiserStep = hasLoFiFilling (recipe) && largest < quantiserSteps
                                       && (double) above < quantiserStepShare * total;
            verdict = quantiserStep ? "ok: lo-fi quantiser steps in " + juce::String (above) + " samples" : "TOO DIFFERENT";
        }
        else if (! (change > audibleChange))
            verdict = "INPUT UNCHANGED";
        if (! verdict.startsWith ("ok"))
            ++failures;

        char line[160];
        std::snprintf (line, sizeof (line), "%6d  %18.3g  %27d  %s\n", recipe, (double) largest, differing, verdict.toRawUTF8());
        report << line;
    }

    report << (morsello_host::numRecipes - failures) << " passed, " << failures << " failed\n";
    std::cout << report;

    if (argc > 2)
        juce::File (juce::File::getCurrentWorkingDirectory().getChildFile (argv[2])).replaceWithText (report);

    return failures == 0 ? 0 : 1;
}
