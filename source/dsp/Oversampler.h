#pragma once

#include "dsp/ChunkFrames.h"

#include <array>
#include <cstddef>
#include <vector>

namespace morsello
{
// A linear-phase oversampler by 2, 4 or 8 for the high quality mode: a nonlinearity run at the
// higher rate makes its harmonics there, and the way down removes what lies above the base
// rate's Nyquist frequency before it can fold back as inharmonic tones.
//
// Each doubling is a stage of windowed-sinc filters (Kaiser window). The stage next to the base
// rate does the real work: on the way down it passes up to 0.4 of the base rate (19.2 kHz at
// 48 kHz) and stops everything from the base rate's Nyquist frequency on, so that no alias lands
// anywhere in the band, not even near its top; on the way up it is a half-band filter that keeps
// the input's images (above 0.6 of the base rate) out of the nonlinearity. The stages above it
// only need to keep the base band clear of their own images and folds, which their wide
// transitions allow with a few taps. Every filter is symmetric, so the whole path delays by a
// whole number of base-rate samples (getLatency()), padded at the top rate where the filters
// alone would leave a fraction.
//
// The edges are fractions of the rate, so the taps, and the latency in samples, are the same at
// every rate. Work runs in chunks of up to kChunkLength base samples, a channel at a time;
// nothing allocates after prepare().
class Oversampler
{
public:
    static constexpr int kMaxStages = 4;
    static constexpr int kMaxFactor = 1 << kMaxStages;

    // stages: 1 to kMaxStages (factor 2 to 16). Designs the filters and allocates, in one block,
    // their memories for numChannels. workDelay: the whole top-rate samples by which the work
    // between up() and down() delays, which the latency then includes (the padding shrinks by
    // as much).
    void prepare (int stages, int numChannels, int workDelay = 0);

    // Clears every filter's memory (as after prepare).
    void reset() noexcept;

    int getFactor() const noexcept { return 1 << stages; }
    int getNumChannels() const noexcept { return (int) channels.size(); }

    // The delay of up followed by down, in base-rate samples.
    int getLatency() const noexcept { return latency; }

    // n base samples (n <= kChunkLength) of one channel to n * getFactor() samples at the top rate.
    void up (int channel, const float* input, int n, float* output) noexcept;

    // n * getFactor() samples at the top rate back to n base samples of one channel.
    void down (int channel, const float* input, int n, float* output) noexcept;

    // The bytes of the block prepare() allocated (taps, memories, scratch).
    std::size_t getAllocatedBytes() const noexcept { return storage.size() * sizeof (float); }

private:
    // One filter in polyphase form, in `storage`: for each output phase, the taps that are not
    // zero (in the order they meet the input), and where they start in the filter's input window.
    struct Phase
    {
        int taps = 0, count = 0, offset = 0;
    };

    struct StageFilters
    {
        std::array<Phase, 2> upPhases, downPhases; // up: per output parity; down: even, odd inputs
        int upHistory = 0, downHistory = 0;        // input samples kept from chunk to chunk
    };

    // One channel's memories in `storage`: per stage, the windows of past input before the new
    // chunk (the way down's parted into even and odd places), and the top rate's padding window.
    struct ChannelState
    {
        std::array<int, kMaxStages> upWindow {}, downEven {}, downOdd {};
        int padWindow = 0;
    };

    float* at (int offset) noexcept { return storage.data() + offset; }

    int stages = 1, latency = 0, padding = 0;
    std::array<StageFilters, kMaxStages> filters;
    std::vector<ChannelState> channels;
    // Scratch for a chunk at the rates in between and the up stage's two phases' outputs.
    int between = 0, even = 0, odd = 0;
    std::vector<float> storage;
};

// One base-rate delay line per channel, for the dry side of a mix whose wet side went through an
// oversampler (or a chain of them), so that both line up.
class LatencyDelay
{
public:
    // Allocates the channels' lines in one block.
    void prepare (int maximumDelay, int numChannels);

    // Every line's past set to 0.
    void reset() noexcept;

    int getNumChannels() const noexcept { return (int) writeIndex.size(); }
    std::size_t getAllocatedBytes() const noexcept { return storage.size() * sizeof (float); }

    // Appends n <= kChunkLength samples to one channel's line (each channel keeps its own
    // write position).
    void write (int channel, const float* input, int n) noexcept;

    // The last n samples written to the channel as they were `delay` samples earlier
    // (delay <= the prepared maximum).
    void read (int channel, float* output, int n, int delay) const noexcept;

    // write, then read back in place.
    void process (int channel, float* samples, int n, int delay) noexcept;

private:
    std::vector<float> storage; // the lines one after the other
    std::vector<int> writeIndex;
    int length = 1;
};
} // namespace morsello
