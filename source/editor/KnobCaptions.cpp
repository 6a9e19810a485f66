#include "editor/KnobCaptions.h"

#include <juce_core/juce_core.h>

namespace morsello
{
// Bread kinds from "granular" on run the shared effect engine with its third control fixed, so
// their rows are the filling rows of the same kind without the third caption.
const std::array<BreadCaptions, 13> kBreadCaptions { {
    { "cut", "shape", "amount" },       // filter
    { "drive", "bias", "amount" },      // drive
    { "rate", "depth", "mix" },         // chorus
    { "time", "feedback", "mix" },      // echo
    { "grain", "motion", "amount" },    // granular
    { "space", "damping", "amount" },   // reverb
    { "time", "spread", "amount" },     // delay
    { "rate", "bits", "amount" },       // lo-fi
    { "size", "motion", "amount" },     // smear
    { "frequency", "shape", "amount" }, // ring mod
    { "folds", "symmetry", "amount" },  // wavefold
    { "pitch", "decay", "amount" },     // resonator
    { "rate", "depth", "amount" },      // orbit
} };

const std::array<FillingCaptions, 9> kFillingCaptions { {
    { "grain", "motion", "feedback", "amount" },  // granular
    { "space", "damping", "width", "amount" },    // reverb
    { "time", "spread", "feedback", "amount" },   // delay
    { "rate", "bits", "dust", "amount" },         // lo-fi
    { "size", "motion", "feedback", "amount" },   // smear
    { "frequency", "shape", "stereo", "amount" }, // ring mod
    { "folds", "symmetry", "tone", "amount" },    // wavefold
    { "pitch", "decay", "damping", "amount" },    // resonator
    { "rate", "depth", "stereo", "amount" },      // orbit
} };

const BreadCaptions& breadCaptionsFor (int breadTypeIndex) noexcept
{
    return kBreadCaptions[(size_t) juce::jlimit (0, (int) kBreadCaptions.size() - 1, breadTypeIndex)];
}

const FillingCaptions& fillingCaptionsFor (int fillingTypeIndex) noexcept
{
    return kFillingCaptions[(size_t) juce::jlimit (0, (int) kFillingCaptions.size() - 1, fillingTypeIndex)];
}
} // namespace morsello
