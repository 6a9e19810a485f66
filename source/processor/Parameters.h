#pragma once

#include "dsp/EngineSettings.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>

namespace morsello
{
// The sixteen parameter IDs in the one order that the host's parameter list, the engine's
// settings and the randomiser share. A position in this table is also the host's index
// (ParameterIndex names the positions).
inline constexpr std::array<const char*, 16> kParameterIds {
    "breadType", "breadMode", "fillingType",
    "left1", "left2", "left3",
    "right1", "right2", "right3",
    "fill1", "fill2", "fill3", "fill4",
    "toast", "bite", "output"
};

static_assert (kNumParameters == (int) kParameterIds.size());

// The ID of the parameter at a position.
constexpr const char* parameterId (ParameterIndex index) noexcept { return kParameterIds[(std::size_t) toIndex (index)]; }

// The knob parameters: positions 3 to 14 of kParameterIds, all 0..1 in steps of 0.001.
inline constexpr int firstKnobIndex = toIndex (ParameterIndex::left1);
inline constexpr int lastKnobIndex = toIndex (ParameterIndex::bite);

// Choice lists; a choice parameter's raw value is its index here, as a float. Their lengths are
// the engine's kNumBreadTypes, kNumFillingTypes and kNumBreadModes.
extern const juce::StringArray kBreadTypeNames;
extern const juce::StringArray kFillingTypeNames;
extern const juce::StringArray kBreadModeNames;

// Every parameter ID carries this version hint towards the host.
inline constexpr int kParameterVersionHint = 1;
} // namespace morsello
