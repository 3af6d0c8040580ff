#pragma once
// The 128-entry level colour map: dark blue at index 0, through cyan, yellow
// and red, to dark red at 127. One index step is one decibel.
#include <array>
#include <cstdint>

namespace SonivarACQ32::colours {

constexpr int nb_levels = 128;

struct ColourMap {
    std::array<std::int32_t, nb_levels> red{};
    std::array<std::int32_t, nb_levels> green{};
    std::array<std::int32_t, nb_levels> blue{};
};

ColourMap colour_map();

} // namespace SonivarACQ32::colours
