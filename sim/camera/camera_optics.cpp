#include "camera/camera_optics.h"

#include <cmath>

namespace sim::camera {

namespace {
constexpr double pi = 3.141592653589793;
double focal_pixels() { return (width / 2.0) / std::tan(horizontal_fov_deg * pi / 360.0); }
} // namespace

Pixel project(const Position& p)
{
    const double f = focal_pixels() / p.z;
    return {width / 2.0 + f * (p.x - offset_x_m), height / 2.0 - f * (p.y - offset_y_m)};
}

double pixels_per_metre(double depth_m) { return focal_pixels() / depth_m; }

} // namespace sim::camera
