// morsello_alias: each nonlinear stage's harmonics and aliases in both qualities, as
// docs/performance.md reports them. A sine at -6 dBFS and 48 kHz goes through the engine with
// that stage alone at work (every other layer neutral, bite fully wet); one second of the output
// (48000 samples) is taken through a Kaiser window (beta 20) and FFTW, and split into the
// harmonics of the input frequency and everything else above the median bin (the aliases).
//
//   morsello_alias [--picture <file.png>]
//
// prints one table row per stage and quality, then the levels of the harmonics below 10 kHz in
// both qualities; --picture also draws the two spectra of the 997 Hz wavefold with many folds.

#include "AliasAnalysis.h"
#include "PngOutput.h"

#include <fftw3.h>

#include <cstdio>
#include <cstring>

namespace morsello
{
namespace
{
    constexpr int kLength = 48000; // one second

    std::vector<double> fftwPower (const std::vector<double>& windowed)
    {
        const auto n = (int) windowed.size();
        auto* input = fftw_alloc_real ((size_t) n);
        auto* output = fftw_alloc_complex ((size_t) (n / 2 + 1));
        const auto plan = fftw_plan_dft_r2c_1d (n, input, output, FFTW_ESTIMATE);
        std::copy (windowed.begin(), windowed.end(), input);
        fftw_execute (plan);

        std::vector<double> power ((size_t) (n / 2 + 1));

        for (size_t k = 0; k < power.size(); ++k)
            power[k] = output[k][0] * output[k][0] + output[k][1] * output[k][1];

        fftw_destroy_plan (plan);
        fftw_free (input);
        fftw_free (output);
        return power;
    }

    const char* qualityName (Quality quality) { return quality == Quality::high ? "high" : "standard"; }

    // The two spectra, standard above and high below, in dB relative to the fundamental.
    void drawSpectra (const std::vector<double>& standard, const std::vector<double>& high, double frequency, const juce::File& file)
    {
        constexpr int width = 1200, panelHeight = 330, margin = 60;
        constexpr double floorDb = -180.0;
        juce::Image image (juce::Image::RGB, width, 2 * panelHeight + 40, true);
        juce::Graphics g (image);
        g.fillAll (juce::Colours::white);

        auto drawPanel = [&] (const std::vector<double>& power, int top, const juce::String& title, juce::Colour colour)
        {
            const auto plotLeft = margin, plotRight = width - 20, plotTop = top + 30, plotBottom = top + panelHeight - 30;
            const auto figures = alias::analyse (power, frequency, alias::kSampleRate);
            const auto reference = figures.fundamentalDb;
            const auto bins = (int) power.size();

            auto x = [&] (double hz)
            { return (float) (plotLeft + (plotRight - plotLeft) * hz / (0.5 * alias::kSampleRate)); };
            auto y = [&] (double db)
            { return (float) (plotTop + (plotBottom - plotTop) * juce::jlimit (0.0, 1.0, db / floorDb)); };

            g.setColour (juce::Colours::lightgrey);

            for (double db = 0.0; db >= floorDb; db -= 20.0)
                g.drawHorizontalLine ((int) y (db), (float) plotLeft, (float) plotRight);

            for (double hz = 0.0; hz <= 24000.0; hz += 2000.0)
                g.drawVerticalLine ((int) x (hz), (float) plotTop, (float) plotBottom);

            g.setColour (juce::Colours::black);
            g.setFont (13.0f);

            for (double db = 0.0; db >= floorDb; db -= 40.0)
                g.drawText (juce::String ((int) db), 0, (int) y (db) - 8, plotLeft - 6, 16, juce::Justification::centredRight);

            for (double hz = 0.0; hz <= 24000.0; hz += 4000.0)
                g.drawText (juce::String ((int) (hz / 1000.0)) + " kHz", (int) x (hz) - 30, plotBottom + 4, 60, 16, juce::Justification::centred);

            g.setFont (15.0f);
            g.drawText (title + juce::String::formatted (": aliases %.1f dB, worst %.1f dB at %.0f Hz (dB relative to the fundamental)", figures.aliasDb, figures.worstAliasDb, figures.worstAliasHz),
                        plotLeft, top + 6, plotRight - plotLeft, 20, juce::Justification::centredLeft);

            // Each pixel column shows the strongest bin it covers.
            juce::Path path;
            const auto columns = plotRight - plotLeft;

            for (int c = 0; c < columns; ++c)
            {
                const auto first = c * (bins - 1) / columns, last = std::max (first + 1, (c + 1) * (bins - 1) / columns);
                double strongest = 0.0;

                for (int k = first; k < last && k < bins; ++k)
                    strongest = std::max (strongest, power[(size_t) k]);

                const auto point = juce::Point<float> ((float) (plotLeft + c), y (alias::decibels (strongest) - reference));

                if (c == 0)
                    path.startNewSubPath (point);
                else
                    path.lineTo (point);
            }

            g.setColour (colour);
            g.strokePath (path, juce::PathStrokeType (1.0f));
            g.setColour (juce::Colours::black);
            g.drawRect (plotLeft, plotTop, plotRight - plotLeft, plotBottom - plotTop);
        };

        drawPanel (standard, 0, "wavefold, many folds, 997 Hz, standard", juce::Colour (0xffc0392b));
        drawPanel (high, panelHeight + 20, "wavefold, many folds, 997 Hz, high", juce::Colour (0xff1f6fb2));

        if (! writePng (image, file))
            std::fprintf (stderr, "could not write %s\n", file.getFullPathName().toRawUTF8());
    }

