#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class MorselloAudioProcessor;

// The chef's choice randomiser behind the dice button.
namespace ChefsChoice
{
// Draws a random recipe from the processor's generator, sets it one gesture per parameter and
// shows "chef's choice" in the recipe box without applying a factory recipe.
void randomise (MorselloAudioProcessor& processor, juce::ComboBox& recipeBox);
} // namespace ChefsChoice
