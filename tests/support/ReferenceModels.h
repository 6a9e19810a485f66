#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace morsello
{
// Straightforward per-sample renderings of the layers' formulas, written apart from the engine:
// every knob-derived value is recomputed on every sample, single-precision maths goes through
// the C library's float functions by name, and state lives in plain vectors. The engine hoists,
// inlines and splits into blocks; agreeing with these shows that none of that changed a result.
namespace reference
{
// The formulas fix every rounding and both sides call the same maths library, so agreement is
// to the last bit. Anything looser would let through the last-bit slips that, downstream, move
// a granular read by a whole float step or a lo-fi sample by a whole quantisation step.
constexpr float kTolerance = 0.0f;

constexpr double kPi = 3.14159265358979323846;

struct Line
{
    std::vector<float> data;

    explicit Line (int length = 0) : data ((size_t) length, 0.0f) {}

    float read (float position) const
    {
        const auto n = (float) data.size();

        while (position < 0.0f)
            position += n;

        while (position >= n)
            position -= n;

        const auto i = (int) position;
        const auto a = data[(size_t) i];
        const auto b = data[(size_t) ((i + 1) % (int) data.size())];
        return a + (b - a) * (position - (float) i);
    }
};

// The lo-fi kind's noise generator: one 32-bit xorshift step.
inline uint32_t xorshift (uint32_t s)
{
    s = s ^ (s << 13);
    s = s ^ (s >> 17);
    s = s ^ (s << 5);
    return s;
}

inline float clampTwo (float y)
{
    if (y < -2.0f)
        return -2.0f;

    if (y > 2.0f)
        return 2.0f;

    return y;
}

// The four simple bread kinds.
struct Bread
{
    Line lines[2];
    float filterMemory[2] {};
    float driveMemory[2] {};
    int writeIndex = 0;
    double lfoPhase = 0.0;

    explicit Bread (double sampleRate)
    {
        const auto n = std::max (4096, (int) (sampleRate * 4.0));
        lines[0] = Line (n);
        lines[1] = Line (n);
    }

    void run (juce::AudioBuffer<float>& block, int kind, float k1, float k2, float k3, double sr)
    {
        const auto n = (int) lines[0].data.size();
        const auto channels = std::min (block.getNumChannels(), 2);

        for (int i = 0; i < block.getNumSamples(); ++i)
        {
            const double m = std::sin (2.0 * kPi * lfoPhase);
            const double rate = (double) k1 * 2.5 + 0.04;
            lfoPhase = lfoPhase + rate / sr;

            if (lfoPhase >= 1.0)
                lfoPhase = lfoPhase - 1.0;

            const float chorusBase = k2 * 22.0f + 6.0f;
            const float dm = (float) m * k2 * 5.0f + chorusBase;

            for (int c = 0; c < channels; ++c)
            {
                const float x = block.getSample (c, i);
                float w = 0.0f;

                if (kind == 0)
                {
                    const float a = 1.0f - expf (powf (220.0f, k1) * 70.0f * (-6.2831855f) / (float) sr);
                    filterMemory[c] = filterMemory[c] + a * (x - filterMemory[c]);
                    w = filterMemory[c] + k2 * (x - 2.0f * filterMemory[c]);
                }
                else if (kind == 1)
                {
                    const float u = k1 * 18.0f + 1.0f;
                    const float b = (k2 - 0.5f) * 0.12f;
                    const float g = k2 * 0.45f + 0.02f;
                    const float h = (tanhf ((x + b) * u) - tanhf (b * u)) / u;
                    driveMemory[c] = driveMemory[c] + g * (h - driveMemory[c]);
                    w = driveMemory[c];
                }
                else if (kind == 2)
                {
                    w = lines[c].read ((float) writeIndex - (float) sr * dm / 1000.0f);
                    lines[c].data[(size_t) writeIndex] = x;
                }
                else
                {
                    const float t = k1 * k1 * 0.72f + 0.025f;
                    const float f = k2 * 0.82f;
                    w = lines[c].read ((float) writeIndex - (float) sr * t);
                    lines[c].data[(size_t) writeIndex] = x + f * w;
                }

                block.setSample (c, i, clampTwo (x + (w - x) * k3));
            }

            writeIndex = (writeIndex + 1) % n;
        }
    }
};

// The effect engine's kinds, all but the framework reverb.
struct Engine
{
    Line delay[2];
    int writeIndex = 0;
    float heldSample[2] {};
    int holdCountdown[2] {};
    float smearState[2] {};
    uint32_t noiseState = 0x051F15E5u;
    double lfoPhase = 0.0;
    double sampleRate;
    double tonalPhase = 0.0;
    uint64_t tonalIndex = 0;
    Line resonatorLine[2];
    float toneState[2] {};
    int lastTonalKind = -1;

    explicit Engine (double sr) : sampleRate (sr)
    {
        const auto l = std::max (4096, (int) (4.0 * sr));
        delay[0] = Line (l);
        delay[1] = Line (l);
        const auto m = (int) (0.1 * sr) + 8;
        resonatorLine[0] = Line (m);
        resonatorLine[1] = Line (m);
    }

    void run (juce::AudioBuffer<float>& block, int kind, float k1, float k2, float k3, float amount, double sr)
    {
        const auto nc = std::min (block.getNumChannels(), 2);

        if (kind >= 5)
        {
            runTonal (block, nc, kind, k1, k2, k3, amount);
            return;
        }

        lastTonalKind = -1;
        const auto l = (int) delay[0].data.size();
        const float fs = (float) sr;

        for (int i = 0; i < block.getNumSamples(); ++i)
        {
            const double rate = 0.03 + 3.2 * (double) k2;
            const float v = (float) (0.5 + 0.5 * std::sin (2.0 * kPi * lfoPhase));
            lfoPhase = lfoPhase + rate / sr;

            if (lfoPhase >= 1.0)
                lfoPhase = lfoPhase - 1.0;

            const float w = (float) writeIndex;

            for (int ch = 0; ch < nc; ++ch)
            {
                const float x = block.getSample (ch, i);
                float e = 0.0f;

                if (kind == 0)
                {
                    const float base = 18.0f + 420.0f * k1;
                    const float spread = 4.0f + 180.0f * k2;
                    const float feedback = 0.08f + 0.68f * k3;
                    const float timeA = (1.0f - v) * spread * 1.37f + base;
                    const float timeB = v * spread + base;
                    const float rA = delay[ch].read (w - timeA * fs / 1000.0f);
                    const float rB = delay[ch].read (w - timeB * fs / 1000.0f);
                    const float gA = sqrtf (v);
                    const float gB = sqrtf (1.0f - v);
                    const float g = (rA * gA + rB * gB) / std::max (gA + gB, 0.001f);
                    delay[ch].data[(size_t) writeIndex] = x + feedback * g;
                    e = 0.72f * g;
                }
                else if (kind == 2)
                {
                    const float t = 0.035f + 1.35f * k1 * k1;
                    const float o = 0.075f * k2;
                    const float feedback = 0.88f * k3;
                    float d = fs * t;

                    if (nc == 2 && ch == 1)
                        d = d + fs * o;

                    const float r = delay[ch].read (w - d);
                    delay[ch].data[(size_t) writeIndex] = x + feedback * r;
                    e = r;
                }
                else if (kind == 3)
                {
                    const int h = 1 + (int) (80.0f * k1 * k1);
                    const float q = powf (2.0f, 4.0f + 12.0f * (1.0f - k2));
                    holdCountdown[ch] = holdCountdown[ch] - 1;

                    if (holdCountdown[ch] <= 0)
                    {
                        holdCountdown[ch] = h;
                        heldSample[ch] = roundf (x * q) / q;
                    }

                    noiseState = xorshift (noiseState);
                    const double u = (double) noiseState / 4294967296.0;
                    e = heldSample[ch] + (float) ((u - 0.5) * (double) k3 * 0.025);
                }
                else if (kind == 4)
                {
                    const float a = 0.004f + 0.04f * (1.0f - k2);
                    const float feedback = 0.2f + 0.72f * k3;
                    const float d = 22.0f + 260.0f * k1 + 90.0f * k2 * v;
                    const float r = delay[ch].read (w - d * fs / 1000.0f);
                    smearState[ch] = smearState[ch] + a * (r - smearState[ch]);
                    delay[ch].data[(size_t) writeIndex] = x + feedback * smearState[ch];
                    e = 0.86f * smearState[ch];
                }

                block.setSample (ch, i, clampTwo (x + amount * (e - x)));
            }

            writeIndex = (writeIndex + 1) % l;
        }
    }

    void runTonal (juce::AudioBuffer<float>& block, int nc, int kind, float k1, float k2, float k3, float amount)
    {
        if (kind != lastTonalKind)
        {
            tonalPhase = 0.0;
            tonalIndex = 0;
            toneState[0] = toneState[1] = 0.0f;
            std::fill (resonatorLine[0].data.begin(), resonatorLine[0].data.end(), 0.0f);
            std::fill (resonatorLine[1].data.begin(), resonatorLine[1].data.end(), 0.0f);
        }

        lastTonalKind = kind;
        const auto m = (uint64_t) resonatorLine[0].data.size();

        for (int i = 0; i < block.getNumSamples(); ++i)
        {
            const double f = kind == 5 ? 12.0 * std::pow (100.0, (double) k1) : 0.05 * std::pow (320.0, (double) k1);

            for (int ch = 0; ch < nc; ++ch)
            {
                const float x = block.getSample (ch, i);
                const float offset = k3 * (float) ch;
                const double angle = 2.0 * kPi * (tonalPhase + 0.5 * (double) offset);
                float e = 0.0f;

                if (kind == 5)
                {
                    const float s = (float) std::sin (angle);
                    const float c = s + k2 * (tanhf (5.0f * s) - s);
                    e = c * x;
                }
                else if (kind == 6)
                {
                    const float g = 1.0f + 15.0f * k1;
                    const float b = 1.5f * (k2 - 0.5f);
                    const float a = (float) (1.0 - std::exp (-2.0 * kPi * 180.0 * std::pow (80.0, (double) k3) / sampleRate));
                    const float difference = asinf (sinf (g * x + b)) - asinf (sinf (b));
                    const float folded = (float) ((double) difference / kPi);
                    toneState[ch] = toneState[ch] + a * (folded - toneState[ch]);
                    e = toneState[ch];
                }
                else if (kind == 7)
                {
                    const double period = sampleRate / (45.0 * std::pow (40.0, (double) k1));
                    const float feedback = 0.96f * k2;
                    const float a = (float) (1.0 - std::exp (-2.0 * kPi * 300.0 * std::pow (40.0, 1.0 - (double) k3) / sampleRate));
                    const float r = resonatorLine[ch].read ((float) ((double) tonalIndex - period));
                    toneState[ch] = toneState[ch] + a * (r - toneState[ch]);
                    resonatorLine[ch].data[(size_t) tonalIndex] = feedback * toneState[ch] + (1.0f - feedback) * x;
                    e = toneState[ch];
                }
                else
                {
                    const float gain = (float) (0.5 + 0.5 * std::sin (angle));
                    e = ((1.0f - k2) + k2 * gain) * x;
                }

                block.setSample (ch, i, clampTwo (x + amount * (e - x)));
            }

            const double next = tonalPhase + f / sampleRate;
            tonalPhase = next - std::floor (next);
            tonalIndex = (tonalIndex + 1) % m;
        }
    }
};
} // namespace reference
} // namespace morsello