    int run (int argc, char** argv)
    {
        juce::File picture;

        for (int i = 1; i < argc; ++i)
        {
            if (std::strcmp (argv[i], "--picture") == 0 && i + 1 < argc)
                picture = juce::File::getCurrentWorkingDirectory().getChildFile (argv[++i]);
            else
            {
                std::fprintf (stderr, "usage: morsello_alias [--picture <file.png>]\n");
                return 2;
            }
        }

        const auto rows = alias::measurementRows();
        std::vector<std::vector<alias::Figures>> results;
        std::vector<double> pictureStandard, pictureHigh;

        std::printf ("| stage | input | quality | aliases | worst alias | noise floor (per bin) |\n|---|---|---|---|---|---|\n");

        for (size_t r = 0; r < rows.size(); ++r)
        {
            const auto& row = rows[r];
            results.emplace_back();

            for (const auto quality : { Quality::standard, Quality::high })
            {
                const auto output = alias::renderSine (row.settings, quality, row.frequency, kLength);
                const auto power = alias::powerSpectrum (output, fftwPower);
                const auto figures = alias::analyse (power, row.frequency, alias::kSampleRate, row.carrier);
                results.back().push_back (figures);

                std::printf ("| %s | %.0f Hz | %s | %.1f dB | %.1f dB at %.0f Hz | %.0f dB |\n", row.name.c_str(), row.frequency,
                             qualityName (quality), figures.aliasDb, figures.worstAliasDb, figures.worstAliasHz, figures.noiseFloorDb);

                if (r == 1)
                    (quality == Quality::high ? pictureHigh : pictureStandard) = power;
            }
        }

        std::printf ("\nLevels of the harmonics below 10 kHz (dB relative to a full-scale sine), standard / high:\n\n"
                     "| stage | input | component | standard | high | difference |\n|---|---|---|---|---|---|\n");

        for (size_t r = 0; r < rows.size(); ++r)
        {
            const auto& standard = results[r][0].harmonicDb;
            const auto& high = results[r][1].harmonicDb;

            const auto& frequencies = results[r][0].harmonicHz;

            for (size_t h = 0; h < standard.size() && frequencies[h] < 10000.0; ++h)
            {
                // Harmonics far below the fundamental say nothing about the tone.
                if (standard[h] < results[r][0].fundamentalDb - 60.0)
                    continue;

                std::printf ("| %s | %.0f Hz | %.0f Hz | %.2f | %.2f | %+.2f dB |\n", rows[r].name.c_str(), rows[r].frequency, frequencies[h],
                             standard[h], high[h], high[h] - standard[h]);
            }
        }

        std::printf ("\nLatency of \"high\": %d samples at any rate.\n", MorselloEngine::latencyOf (Quality::high));

        {
            // Every instance holds the mode's buffers whichever quality it runs.
            MorselloEngine engine;
            engine.prepare (alias::kSampleRate, 512, 2, {});
            std::printf ("Memory of \"high\" per stereo instance: %zu bytes.\n", engine.getHighQualityBytes());
        }

        if (picture != juce::File())
            drawSpectra (pictureStandard, pictureHigh, rows[1].frequency, picture);

        return 0;
    }
} // namespace
} // namespace morsello

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI framework;
    return morsello::run (argc, argv);
}
