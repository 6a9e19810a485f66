#pragma once

#include <array>

namespace morsello
{
// What each knob of a layer does depends on the layer's effect kind; these tables caption the
// knobs by kind. Rows follow kBreadTypeNames and kFillingTypeNames.
using BreadCaptions = std::array<const char*, 3>;
using FillingCaptions = std::array<const char*, 4>;

extern const std::array<BreadCaptions, 13> kBreadCaptions;
extern const std::array<FillingCaptions, 9> kFillingCaptions;

// Row look-ups for a menu's selected item index: no selection (-1) gives the first row and an
// index past the end the last, so a menu in any state has captions.
const BreadCaptions& breadCaptionsFor (int breadTypeIndex) noexcept;
const FillingCaptions& fillingCaptionsFor (int fillingTypeIndex) noexcept;
} // namespace morsello
