#pragma once
// What the array hears: tones from point sources in free air. Each
// microphone hears a source delayed by its distance over the speed of sound
// and attenuated as 1/distance, relative to its amplitude at 1 m; the tone is
// computed at each sampling instant, so delays are exact (no interpolation).
#include "geometry.h"

#include <optional>

namespace sim {

constexpr double speed_of_sound_m_s = 343.0;

struct PointSource {
    Position at;
    double frequency = 0.0;  // Hz
    double amplitude = 0.0;  // at 1 m: counts (int32), or units x 2^31 (float32)
};

// The tone of `source` as heard at `mic` at time `t` (seconds since Start).
double heard(const Position& mic, const PointSource& source, double t);

// The default scene: a source circling slowly in a plane 1 m in front of
// the array, so that the demo shows a moving source.
constexpr double scene_tone_hz = 1700.0;
constexpr double scene_amplitude = 4194304.0;  // counts at 1 m
constexpr double scene_height_m = 1.0;
constexpr double scene_radius_m = 0.5;
constexpr double scene_period_s = 8.0;
PointSource moving_source(double t);

struct Scene {
    Geometry microphones = example_geometry();
    std::optional<PointSource> fixed;  // replaces the moving source

    PointSource source_at(double t) const { return fixed ? *fixed : moving_source(t); }
};

} // namespace sim
