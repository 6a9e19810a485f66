#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>

// The sixteen parameter IDs in the one order that the host's parameter list, the per-block
// snapshot and the randomiser share. A position in this table is also the host's index.
inline constexpr std::array<const char*, 16> kParameterIds {
    "breadType", "breadMode", "fillingType",
    "left1", "left2", "left3",
    "right1", "right2", "right3",
    "fill1", "fill2", "fill3", "fill4",
    "toast", "bite", "output"
};

// Positions in kParameterIds, for code that needs one entry by name rather than a walk.
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

static_assert (numParameters == (int) kParameterIds.size());

// The knob parameters: positions 3 to 14 of kParameterIds, all 0..1 in steps of 0.001.
inline constexpr int firstKnobIndex = left1Index;
inline constexpr int lastKnobIndex = biteIndex;

// Choice lists; a choice parameter's raw value is its index here, as a float.
extern const juce::StringArray kBreadTypeNames;
extern const juce::StringArray kFillingTypeNames;
extern const juce::StringArray kBreadModeNames;

enum BreadType
{
    filterBread = 0,
    driveBread,
    chorusBread,
    echoBread,
    firstEngineBread // kinds from here on run in the effect engine as EffectKind (type - 4)
};

enum BreadMode
{
    linkMode = 0,
    mirrorMode,
    freeMode
};

// Every parameter ID carries this version hint towards the host.
inline constexpr int kParameterVersionHint = 1;
