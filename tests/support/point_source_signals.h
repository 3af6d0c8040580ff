#pragma once
// Signals of the array's microphones for a sine point source in free field:
// each microphone hears the source delayed by its distance over the speed
// of sound and weakened as 1 / distance, scaled so that the array's centre
// would hear `amplitude`. Interleaved frames, one float per microphone.
#include "map/beamformer.h"

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <vector>

namespace testsupport {

struct PointSource {
    SonivarACQ32::acoustic_map::Position at;
    double frequency = 3150.0;
    double amplitude = 1000.0;
};

// How the source's sound at the array's centre reaches one microphone:
// spherical spreading and the extra path's delay.
struct Path {
    double gain;
    double delay;  // s
};

inline Path path(const SonivarACQ32::acoustic_map::Position& source, const SonivarACQ32::acoustic_map::Position& mic,
                 const SonivarACQ32::acoustic_map::Position& centre)
{
    const double r0 = std::hypot(source.x - centre.x, source.y - centre.y, source.z - centre.z);
    const double r = std::hypot(source.x - mic.x, source.y - mic.y, source.z - mic.z);
    return {r0 / r, (r - r0) / SonivarACQ32::acoustic_map::default_speed_of_sound};
}

inline std::vector<float> point_source_frames(const PointSource& s,
                                              const std::vector<SonivarACQ32::acoustic_map::Position>& mics,
                                              double sample_rate, std::size_t frames,
                                              double noise = 0.0)
{
    const auto centre = SonivarACQ32::acoustic_map::array_centre(mics);
    std::vector<float> out(frames * mics.size());
    std::uint32_t lcg = 12345;  // reproducible hiss
    for (std::size_t m = 0; m < mics.size(); ++m) {
        const Path to = path(s.at, mics[m], centre);
        for (std::size_t t = 0; t < frames; ++t) {
            lcg = lcg * 1664525u + 1013904223u;
            const double hiss = noise * (static_cast<double>(lcg) / 4294967296.0 - 0.5);
            const double time = t / sample_rate - to.delay;
            out[t * mics.size() + m] = static_cast<float>(
                s.amplitude * to.gain * std::sin(2.0 * std::numbers::pi * s.frequency * time) + hiss);
        }
    }
    return out;
}

// An incoherent point source of a known cross-spectral matrix.
struct SceneSource {
    SonivarACQ32::acoustic_map::Position at;
    double power;  // at the array's centre, per bin
};

// The cross-spectral matrix of incoherent point sources at one frequency
// (n x n, column after column): the sum of P a a^H, a the sources' paths,
// plus each microphone's own noise on the diagonal.
inline std::vector<std::complex<double>> scene_matrix(const std::vector<SceneSource>& sources,
                                                      const std::vector<SonivarACQ32::acoustic_map::Position>& mics,
                                                      double frequency, double noise_power)
{
    const auto centre = SonivarACQ32::acoustic_map::array_centre(mics);
    const std::size_t n = mics.size();
    std::vector<std::complex<double>> c(n * n);
    for (const SceneSource& s : sources) {
        std::vector<std::complex<double>> a(n);
        for (std::size_t m = 0; m < n; ++m) {
            const Path to = path(s.at, mics[m], centre);
            a[m] = std::polar(to.gain, -2.0 * std::numbers::pi * frequency * to.delay);
        }
        for (std::size_t j = 0; j < n; ++j)
            for (std::size_t i = 0; i < n; ++i)
                c[j * n + i] += s.power * a[i] * std::conj(a[j]);
    }
    for (std::size_t m = 0; m < n; ++m)
        c[m * n + m] += noise_power;
    return c;
}

} // namespace testsupport
