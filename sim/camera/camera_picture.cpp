#include "camera/camera_picture.h"

#include "camera/camera_optics.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sim::camera {

namespace {

static_assert(frame_bytes == static_cast<std::size_t>(width) * height * 2);

struct Yuv {
    std::uint8_t y, u, v;
};

Yuv yuv_of(Rgb c)
{
    const auto clamp = [](double x) { return static_cast<std::uint8_t>(std::clamp(std::lround(x), 0L, 255L)); };
    return {clamp(0.299 * c.r + 0.587 * c.g + 0.114 * c.b),
            clamp(128.0 - 0.168736 * c.r - 0.331264 * c.g + 0.5 * c.b),
            clamp(128.0 + 0.5 * c.r - 0.418688 * c.g - 0.081312 * c.b)};
}

void put(std::uint8_t* yuyv, int u, int v, Yuv c)
{
    std::uint8_t* pair = yuyv + (static_cast<std::size_t>(v) * width + (u & ~1)) * 2;
    pair[(u & 1) * 2] = c.y;
    pair[1] = c.u;
    pair[3] = c.v;
}

// Within a pixel of a multiple of 10 cm.
bool on_rule(double m, double pixels_per_m) { return std::fabs(m - std::round(m * 10.0) / 10.0) * pixels_per_m < 0.6; }

// The wall: a soft vertical gradient, ruled every 10 cm at `depth_m`.
void draw_wall(std::uint8_t* yuyv, double depth_m)
{
    const double ppm = pixels_per_metre(depth_m);
    const Pixel origin = project({0.0, 0.0, depth_m});
    for (int v = 0; v < height; ++v) {
        const double y_m = (origin.v - v) / ppm;
        const bool row_line = on_rule(y_m, ppm);
        for (int u = 0; u < width; ++u) {
            const double x_m = (u - origin.u) / ppm;
            const bool col_line = on_rule(x_m, ppm);
            const int grey = 90 + 50 * v / height;
            const int shade = (row_line || col_line) ? grey + 45 : grey;
            put(yuyv, u, v, yuv_of({shade, shade, shade}));
        }
    }
}

void draw_disc(std::uint8_t* yuyv, Pixel centre, double radius_px)
{
    const Yuv fill = yuv_of(source_colour);
    const Yuv edge = yuv_of({30, 30, 30});
    const double outer = radius_px + 2.0;
    for (int v = std::max(0, static_cast<int>(centre.v - outer)); v <= std::min(height - 1, static_cast<int>(centre.v + outer)); ++v)
        for (int u = std::max(0, static_cast<int>(centre.u - outer)); u <= std::min(width - 1, static_cast<int>(centre.u + outer)); ++u) {
            const double d = std::hypot(u + 0.5 - centre.u, v + 0.5 - centre.v);
            if (d <= radius_px)
                put(yuyv, u, v, fill);
            else if (d <= outer)
                put(yuyv, u, v, edge);
        }
}

} // namespace

void draw_scene(std::uint8_t* yuyv, const Scene& scene, double t)
{
    const PointSource source = scene.source_at(t);
    const double depth = source.at.z > 0.05 ? source.at.z : scene_height_m;
    // The wall is the same at a given depth: drawn once, copied after.
    static thread_local std::vector<std::uint8_t> wall;
    static thread_local double wall_depth = -1.0;
    if (wall_depth != depth) {
        wall.assign(frame_bytes, 0);
        draw_wall(wall.data(), depth);
        wall_depth = depth;
    }
    std::memcpy(yuyv, wall.data(), frame_bytes);
    if (source.at.z > 0.05)
        draw_disc(yuyv, project(source.at), source_radius_m * pixels_per_metre(source.at.z));
}

} // namespace sim::camera
