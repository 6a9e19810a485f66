#pragma once

// Harmonics and aliases of a processed sine: the sine through the engine with one nonlinear stage
// at work and every other layer neutral, a Kaiser-windowed spectrum of the result, and that
// spectrum split into the harmonics of the input frequency and everything else (the images of
// harmonics above the Nyquist frequency that folded back, plus the noise floor). Shared by
// morsello_alias (tools/alias) and the test that holds the high quality mode to its figures.

#include "dsp/MorselloEngine.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <string>
#include <vector>

namespace morsello::alias
{
inline constexpr double kSampleRate = 48000.0;
inline constexpr double kInputLevel = 0.50118723362727224; // -6 dBFS
inline constexpr double kWindowBeta = 20.0;                // side lobes near -190 dB
inline constexpr int kLobeHalfWidth = 8;                   // bins either side of a peak's centre

// One row of the measurement: which stage, driven how, at which frequency.
struct Row
{
    std::string name;
    double frequency;
    EngineSettings settings;
    double carrier = 0.0; // ring mod: the carrier's frequency, whose sidebands count as harmonics
};

// Settings with every layer neutral and the output fully processed: both breads filters with
// their wet amount at 0, the filling at wet amount 0, toast 0 (its gentlest, tanh (s)), bite 1,
// output 0 dB, breads in "free" mode so bread 2 keeps its own (neutral) knobs.
inline EngineSettings neutralSettings()
{
    EngineSettings settings;
    settings[ParameterIndex::breadType] = 0.0f;
    settings[ParameterIndex::breadMode] = 2.0f;
    settings[ParameterIndex::fillingType] = 0.0f;

    for (const auto index : { ParameterIndex::left1, ParameterIndex::left2, ParameterIndex::right1, ParameterIndex::right2, ParameterIndex::fill1, ParameterIndex::fill2, ParameterIndex::fill3 })
        settings[index] = 0.5f;

    settings[ParameterIndex::left3] = settings[ParameterIndex::right3] = settings[ParameterIndex::fill4] = 0.0f;
    settings[ParameterIndex::toast] = 0.0f;
    settings[ParameterIndex::bite] = 1.0f;
    settings[ParameterIndex::output] = 0.0f;
    return settings;
}

// The rows of the measurement, each with its settings (docs/performance.md names them).
inline std::vector<Row> measurementRows()
{
    auto fillingWavefold = [] (float folds)
    {
        auto s = neutralSettings();
        s[ParameterIndex::fillingType] = 6.0f; // wavefold
        s[ParameterIndex::fill1] = folds;      // drive 1 + 15 k1
        s[ParameterIndex::fill2] = 0.5f;       // no bias
        s[ParameterIndex::fill3] = 1.0f;       // tone wide open (14.4 kHz)
        s[ParameterIndex::fill4] = 1.0f;
        return s;
    };

    auto bread = [] (float kind, float k1)
    {
        auto s = neutralSettings();
        s[ParameterIndex::breadType] = kind;
        s[ParameterIndex::left1] = k1;
        s[ParameterIndex::left2] = 0.5f;
        s[ParameterIndex::left3] = 1.0f; // bread 1 fully wet; bread 2 ("free") stays at wet amount 0
        return s;
    };

    auto toast = neutralSettings();
    toast[ParameterIndex::toast] = 1.0f;

    auto ringMod = neutralSettings();
    ringMod[ParameterIndex::fillingType] = 5.0f; // ring mod
    ringMod[ParameterIndex::fill1] = 1.0f;       // carrier 1200 Hz
    ringMod[ParameterIndex::fill2] = 1.0f;       // shape: the tanh-squared carrier
    ringMod[ParameterIndex::fill4] = 1.0f;

    return {
        { "wavefold filling, moderate folds (k1 0.25)", 997.0, fillingWavefold (0.25f) },
        { "wavefold filling, many folds (k1 1)", 997.0, fillingWavefold (1.0f) },
        { "wavefold bread, many folds (k1 1)", 9000.0, bread (10.0f, 1.0f) },
        { "drive bread, high (k1 1)", 5000.0, bread (1.0f, 1.0f) },
        { "drive bread, high (k1 1)", 9000.0, bread (1.0f, 1.0f) },
        { "toast 1.0", 9000.0, toast },
        { "ring mod filling, shaped carrier 1200 Hz (k1 1, k2 1)", 4997.0, ringMod, 1200.0 },
    };
}

// `length` samples of channel 0 of the engine's output for a sine at `frequency`, after half a
// second (plus the quality's latency) to settle.
inline std::vector<float> renderSine (const EngineSettings& settings, Quality quality, double frequency, int length)
{
    constexpr int blockSize = 512;
    MorselloEngine engine;
    engine.setQuality (quality);
    engine.prepare (kSampleRate, blockSize, 2, settings);

    const auto settle = (int) (0.5 * kSampleRate) + MorselloEngine::latencyOf (quality);
    const auto total = settle + length;
    std::vector<float> output ((size_t) length);
    juce::AudioBuffer<float> block (2, blockSize);
    const auto step = 2.0 * juce::MathConstants<double>::pi * frequency / kSampleRate;

    for (int start = 0; start < total; start += blockSize)
    {
        const auto n = std::min (blockSize, total - start);
        block.setSize (2, n, false, false, true);

        for (int i = 0; i < n; ++i)
        {
            const auto x = (float) (kInputLevel * std::sin (step * (double) (start + i)));
            block.setSample (0, i, x);
            block.setSample (1, i, x);
        }

        engine.process (block, settings);

        for (int i = 0; i < n; ++i)
            if (start + i >= settle)
                output[(size_t) (start + i - settle)] = block.getSample (0, i);
    }

    return output;
}

inline std::vector<double> kaiserWindow (int length, double beta)
{
    auto besselI0 = [] (double x)
    {
        double sum = 1.0, term = 1.0;

        for (int k = 1; k < 200 && term > sum * 1.0e-18; ++k)
        {
            term *= (x / (2.0 * k)) * (x / (2.0 * k));
            sum += term;
        }

        return sum;
    };

    std::vector<double> window ((size_t) length);

    for (int n = 0; n < length; ++n)
    {
        const auto r = 2.0 * n / (length - 1) - 1.0;
        window[(size_t) n] = besselI0 (beta * std::sqrt (std::max (0.0, 1.0 - r * r))) / besselI0 (beta);
    }

    return window;
}

// An in-place radix-2 FFT (length a power of 2), for when FFTW is not at hand.
inline void fft (std::vector<std::complex<double>>& data)
{
    const auto n = data.size();

    for (size_t i = 1, j = 0; i < n; ++i)
    {
        auto bit = n >> 1;

        for (; (j & bit) != 0; bit >>= 1)
            j ^= bit;

        j ^= bit;

        if (i < j)
            std::swap (data[i], data[j]);
    }

    for (size_t length = 2; length <= n; length <<= 1)
    {
        const auto angle = -2.0 * juce::MathConstants<double>::pi / (double) length;
        const std::complex<double> unit (std::cos (angle), std::sin (angle));

        for (size_t i = 0; i < n; i += length)
        {
            std::complex<double> w (1.0, 0.0);

            for (size_t k = 0; k < length / 2; ++k)
            {
                const auto u = data[i + k];
                const auto v = data[i + k + length / 2] * w;
                data[i + k] = u + v;
                data[i + k + length / 2] = u - v;
                w *= unit;
            }
        }
    }
}

// Power of every bin from 0 Hz to Nyquist, scaled so that a full-scale sine's lobe sums to 1.
using Transform = std::function<std::vector<double> (const std::vector<double>&)>;

inline std::vector<double> powerSpectrum (const std::vector<float>& signal, const Transform& transform)
{
    const auto length = (int) signal.size();
    const auto window = kaiserWindow (length, kWindowBeta);
    std::vector<double> windowed ((size_t) length);
    double windowEnergy = 0.0;

    for (size_t i = 0; i < window.size(); ++i)
    {
        windowed[i] = window[i] * (double) signal[i];
        windowEnergy += window[i] * window[i];
    }

    auto power = transform (windowed);

    // A sine of amplitude A puts N * A^2 * sum (w^2) / 4 into its positive-frequency lobe.
    for (auto& p : power)
        p *= 4.0 / ((double) length * windowEnergy);

    return power;
}

// The radix-2 transform's power spectrum (length a power of 2).
inline std::vector<double> radix2Power (const std::vector<double>& windowed)
{
    std::vector<std::complex<double>> data (windowed.begin(), windowed.end());
    fft (data);
    std::vector<double> power (data.size() / 2 + 1);

    for (size_t k = 0; k < power.size(); ++k)
        power[k] = std::norm (data[k]);

    return power;
}

inline double decibels (double power) { return 10.0 * std::log10 (std::max (power, 1.0e-300)); }

struct Figures
{
    double fundamentalDb = 0.0;     // dB relative to a full-scale sine
    std::vector<double> harmonicDb; // harmonics 1, 2, ... below Nyquist, same scale
    std::vector<double> harmonicHz; // their frequencies
    double aliasDb = 0.0;           // all aliases together, dB relative to the fundamental
    double worstAliasDb = 0.0;      // the strongest alias, dB relative to the fundamental
    double worstAliasHz = 0.0;
    double noiseFloorDb = 0.0; // the median bin, dB relative to the fundamental
};

// Splits the spectrum: a harmonic is the lobe at a multiple of `frequency` (or, with a carrier,
// at n * frequency + k * carrier for n = 1, 3, 5 and any whole k: the ring mod's sidebands and
// the toast's products of them, the strongest of which stands for the fundamental; the input's
// frequency must then share no common step with the carrier that divides the rate); everything else (outside the lobe at 0 Hz) above the median bin
// is alias. The worst alias is the lobe around the strongest such bin.
inline Figures analyse (const std::vector<double>& power, double frequency, double sampleRate, double carrier = 0.0)
{
    const auto bins = (int) power.size();
    const auto binHz = sampleRate / (2.0 * (bins - 1));
    std::vector<bool> harmonic ((size_t) bins, false);
    Figures figures;

    for (int k = 0; k <= kLobeHalfWidth && k < bins; ++k)
        harmonic[(size_t) k] = true;

    std::vector<double> components;

    if (carrier > 0.0)
    {
        // The sidebands, and the toast's odd-order products of them.
        for (const auto n : { 1, 3, 5 })
            for (int k = -120; k <= 120; ++k)
                if (const auto f = std::abs (n * frequency + k * carrier); f > 0.0 && f < 0.5 * sampleRate)
                    components.push_back (f);

        std::sort (components.begin(), components.end());
    }
    else
    {
        for (int h = 1; h * frequency < 0.5 * sampleRate; ++h)
            components.push_back (h * frequency);
    }

    for (const auto component : components)
    {
        const auto centre = (int) std::lround (component / binHz);
        double sum = 0.0;

        for (int k = std::max (0, centre - kLobeHalfWidth); k <= std::min (bins - 1, centre + kLobeHalfWidth); ++k)
        {
            sum += power[(size_t) k];
            harmonic[(size_t) k] = true;
        }

        figures.harmonicDb.push_back (decibels (sum));
        figures.harmonicHz.push_back (component);
    }

    figures.fundamentalDb = carrier > 0.0 ? *std::max_element (figures.harmonicDb.begin(), figures.harmonicDb.end())
                                          : figures.harmonicDb.front();
    const auto fundamental = std::pow (10.0, figures.fundamentalDb / 10.0);

    std::vector<double> rest;

    for (int k = 0; k < bins; ++k)
        if (! harmonic[(size_t) k])
            rest.push_back (power[(size_t) k]);

    auto sorted = rest;
    std::nth_element (sorted.begin(), sorted.begin() + (std::ptrdiff_t) (sorted.size() / 2), sorted.end());
    const auto floor = sorted[sorted.size() / 2];

    double aliasPower = 0.0;
    int worst = -1;

    for (int k = 0; k < bins; ++k)
    {
        if (harmonic[(size_t) k])
            continue;

        aliasPower += std::max (0.0, power[(size_t) k] - floor);

        if (worst < 0 || power[(size_t) k] > power[(size_t) worst])
            worst = k;
    }

    double worstPower = 0.0;

    for (int k = std::max (0, worst - kLobeHalfWidth); k <= std::min (bins - 1, worst + kLobeHalfWidth); ++k)
        if (! harmonic[(size_t) k])
            worstPower += power[(size_t) k];

    figures.aliasDb = decibels (aliasPower / fundamental);
    figures.worstAliasDb = decibels (worstPower / fundamental);
    figures.worstAliasHz = worst * binHz;
    figures.noiseFloorDb = decibels (floor / fundamental);
    return figures;
}
} // namespace morsello::alias
