#pragma once
// What the simulated camera films: a grey wall behind the scene, ruled every
// 10 cm at the source's depth so that a misplaced map shows, and the source
// itself as an orange disc (5 cm across) where the scene puts it, in the
// YUYV 4:2:2 layout webcams deliver.
#include "scene.h"

#include <cstdint>
#include <vector>

namespace sim::camera {

constexpr std::size_t frame_bytes = static_cast<std::size_t>(640) * 480 * 2;
constexpr double source_radius_m = 0.025;

// Writes the picture of the scene at time `t` (s since the Start) into
// `yuyv`, frame_bytes long.
void draw_scene(std::uint8_t* yuyv, const Scene& scene, double t);

// The orange of the source, as an RGB picture of the frame shows it.
struct Rgb {
    int r, g, b;
};
constexpr Rgb source_colour{255, 140, 0};

} // namespace sim::camera
