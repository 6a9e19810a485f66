#include "Demo.h"

#include "look/Palette.h"
#include "processor/programs/FactoryRecipes.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>

namespace morsello
{
namespace
{
constexpr double twoPi = juce::MathConstants<double>::twoPi;

// A plucked string (Karplus-Strong): a delay line filled with noise and averaged on every pass,
// added into `out` from `start` for `length` samples.
void addPluck (juce::AudioBuffer<float>& out, int start, int length, double frequency, float gain, float pan, juce::Random& random)
{
    const auto period = std::max (2, (int) std::lround (Demo::sampleRate / frequency));
    std::vector<float> line ((size_t) period);

    for (auto& value : line)
        value = random.nextFloat() * 2.0f - 1.0f;

    size_t position = 0;

    for (int i = 0; i < length && start + i < out.getNumSamples(); ++i)
    {
        const auto next = (position + 1) % line.size();
        const auto value = line[position];
        line[position] = 0.4985f * (value + line[next]);
        position = next;

        out.addSample (0, start + i, value * gain * (1.0f - pan));
        out.addSample (1, start + i, value * gain * (1.0f + pan));
    }
}

// A kick-like hit: a sine falling from 160 Hz to 45 Hz under a fast decay, with a short noise burst.
void addHit (juce::AudioBuffer<float>& out, int start, juce::Random& random)
{
    double phase = 0.0;

    for (int i = 0; i < (int) (0.8 * Demo::sampleRate) && start + i < out.getNumSamples(); ++i)
    {
        const auto t = (double) i / Demo::sampleRate;
        phase += twoPi * (45.0 + 115.0 * std::exp (-t * 30.0)) / Demo::sampleRate;
        const auto body = std::sin (phase) * std::exp (-t * 7.0);
        const auto click = (random.nextDouble() * 2.0 - 1.0) * std::exp (-t * 60.0) * 0.6;
        const auto value = (float) (body + click);
        out.addSample (0, start + i, value);
        out.addSample (1, start + i, value);
    }
}

// A band-pass filter (constant peak gain) whose centre can move every sample.
struct Resonance
{
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;

