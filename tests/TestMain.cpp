#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

// The framework's message manager and GUI subsystem must exist before a processor, its
// parameter tree or an editor is built.
int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);
    const juce::ScopedJuceInitialiser_GUI framework;
    return RUN_ALL_TESTS();
}
