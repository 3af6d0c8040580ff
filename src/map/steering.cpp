#include "map/steering.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace SonivarACQ32::acoustic_map {

Position array_centre(const std::vector<Position>& mics)
{
    Position centre;
    for (const Position& m : mics) {
        centre.x += m.x / mics.size();
        centre.y += m.y / mics.size();
        centre.z += m.z / mics.size();
    }
    return centre;
}

std::vector<SteeringWeight> propagation(const Position& point, const std::vector<Position>& mics,
                                        double speed_of_sound)
{
    const Position c = array_centre(mics);
    const double r0 = std::hypot(point.x - c.x, point.y - c.y, point.z - c.z);
    std::vector<SteeringWeight> paths(mics.size());
    for (std::size_t m = 0; m < mics.size(); ++m) {
        const double r = std::hypot(point.x - mics[m].x, point.y - mics[m].y, point.z - mics[m].z);
        paths[m] = {r0 / r, (r - r0) / speed_of_sound};
    }
    return paths;
}

std::vector<SteeringWeight> steering(const Position& point, const std::vector<Position>& mics,
                                     double speed_of_sound)
{
    std::vector<SteeringWeight> weights = propagation(point, mics, speed_of_sound);
    double gain = 0.0;
    for (const SteeringWeight& w : weights)
        gain += w.amplitude * w.amplitude;
    for (SteeringWeight& w : weights)
        w.amplitude /= gain;
    return weights;
}

int Grid::side() const
{
    if (!(extent > 0.0) || !(step > 0.0) || !std::isfinite(extent) || !std::isfinite(step))
        return 0;
    const double n = std::floor(2.0 * extent / step + 1e-9) + 1.0;
    return n <= max_grid_side ? static_cast<int>(n) : 0;
}

void Steering::build(const Grid& grid, const std::vector<Position>& mics, double sample_rate,
                     Bins band, double speed_of_sound)
{
    using cplx = std::complex<double>;
    const int side = grid.side();
    n_ = static_cast<int>(mics.size());
    bins_ = band;
    points_ = static_cast<std::size_t>(side) * side;
    const double omega_first = 2.0 * std::numbers::pi * bin_frequency(band.first, sample_rate);
    const double omega_step = 2.0 * std::numbers::pi * bin_frequency(1, sample_rate);
    const double plane_z = array_centre(mics).z + grid.z;
    steer_.resize(points_ * n_);
    diagonal_norm_.resize(points_);
    for (std::size_t p = 0; p < points_; ++p) {
        const Position point{grid.coordinate(static_cast<int>(p % side)),
                             grid.coordinate(static_cast<int>(p / side)), plane_z};
        const auto weights = steering(point, mics, speed_of_sound);
        double squares = 0.0, fourths = 0.0;  // of the amplitudes
        for (int m = 0; m < n_; ++m) {
            const double a2 = weights[m].amplitude * weights[m].amplitude;
            squares += a2;
            fourths += a2 * a2;
            const cplx first = std::polar(1.0, -omega_first * weights[m].delay);
            const cplx step = std::polar(1.0, -omega_step * weights[m].delay);
            steer_[p * n_ + m] = {static_cast<float>(weights[m].amplitude),
                                  static_cast<float>(first.real()), static_cast<float>(first.imag()),
                                  static_cast<float>(step.real()), static_cast<float>(step.imag())};
        }
        diagonal_norm_[p] = static_cast<float>(1.0 - fourths / (squares * squares));
    }
}

void Steering::first_bin(std::size_t first, std::size_t count, float* re, float* im) const
{
    for (std::size_t q = 0; q < count; ++q) {
        const Steer* s = steer_.data() + (first + q) * n_;
        for (int m = 0; m < n_; ++m) {
            re[m * count + q] = s[m].amplitude * s[m].first_re;
            im[m * count + q] = s[m].amplitude * s[m].first_im;
        }
    }
}

void Steering::next_bin(std::size_t first, std::size_t count, float* re, float* im) const
{
    for (std::size_t q = 0; q < count; ++q) {
        const Steer* s = steer_.data() + (first + q) * n_;
        for (int m = 0; m < n_; ++m) {
            const std::size_t e = m * count + q;
            const float r = re[e] * s[m].step_re - im[e] * s[m].step_im;
            im[e] = re[e] * s[m].step_im + im[e] * s[m].step_re;
            re[e] = r;
        }
    }
}

} // namespace SonivarACQ32::acoustic_map