    double process (double input, double centre, double q)
    {
        const auto w = twoPi * centre / Demo::sampleRate;
        const auto alpha = std::sin (w) / (2.0 * q);
        const auto a0 = 1.0 + alpha;
        const auto output = (alpha * input - alpha * x2 + 2.0 * std::cos (w) * y1 - (1.0 - alpha) * y2) / a0;
        x2 = x1;
        x1 = input;
        y2 = y1;
        y1 = output;
        return output;
    }
};

// A sawtooth voice at about 130 Hz with a slight vibrato, through two formants that glide from
// "ah" to "ee" to "oo".
void addVowelSweep (juce::AudioBuffer<float>& out, int start, int length)
{
    Resonance first, second;
    double phase = 0.0;

    for (int i = 0; i < length && start + i < out.getNumSamples(); ++i)
    {
        const auto position = (double) i / length; // 0..1 through the sweep
        const auto t = (double) i / Demo::sampleRate;
        phase += (130.0 + 3.0 * std::sin (twoPi * 5.5 * t)) / Demo::sampleRate;
        phase -= std::floor (phase);
        const auto saw = 2.0 * phase - 1.0;

        // ah (800, 1200) -> ee (300, 2300) -> oo (320, 800)
        const auto half = std::min (1.0, position * 2.0);
        const auto late = std::max (0.0, position * 2.0 - 1.0);
        const auto f1 = 800.0 + (300.0 - 800.0) * half + (320.0 - 300.0) * late;
        const auto f2 = 1200.0 + (2300.0 - 1200.0) * half + (800.0 - 2300.0) * late;

        const auto envelope = std::min (1.0, std::min (position * 12.0, (1.0 - position) * 8.0));
        const auto value = (float) (envelope * (first.process (saw, f1, 6.0) + 0.6 * second.process (saw, f2, 8.0)));
        out.addSample (0, start + i, value);
        out.addSample (1, start + i, value);
    }
}

// The lowest and highest sample of every channel within [start, end).
juce::Range<float> peakRange (const juce::AudioBuffer<float>& audio, int start, int end)
{
    auto low = 0.0f, high = 0.0f;

    for (int channel = 0; channel < audio.getNumChannels(); ++channel)
        for (int i = std::max (0, start); i < std::min (end, audio.getNumSamples()); ++i)
        {
            low = std::min (low, audio.getSample (channel, i));
            high = std::max (high, audio.getSample (channel, i));
        }

    return { low, high };
}

void drawWaveform (juce::Graphics& g, const juce::AudioBuffer<float>& audio, int totalLength, juce::Rectangle<int> area, juce::Colour colour)
{
    g.setColour (colour);
    const auto centre = (float) area.getCentreY();
    const auto halfHeight = (float) area.getHeight() * 0.5f;

    for (int x = 0; x < area.getWidth(); ++x)
    {
        const auto start = (int) ((juce::int64) x * totalLength / area.getWidth());
        const auto end = (int) ((juce::int64) (x + 1) * totalLength / area.getWidth());
        const auto peaks = peakRange (audio, start, std::max (end, start + 1));
        const auto top = centre - juce::jlimit (-1.0f, 1.0f, peaks.getEnd()) * halfHeight;
        const auto bottom = centre - juce::jlimit (-1.0f, 1.0f, peaks.getStart()) * halfHeight;
        g.fillRect ((float) (area.getX() + x), top, 1.0f, std::max (1.0f, bottom - top));
    }
}

// Level (0 = -96 dBFS or less, 1 = full scale) to a colour from charcoal through brown and
// rust to amber and cream.
juce::Colour heat (float level)
{
    const juce::Colour stops[] { Palette::charcoal, Palette::brown, Palette::rust, Palette::amber, Palette::cream };
    const auto scaled = juce::jlimit (0.0f, 1.0f, level) * 4.0f;
    const auto index = std::min (3, (int) scaled);
    return stops[index].interpolatedWith (stops[index + 1], scaled - (float) index);
}

void drawSpectrogram (juce::Graphics& g, const juce::AudioBuffer<float>& audio, double rate, juce::Rectangle<int> area)
{
    constexpr size_t size = 1024;
    constexpr double lowest = 40.0, highest = 20000.0;
    juce::Image picture (juce::Image::RGB, area.getWidth(), area.getHeight(), false);
    juce::Image::BitmapData pixels (picture, juce::Image::BitmapData::writeOnly);

    std::vector<float> window (size);
    auto windowSum = 0.0f;

    for (size_t i = 0; i < size; ++i)
    {
        window[i] = (float) (0.5 - 0.5 * std::cos (twoPi * (double) i / (double) size));
        windowSum += window[i];
    }

    // FFTW's real-to-complex transform of one windowed frame: size / 2 + 1 bins. The plan is
    // made once for these two buffers and run for every column.
    auto* frame = fftwf_alloc_real (size);
    auto* spectrum = fftwf_alloc_complex (size / 2 + 1);
    const auto plan = fftwf_plan_dft_r2c_1d ((int) size, frame, spectrum, FFTW_ESTIMATE);
    std::vector<float> bins (size / 2 + 1);
    const auto scale = 1.0f / (float) audio.getNumChannels();

    for (int x = 0; x < area.getWidth(); ++x)
    {
        const auto centre = (int) ((juce::int64) x * audio.getNumSamples() / area.getWidth());

        for (size_t i = 0; i < size; ++i)
        {
            const auto index = centre - (int) size / 2 + (int) i;
            auto sum = 0.0f;

            if (index >= 0 && index < audio.getNumSamples())
                for (int channel = 0; channel < audio.getNumChannels(); ++channel)
                    sum += audio.getSample (channel, index);

            frame[i] = sum * scale * window[i];
        }

        fftwf_execute (plan);

        for (size_t i = 0; i < bins.size(); ++i)
            bins[i] = std::hypot (spectrum[i][0], spectrum[i][1]);

        for (int y = 0; y < area.getHeight(); ++y)
        {
            const auto fraction = 1.0 - ((double) y + 0.5) / area.getHeight();
            const auto frequency = lowest * std::pow (highest / lowest, fraction);
            const auto bin = std::min (size / 2 - 1, (size_t) std::lround (frequency * (double) size / rate));
            const auto magnitude = 2.0f * bins[bin] / windowSum;
            const auto decibels = juce::Decibels::gainToDecibels (magnitude, -96.0f);
            pixels.setPixelColour (x, y, heat ((decibels + 96.0f) / 96.0f));
        }
    }

    fftwf_destroy_plan (plan);
    fftwf_free (spectrum);
    fftwf_free (frame);

    g.drawImageAt (picture, area.getX(), area.getY());
}
} // namespace

juce::AudioBuffer<float> Demo::makePhrase (double seconds)
{
    const auto length = (int) std::lround (seconds * sampleRate);
    juce::AudioBuffer<float> phrase (2, length);
    phrase.clear();
    juce::Random random (20261210);

    auto at = [length] (double fraction)
    { return (int) (fraction * length); };
    const auto noteLength = (int) (1.2 * sampleRate);

    // Four plucked notes, A3 C4 E4 G4, from left to right.
    const double notes[] { 220.0, 261.63, 329.63, 392.0 };

    for (int note = 0; note < 4; ++note)
        addPluck (phrase, at (0.08 * note), noteLength, notes[note], 0.8f, -0.45f + 0.3f * (float) note, random);

    // A G major chord, G3 B3 D4 G4, struck together.
    for (const auto frequency : { 196.0, 246.94, 293.66, 392.0 })
        addPluck (phrase, at (0.34), noteLength, frequency, 0.45f, 0.0f, random);

    addHit (phrase, at (0.56), random);
    addVowelSweep (phrase, at (0.64), at (0.98) - at (0.64));

    const auto peak = phrase.getMagnitude (0, length);

    if (peak > 0.0f)
        phrase.applyGain (0.5f / peak);

    return phrase;
}

juce::Image Demo::drawOverview (const std::vector<Row>& rows, double rate)
{
    juce::Image image (juce::Image::RGB, overviewWidth, overviewHeight ((int) rows.size()), true);
    juce::Graphics g (image);
    g.fillAll (Palette::charcoal);

    constexpr int margin = 12, nameWidth = 220;
    const auto panelWidth = (overviewWidth - nameWidth - 4 * margin) / 2;
    const auto waveX = margin + nameWidth + margin;
    const auto spectrumX = waveX + panelWidth + margin;

    g.setColour (Palette::cream);
    g.setFont (juce::Font (22.0f, juce::Font::bold));
    g.drawText ("The Morsello: the sixteen factory recipes", margin, 8, overviewWidth - 2 * margin, 28, juce::Justification::centredLeft);
    g.setFont (juce::Font (14.0f));
    g.setColour (Palette::tan);
    g.drawText ("output waveform (amber) above the input (tan)", waveX, 38, panelWidth, 20, juce::Justification::centredLeft);
    g.drawText ("output spectrogram, 40 Hz to 20 kHz, -96 to 0 dBFS", spectrumX, 38, panelWidth, 20, juce::Justification::centredLeft);

    for (size_t index = 0; index < rows.size(); ++index)
    {
        const auto& row = rows[index];
        const auto top = headingHeight + (int) index * rowHeight;
        const juce::Rectangle<int> wave (waveX, top + 4, panelWidth, rowHeight - 8);
        const juce::Rectangle<int> spectrum (spectrumX, top + 4, panelWidth, rowHeight - 8);

        g.setColour (Palette::cream);
        g.setFont (juce::Font (17.0f));
        g.drawText (juce::String ((int) index) + "  " + row.name, margin, top, nameWidth, rowHeight, juce::Justification::centredLeft);

        // The output above, the input (on the same time scale) below it.
        auto outputArea = wave;
        const auto inputArea = outputArea.removeFromBottom (wave.getHeight() * 2 / 5);
        g.setColour (Palette::charcoal.brighter (0.15f));
        g.fillRect (outputArea);
        g.setColour (Palette::charcoal.brighter (0.07f));
        g.fillRect (inputArea);
        drawWaveform (g, *row.output, row.output->getNumSamples(), outputArea, Palette::amber);
        drawWaveform (g, *row.input, row.output->getNumSamples(), inputArea, Palette::tan.withAlpha (0.8f));
        drawSpectrogram (g, *row.output, rate, spectrum);
    }

    return image;
}

juce::String Demo::renderFileName (int recipeIndex)
{
    const auto name = juce::String (kFactoryRecipes[(size_t) recipeIndex].name).replaceCharacter (' ', '-').retainCharacters ("abcdefghijklmnopqrstuvwxyz0123456789-");
    return juce::String (recipeIndex).paddedLeft ('0', 2) + "-" + name + ".wav";
}
} // namespace morsello
