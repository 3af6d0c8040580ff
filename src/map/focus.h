#pragma once
// Listening to one point: the array's signals delayed and summed in time
// so that what comes from that point adds up and the rest does not. Each
// microphone's signal is advanced by its extra path from the point (a
// fractional delay, third-order Lagrange interpolation between four
// samples) and weighted by its distance over the array centre's, so that
// the focused signal is the point's sound as heard at the array's centre,
// the map's level convention.
#include "map/steering.h"

#include <array>
#include <cstddef>
#include <vector>

namespace SonivarACQ32::acoustic_map {

class Focuser {
public:
    // The microphones in the order of the frames' channels.
    Focuser(const std::vector<Position>& microphones, const Position& point, double sample_rate,
            double speed_of_sound = default_speed_of_sound);

    // Adds `count` interleaved frames (one float per microphone) and appends
    // to `out` every focused sample they complete: over a whole stream, all
    // but the last lookahead() frames give a sample, in order.
    void add(const float* frames, std::size_t count, std::vector<float>& out);
    // Frames the focused signal looks ahead of its own time.
    std::size_t lookahead() const { return lookahead_; }

private:
    struct Tap {
        std::size_t offset;           // frames ahead of the output sample
        std::array<float, 4> weights; // interpolation times distance weight
    };
    std::vector<Tap> taps_;
    std::size_t lookahead_ = 0;
    std::vector<std::vector<float>> channels_;  // frames not yet used, per microphone
};

// Third-order Lagrange weights of the samples at -1, 0, 1 and 2 for the
// value at `mu` (0 to 1).
std::array<double, 4> lagrange_weights(double mu);

} // namespace SonivarACQ32::acoustic_map
