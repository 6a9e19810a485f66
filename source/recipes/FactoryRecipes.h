#pragma once

#include <array>

// One built-in recipe: every parameter but the output gain.
struct FactoryRecipe
{
    const char* name;
    int breadType, breadMode, fillingType;
    std::array<float, 3> left, right;
    std::array<float, 4> fill;
    float toast, bite;
};

inline constexpr int kNumFactoryRecipes = 16;

// The sixteen recipes in program order; the index is the host's program number.
extern const std::array<FactoryRecipe, kNumFactoryRecipes> kFactoryRecipes;
