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

// The simulated microphones' sensitivity, that of a common digital MEMS
// microphone: a tone of 94 dB SPL (1 Pa rms) reads -26 dBFS, a sine of
// 10^(-26/20) of full scale (2^31 counts). So a sound of amplitude p pascal
// gives p x mems_counts_per_pascal counts, and a calibration factor of
// 1 / mems_counts_per_pascal pascal per count reads the sound's true level.
constexpr double reference_pressure_pa = 20e-6;
constexpr double mems_counts_per_pascal = 0.050118723362727 * 2147483648.0 / 1.4142135623730951;

// A sound calibrator over one microphone: that microphone hears its tone
// alone, at `level_db` SPL.
struct Calibrator {
    int mic = 0;
    double level_db = 94.0;
    double frequency = 1000.0;  // Hz
    double amplitude() const;   // counts
};

// The source jumps to `to` at `from_s` seconds after the Start: a change
// of the scene at a known instant of the stream.
struct SourceMove {
    double from_s = 0.0;
    Position to;
};

struct Scene {
    Geometry microphones = example_geometry();
    std::optional<PointSource> fixed;  // replaces the moving source
    std::optional<Calibrator> calibrator;
    std::optional<SourceMove> move;

    PointSource source_at(double t) const
    {
        PointSource s = fixed ? *fixed : moving_source(t);
        if (move && t >= move->from_s)
            s.at = move->to;
        return s;
    }
};

} // namespace sim
