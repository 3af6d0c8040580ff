#pragma once
// Steering of the grid's points: how a point source at each point reaches
// each microphone, at each frequency of a band.
//
// A source at the point reaches microphone m at distance r_m as
// (r0 / r_m) exp(-j w (r_m - r0) / c) of what it gives at the array's
// centre, r0 away (spherical spreading). The weights are those values
// divided by the sum of the (r0 / r_m)^2, so that h^H C h gives the
// source's own power as received at the array's centre.
#include "spectra/band.h"
#include "map/geometry.h"
#include "map/grid.h"

#include <cstddef>
#include <vector>

namespace SonivarACQ32::acoustic_map {

constexpr double default_speed_of_sound = 343.0;  // m/s, air at 20 °C

struct SteeringWeight {
    double amplitude;
    double delay;  // s
};
// How a source at `point` reaches each microphone, relative to what it
// gives at the array's centre: (r0 / r_m, (r_m - r0) / c).
std::vector<SteeringWeight> propagation(const Position& point, const std::vector<Position>& mics,
                                        double speed_of_sound = default_speed_of_sound);
// The same divided by the sum of the (r0 / r_m)^2: the steering weights.
std::vector<SteeringWeight> steering(const Position& point, const std::vector<Position>& mics,
                                     double speed_of_sound = default_speed_of_sound);
Position array_centre(const std::vector<Position>& mics);

class Steering {
public:
    // Every point of `grid` (z from the array's centre) for `mics` at the
    // bins of `band`.
    void build(const Grid& grid, const std::vector<Position>& mics, double sample_rate, Bins band,
               double speed_of_sound = default_speed_of_sound);

    std::size_t points() const { return points_; }
    int microphones() const { return n_; }
    const Bins& bins() const { return bins_; }
    float amplitude(std::size_t point, int m) const { return steer_[point * n_ + m].amplitude; }
    // What a point source's own power is divided by once the diagonal of the
    // matrix is left out: 1 - sum |h|^4 / (sum |h|^2)^2.
    float diagonal_norm(std::size_t point) const { return diagonal_norm_[point]; }

    // The vectors of points first .. first + count - 1 at the band's first
    // bin, microphone after microphone: h_m(point first + q) at [m * count + q].
    void first_bin(std::size_t first, std::size_t count, float* re, float* im) const;
    // The same vectors moved one bin up (a phase step per microphone).
    void next_bin(std::size_t first, std::size_t count, float* re, float* im) const;

private:
    struct Steer {
        float amplitude;
        float first_re, first_im;  // phase factor at the band's first bin
        float step_re, step_im;    // and from bin to bin
    };
    std::vector<Steer> steer_;  // points x microphones
    std::vector<float> diagonal_norm_;
    std::size_t points_ = 0;
    int n_ = 0;
    Bins bins_;
};

} // namespace SonivarACQ32::acoustic_map
