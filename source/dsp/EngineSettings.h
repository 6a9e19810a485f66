#pragma once

#include <array>
#include <cstddef>

namespace morsello
{
// What the engine is told to do for one block: the sixteen setting values, in the same order as
// the host's parameter list. Plain data, so that any program (the plug-in, a console renderer, a
// test) can fill it.

// Positions in EngineSettings (and in the host's parameter list).
enum class ParameterIndex
{
    breadType = 0,
    breadMode,
    fillingType,
    left1,
    left2,
    left3,
    right1,
    right2,
    right3,
    fill1,
    fill2,
    fill3,
    fill4,
    toast,
    bite,
    output
};

inline constexpr int kNumParameters = 16;

// A position as the array index it stands for.
constexpr int toIndex (ParameterIndex index) noexcept { return static_cast<int> (index); }

// The position `offset` places after `first`: the knob rows (left1 + 2 is left3).
constexpr ParameterIndex operator+ (ParameterIndex first, int offset) noexcept
{
    return static_cast<ParameterIndex> (toIndex (first) + offset);
}

// The bread kinds, as the breadType value gives them (an index, held as a float).
enum class BreadType
{
    filter = 0,
    drive,
    chorus,
    echo,
    firstEngine // kinds from here on run in the effect engine (see BreadLayer.h)
};

constexpr int toIndex (BreadType kind) noexcept { return static_cast<int> (kind); }

inline constexpr int kNumBreadTypes = 13;
inline constexpr int kNumFillingTypes = 9;

// How bread 2 takes its knobs (see breadTwoKnobs).
enum class BreadMode
{
    link = 0,
    mirror,
    free
};

constexpr int toIndex (BreadMode mode) noexcept { return static_cast<int> (mode); }

inline constexpr int kNumBreadModes = 3;

// Every setting's raw value: kinds and the mode as their index, knobs 0..1, output in dB.
struct EngineSettings
{
    std::array<float, kNumParameters> values {};

    float operator[] (ParameterIndex index) const noexcept { return values[(std::size_t) toIndex (index)]; }
    float& operator[] (ParameterIndex index) noexcept { return values[(std::size_t) toIndex (index)]; }
    float operator[] (int index) const noexcept { return values[(std::size_t) index]; }
    float& operator[] (int index) noexcept { return values[(std::size_t) index]; }
};
} // namespace morsello
