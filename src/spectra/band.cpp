#include "spectra/band.h"

#include <algorithm>
#include <cmath>

namespace SonivarACQ32::acoustic_map {

Edges third_octave_edges(double centre_hz)
{
    const double half_band = std::pow(2.0, 1.0 / 6.0);
    return {centre_hz / half_band, centre_hz * half_band};
}

double third_octave_exact(int k) { return 1000.0 * std::pow(2.0, k / 3.0); }

double third_octave_nominal(int k)
{
    constexpr double mantissas[] = {1.0, 1.25, 1.6, 2.0, 2.5, 3.15, 4.0, 5.0, 6.3, 8.0};
    const int decade = static_cast<int>(std::floor(k / 10.0));
    return mantissas[k - 10 * decade] * std::pow(10.0, 3 + decade);
}

int third_octave_index(double nominal_hz) { return static_cast<int>(std::lround(3.0 * std::log2(nominal_hz / 1000.0))); }

BandShares band_shares(const Edges& e, double width, int last)
{
    BandShares out;
    if (!(width > 0.0) || !(e.upper > e.lower))
        return out;
    const int first = std::max(1, static_cast<int>(std::floor(e.lower / width + 0.5)));
    const int end = std::min(last, static_cast<int>(std::ceil(e.upper / width - 0.5)));
    for (int k = first; k <= end; ++k) {
        const double centre = k * width;
        const double overlap = std::min(e.upper, centre + width / 2) - std::max(e.lower, centre - width / 2);
        out.shares.push_back(std::max(0.0, overlap) / width);
    }
    out.bins = {first, first + static_cast<int>(out.shares.size()) - 1};
    return out;
}

double bin_frequency(int bin, double sample_rate)
{
    return bin * sample_rate / block_frames;
}

Bins band_bins(double centre_hz, double sample_rate, BandKind kind)
{
    if (!(centre_hz > 0.0) || !(sample_rate > 0.0))
        return {};
    const double df = sample_rate / block_frames;
    const int nyquist = nb_bins - 1;
    const int nearest = static_cast<int>(std::lround(centre_hz / df));
    if (nearest > nyquist)
        return {};
    Bins bins{std::max(1, nearest), std::max(1, nearest)};
    if (kind == BandKind::third_octave) {
        const Edges edges = third_octave_edges(centre_hz);
        const int first = std::max(1, static_cast<int>(std::ceil(edges.lower / df)));
        const int last = std::min(nyquist, static_cast<int>(std::floor(edges.upper / df)));
        if (first <= last)
            bins = {first, last};
    }
    return bins;
}

Bins broadband_bins(double lower, double upper, double sample_rate)
{
    if (!(sample_rate > 0.0) || !(lower >= 0.0) || !(upper >= lower))
        return {};
    const double df = sample_rate / block_frames;
    return {std::max(1, static_cast<int>(std::ceil(lower / df))),
            std::min(nb_bins - 1, static_cast<int>(std::floor(upper / df)))};
}

double a_weighting_db(double f)
{
    const double f2 = f * f;
    const double ra = 12194.0 * 12194.0 * f2 * f2 /
                      ((f2 + 20.6 * 20.6) * std::sqrt((f2 + 107.7 * 107.7) * (f2 + 737.9 * 737.9)) *
                       (f2 + 12194.0 * 12194.0));
    return 20.0 * std::log10(std::max(ra, 1e-30)) + 2.0;
}

std::vector<double> a_weights(const Bins& bins, double sample_rate)
{
    std::vector<double> weights;
    for (int k = bins.first; k <= bins.last; ++k)
        weights.push_back(std::pow(10.0, a_weighting_db(bin_frequency(k, sample_rate)) / 10.0));
    return weights;
}

} // namespace SonivarACQ32::acoustic_map
