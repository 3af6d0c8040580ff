#pragma once
// Conventional frequency-domain delay-and-sum beamforming of the array's
// signals on a plane grid parallel to the array.
//
// The signals are cut into blocks of 1024 frames with a Hann window and 50 %
// overlap; each block's spectra give one cross-spectral matrix per bin of the
// band, averaged over the blocks of a packet and, optionally, exponentially
// over packets. Each grid point is steered with spherical spreading and its
// exact distance to every microphone, so that a point source at that point
// shows its own power as received at the array's centre.
#include "map/band.h"
#include "map/geometry.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace SonivarACQ32::acoustic_map {

constexpr double speed_of_sound = 343.0;  // m/s, air at 20 °C
constexpr int max_grid_side = 401;        // points per side of the grid
constexpr int max_microphones = 64;       // microphones one map can take

// The plane at distance z from the array, x and y from -extent to +extent.
struct Grid {
    double extent = 1.0;  // m
    double step = 0.05;   // m
    double z = 1.0;       // m
    int side() const;     // points per side; 0 when the grid is not valid
    double coordinate(int i) const { return -extent + i * step; }
};

struct Settings {
    double frequency = 3150.0;  // Hz, centre of the band
    BandKind band = BandKind::third_octave;
    Grid grid;
    bool remove_diagonal = false;
    // Weight of the previous average when a packet's matrix joins it,
    // 0 to below 1; 0: each map from its own packet alone.
    double smoothing = 0.0;
};

struct Map {
    int side = 0;
    // Level of point (x_i, y_j) at level_db[j * side + i], dB re 1 unit^2.
    std::vector<float> level_db;
    double max_x = 0.0;
    double max_y = 0.0;
    float max_db = 0.0f;
    float min_db = 0.0f;
};

// Steering of one grid point: microphone m is weighted by
// amplitude_m x exp(-j w delay_m) at angular frequency w. A source at the
// point reaches microphone m at distance r_m as (r0 / r_m) exp(-j w (r_m - r0) / c)
// of what it gives at the array's centre, r0 away; the weights are those
// values divided by the sum of the (r0 / r_m)^2, so that the source's own
// power at the centre comes out of h^H C h.
struct SteeringWeight {
    double amplitude;
    double delay;  // s
};
std::vector<SteeringWeight> steering(const Position& point, const std::vector<Position>& mics);
Position array_centre(const std::vector<Position>& mics);

// Why these settings make no map at this sampling rate (French); empty when
// they do.
std::string settings_problem(const Settings& settings, double sample_rate);

class Beamformer {
public:
    Beamformer();
    ~Beamformer();
    Beamformer(const Beamformer&) = delete;
    Beamformer& operator=(const Beamformer&) = delete;

    // The microphones taking part, in the order of the channels of the
    // frames to come. Forgets every average. Returns why no map can be made
    // (French), or an empty string when the beamformer is ready.
    std::string configure(const std::vector<Position>& microphones, double sample_rate,
                          const Settings& settings);
    bool ready() const;

    // Adds the whole blocks of `count` interleaved frames, one float per
    // microphone each; returns the blocks added. Frames after the last whole
    // block are not kept.
    std::size_t add_frames(const float* frames, std::size_t count);

    // Folds the blocks added since the last map into the average and
    // computes the map; false when there is no block at all yet.
    bool compute(Map& out);

    const Bins& bins() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace SonivarACQ32::acoustic_map
