#include "scene.h"

#include <cmath>

namespace sim {

namespace {
constexpr double two_pi = 6.283185307179586;
constexpr double nearest_m = 1e-3;  // a source on a microphone is heard as at 1 mm
} // namespace

double heard(const Position& mic, const PointSource& source, double t)
{
    const double d = std::fmax(distance(mic, source.at), nearest_m);
    return source.amplitude / d * std::sin(two_pi * source.frequency * (t - d / speed_of_sound_m_s));
}

double Calibrator::amplitude() const
{
    return reference_pressure_pa * std::pow(10.0, level_db / 20.0) * std::sqrt(2.0) * mems_counts_per_pascal;
}

PointSource moving_source(double t)
{
    const double angle = two_pi * t / scene_period_s;
    return {{scene_radius_m * std::cos(angle), scene_radius_m * std::sin(angle), scene_height_m},
            scene_tone_hz,
            scene_amplitude};
}

} // namespace sim
