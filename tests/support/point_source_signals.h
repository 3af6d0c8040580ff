#pragma once
// Signals of the array's microphones for a sine point source in free field:
// each microphone hears the source delayed by its distance over the speed
// of sound and weakened as 1 / distance, scaled so that the array's centre
// would hear `amplitude`. Interleaved frames, one float per microphone.
#include "map/beamformer.h"

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace testsupport {

struct PointSource {
    SonivarACQ32::acoustic_map::Position at;
    double frequency = 3150.0;
    double amplitude = 1000.0;
};

inline std::vector<float> point_source_frames(const PointSource& s,
                                              const std::vector<SonivarACQ32::acoustic_map::Position>& mics,
                                              double sample_rate, std::size_t frames,
                                              double noise = 0.0)
{
    using SonivarACQ32::acoustic_map::default_speed_of_sound;
    const auto c = SonivarACQ32::acoustic_map::array_centre(mics);
    const double r0 = std::hypot(s.at.x - c.x, s.at.y - c.y, s.at.z - c.z);
    std::vector<float> out(frames * mics.size());
    std::uint32_t lcg = 12345;  // reproducible hiss
    for (std::size_t m = 0; m < mics.size(); ++m) {
        const double r = std::hypot(s.at.x - mics[m].x, s.at.y - mics[m].y, s.at.z - mics[m].z);
        for (std::size_t t = 0; t < frames; ++t) {
            lcg = lcg * 1664525u + 1013904223u;
            const double hiss = noise * (static_cast<double>(lcg) / 4294967296.0 - 0.5);
            const double time = t / sample_rate - (r - r0) / default_speed_of_sound;
            out[t * mics.size() + m] = static_cast<float>(
                s.amplitude * r0 / r * std::sin(2.0 * std::numbers::pi * s.frequency * time) + hiss);
        }
    }
    return out;
}

} // namespace testsupport
