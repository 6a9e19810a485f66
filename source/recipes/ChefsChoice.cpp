#include "recipes/ChefsChoice.h"

#include "processor/PluginProcessor.h"

namespace morsello
{
int ChefsChoice::uniformInteger (std::mt19937& engine, int lowest, int highest)
{
    jassert (lowest <= highest);
    const auto n = static_cast<std::uint32_t> (static_cast<std::int64_t> (highest) - lowest) + 1u;
    return static_cast<int> (static_cast<std::int64_t> (lowest) + drawBelow (engine, n));
}

float ChefsChoice::knobValue (std::uint32_t output) noexcept
{
    const auto fraction = static_cast<float> (output >> 8) * 0x1.0p-24f; // exact: 24 bits
    return fraction * knobWidth + knobLowest;
}

juce::String ChefsChoice::randomise (MorselloAudioProcessor& processor)
{
    auto& engine = processor.getRandomGenerator();

    auto setChoice = [&] (ParameterIndex index, const juce::StringArray& names)
    {
        processor.setParameterValue (parameterId (index),
                                     static_cast<float> (uniformInteger (engine, 0, names.size() - 1)));
    };

    // Each value is drawn just before it is set, and the filling is drawn before the mode, so a
    // given generator state always yields the same recipe.
    setChoice (ParameterIndex::breadType, kBreadTypeNames);
    setChoice (ParameterIndex::fillingType, kFillingTypeNames);
    setChoice (ParameterIndex::breadMode, kBreadModeNames);

    // The parameter snaps each value to its 0.001 step, so the stored knobs run from 0.12 to 0.88.
    for (int index = firstKnobIndex; index <= lastKnobIndex; ++index)
        processor.setParameterValue (kParameterIds[(size_t) index], knobValue (static_cast<std::uint32_t> (engine())));

    return "chef's choice";
}
} // namespace morsello
