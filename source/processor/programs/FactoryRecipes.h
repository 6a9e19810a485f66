#pragma once

#include "dsp/EngineSettings.h"

#include <array>
#include <cstddef>

namespace morsello
{
// One built-in recipe: every parameter but the output gain.
struct FactoryRecipe
{
    const char* name;
    BreadType breadType;
    BreadMode breadMode;
    int fillingType;
    std::array<float, 3> left, right;
    std::array<float, 4> fill;
    float toast, bite;
};

inline constexpr int kNumFactoryRecipes = 16;

// The sixteen recipes in program order; the index is the host's program number.
extern const std::array<FactoryRecipe, kNumFactoryRecipes> kFactoryRecipes;

// A recipe's values as engine settings, with the given output gain. (The plug-in's parameters
// snap each knob to its 0.001 step, which can move a value by a rounding step.)
inline EngineSettings engineSettingsFor (const FactoryRecipe& recipe, float outputDecibels = 0.0f) noexcept
{
    EngineSettings settings;
    settings[ParameterIndex::breadType] = (float) toIndex (recipe.breadType);
    settings[ParameterIndex::breadMode] = (float) toIndex (recipe.breadMode);
    settings[ParameterIndex::fillingType] = (float) recipe.fillingType;

    for (int knob = 0; knob < 3; ++knob)
    {
        settings[ParameterIndex::left1 + knob] = recipe.left[(std::size_t) knob];
        settings[ParameterIndex::right1 + knob] = recipe.right[(std::size_t) knob];
    }

    for (int knob = 0; knob < 4; ++knob)
        settings[ParameterIndex::fill1 + knob] = recipe.fill[(std::size_t) knob];

    settings[ParameterIndex::toast] = recipe.toast;
    settings[ParameterIndex::bite] = recipe.bite;
    settings[ParameterIndex::output] = outputDecibels;
    return settings;
}
} // namespace morsello
