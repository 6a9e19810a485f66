#pragma once

#include <array>
#include <cstddef>

namespace morsello
{
// What the engine is told to do for one block: the sixteen setting values, in the same order as
// the host's parameter list. Plain data, so that any program (the plug-in, a console renderer, a
// test) can fill it.

// Positions in EngineSettings (and in the host's parameter list).
enum ParameterIndex
{
    breadTypeIndex = 0,
    breadModeIndex,
    fillingTypeIndex,
    left1Index,
    left2Index,
    left3Index,
    right1Index,
    right2Index,
    right3Index,
    fill1Index,
    fill2Index,
    fill3Index,
    fill4Index,
    toastIndex,
    biteIndex,
    outputIndex,
    numParameters
};

// The bread kinds, as the breadType value gives them (an index, held as a float).
enum BreadType
{
    filterBread = 0,
    driveBread,
    chorusBread,
    echoBread,
    firstEngineBread // kinds from here on run in the effect engine (see BreadLayer.h)
};

inline constexpr int kNumBreadTypes = 13;
inline constexpr int kNumFillingTypes = 9;

// How bread 2 takes its knobs (see breadTwoKnobs).
enum BreadMode
{
    linkMode = 0,
    mirrorMode,
    freeMode
};

inline constexpr int kNumBreadModes = 3;

// Every setting's raw value: kinds and the mode as their index, knobs 0..1, output in dB.
struct EngineSettings
{
    std::array<float, numParameters> values {};

    float operator[] (int index) const noexcept { return values[(std::size_t) index]; }
    float& operator[] (int index) noexcept { return values[(std::size_t) index]; }
};
} // namespace morsello
