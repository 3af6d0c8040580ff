#pragma once
// A map as a picture in the program's 128-colour map: the maximum in the top
// colour, `range_db` below it and lower in the bottom one; y upwards.
#include "map/beamformer.h"

#include <QImage>

#include <cmath>

namespace SonivarACQ32::acoustic_map {

constexpr int dynamic_ranges[] = {10, 20, 30};  // dB shown below the maximum

// Colour index 0 to 127 of a level, the top of the scale at `max_db`.
int colour_index(float level_db, float max_db, int range_db);

// One pixel per grid point, scaled by `pixels_per_point`; the top of the
// scale at `top_db` (levels above it in the top colour), or at the map's
// own maximum when it is NaN.
QImage map_image(const Map& map, int range_db, int pixels_per_point, float top_db = std::nanf(""));

} // namespace SonivarACQ32::acoustic_map
