#include "spectra/band.h"

#include <algorithm>
#include <cmath>

namespace SonivarACQ32::acoustic_map {

Edges third_octave_edges(double centre_hz)
{
    const double half_band = std::pow(2.0, 1.0 / 6.0);
    return {centre_hz / half_band, centre_hz * half_band};
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

} // namespace SonivarACQ32::acoustic_map
