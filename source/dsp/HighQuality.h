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
// (the wavefold also through its antiderivative), so that their harmonics above the Nyquist
// frequency no longer fold back into the band, at the cost of CPU and a fixed latency.
enum class Quality
{
    standard = 0,
    high
};

// Doublings per nonlinearity in "high", chosen with morsello_alias (docs/performance.md): the
// toast's gentle tanh needs 4x; the drive's steep one (gain up to 19, nearly a square wave) 8x;
// the ring mod's product of two band-limited signals 2x; the fold's corners, whose harmonics
// never end, the antiderivative and 16x together.
namespace oversampling
{
    inline constexpr int kDriveStages = 3;
    inline constexpr int kWavefoldStages = 4;
    inline constexpr int kRingModStages = 1;
    inline constexpr int kToastStages = 2;
} // namespace oversampling

// One nonlinearity's oversampler for a layer's two channels; it also delays the layer's input
// by its latency, for the layer's own dry/wet mix.
struct OversampledStage
{
    Oversampler oversampler;

    void prepare (int stages, int numChannels) { oversampler.prepare (stages, numChannels); }
    void reset() noexcept { oversampler.reset(); }
    int getLatency() const noexcept { return oversampler.getLatency(); }
    std::size_t getAllocatedBytes() const noexcept { return oversampler.getAllocatedBytes(); }
};

} // namespace morsello
