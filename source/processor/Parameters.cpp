#include "processor/Parameters.h"

namespace morsello
{
const juce::StringArray kBreadTypeNames { "filter", "drive", "chorus", "echo",
                                          "granular", "reverb", "delay", "lo-fi", "smear",
                                          "ring mod", "wavefold", "resonator", "orbit" };

const juce::StringArray kFillingTypeNames { "granular", "reverb", "delay", "lo-fi", "smear",
                                            "ring mod", "wavefold", "resonator", "orbit" };

const juce::StringArray kBreadModeNames { "link", "mirror", "free" };
} // namespace morsello
