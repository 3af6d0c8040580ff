#pragma once
// The simulated camera's optics, as a camera's data sheet and its mounting
// give them: what the operator types into the map window to set it up, and
// what the simulated pictures are drawn with.
#include "geometry.h"

namespace sim::camera {

constexpr int width = 640;
constexpr int height = 480;
constexpr int frames_per_second = 25;
constexpr double horizontal_fov_deg = 60.0;
// Where the lens sits relative to the array's centre, in the array's plane
// (x to the right, y up, seen from the array): just below the microphones.
constexpr double offset_x_m = 0.0;
constexpr double offset_y_m = -0.06;

// The pixel (column, row from the top) where a point in front of the
// array is seen; the lens looks along the array's axis.
struct Pixel {
    double u = 0.0;
    double v = 0.0;
};
Pixel project(const Position& p);
// Pixels per metre at `depth_m` in front of the lens.
double pixels_per_metre(double depth_m);

} // namespace sim::camera
