#pragma once

// The high quality mode's shared pieces: the setting, how far each nonlinearity is oversampled,
// and an oversampled stage with the delayed dry side of its layer's mix (the triangle fold and
// its antiderivative: TriangleFold.h).

#include "dsp/Oversampler.h"
#include "dsp/TriangleFold.h"

#include <cstddef>

namespace morsello
{
// How the nonlinear stages run. "standard" is the sound every recipe was voiced with, sample for
// sample; "high" runs the drive, the wavefold, the ring mod's carrier and the toast oversampled
// (the wavefold and the drive also averaged over each step through their antiderivatives), so
// that their harmonics above the Nyquist frequency no longer fold back into the band, at the
// cost of CPU and a fixed latency.
enum class Quality
{
    standard = 0,
    high
};

// Doublings per nonlinearity in "high", chosen with morsello_alias (docs/performance.md): the
// toast's gentle tanh needs 4x; the drive's steep one (gain up to 19, nearly a square wave) 4x
// with its mean over each step (log cosh's difference quotient; at 2x its 9 kHz aliases stay
// 0.5 dB short); the ring mod's product of two band-limited signals 2x; the fold's corners,
// whose harmonics never end, 8x with the fold averaged twice (at 4x the averages, which see
// the arguments as straight lines between samples, take a 9 kHz tone of many folds 1.3 dB
// down).
namespace oversampling
{
    inline constexpr int kDriveStages = 2;
    inline constexpr int kWavefoldStages = 3;
    // The fold's second average lags its arguments by one top-rate sample.
    inline constexpr int kWavefoldDelay = 1;
    inline constexpr int kRingModStages = 1;
    inline constexpr int kToastStages = 2;
} // namespace oversampling

// One nonlinearity's oversampler for a layer's two channels, and the layer's input delayed by
// its latency, for the layer's own dry/wet mix.
struct OversampledStage
{
    Oversampler oversampler;
    LatencyDelay dry;

    void prepare (int stages, int numChannels, int workDelay = 0)
    {
        oversampler.prepare (stages, numChannels, workDelay);
        dry.prepare (oversampler.getLatency(), numChannels);
    }

    void reset() noexcept
    {
        oversampler.reset();
        dry.reset();
    }

    int getLatency() const noexcept { return oversampler.getLatency(); }
    std::size_t getAllocatedBytes() const noexcept { return oversampler.getAllocatedBytes() + dry.getAllocatedBytes(); }

    // The same n base samples that went up, as they were the latency earlier: the dry side of a
    // mix with what comes down. Call once per chunk and channel, like up().
    void delayDry (int channel, const float* input, int n, float* output) noexcept
    {
        dry.write (channel, input, n);
        dry.read (channel, output, n, getLatency());
    }
};

} // namespace morsello
