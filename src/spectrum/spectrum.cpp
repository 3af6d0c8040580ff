#include "spectrum/spectrum.h"

#include "spectra/band.h"


#include <algorithm>
#include <cmath>

namespace SonivarACQ32::spectrum {

namespace {

// Hann window's spectrum, in bins from its centre, relative to its centre.
double hann_response(double offset)
{
    const double x = std::abs(offset);
    if (x < 1e-9)
        return 1.0;
    if (std::abs(x - 1.0) < 1e-9)
        return 0.5;
    const double pi_x = 3.14159265358979323846 * x;
    return std::abs(std::sin(pi_x) / pi_x / (1.0 - x * x));
}

} // namespace

std::vector<Line> narrow_band(const std::vector<double>& auto_spectra, int microphones, int microphone,
                              double sample_rate)
{
    const int bins = acoustic_map::nb_bins;
    std::vector<Line> lines;
    if (microphones < 1 || auto_spectra.size() < static_cast<std::size_t>(microphones) * bins ||
        microphone >= microphones)
        return lines;
    const int first = microphone < 0 ? 0 : microphone;
    const int last = microphone < 0 ? microphones - 1 : microphone;
    for (int k = 1; k < bins; ++k) {
        double sum = 0.0;
        for (int m = first; m <= last; ++m)
            sum += auto_spectra[static_cast<std::size_t>(m) * bins + k];
        lines.push_back({acoustic_map::bin_frequency(k, sample_rate), sum / (last - first + 1)});
    }
    return lines;
}

std::vector<Line> third_octave_bands(const std::vector<Line>& bins)
{
    std::vector<Line> bands;
    if (bins.size() < 2)
        return bands;
    // Line i is bin offset + i, its power spread evenly over half a bin
    // either side of its centre.
    const double spacing = bins[1].frequency - bins[0].frequency;
    const double nyquist = bins.back().frequency;
    if (!(spacing > 0.0))
        return bands;
    const int offset = static_cast<int>(std::lround(bins[0].frequency / spacing));
    const int last = offset + static_cast<int>(bins.size()) - 1;
    const int first = static_cast<int>(std::ceil(3.0 * std::log2(spacing / 1000.0)));
    for (int k = first; acoustic_map::third_octave_edges(acoustic_map::third_octave_exact(k)).upper <= nyquist; ++k) {
        const acoustic_map::BandShares shared = acoustic_map::band_shares(
            acoustic_map::third_octave_edges(acoustic_map::third_octave_exact(k)), spacing, last);
        double power = 0.0;
        for (int b = std::max(shared.bins.first, offset); b <= shared.bins.last; ++b)
            power += bins[static_cast<std::size_t>(b - offset)].power *
                     shared.shares[static_cast<std::size_t>(b - shared.bins.first)];
        bands.push_back({acoustic_map::third_octave_nominal(k), power});
    }
    return bands;
}

std::vector<double> levels_db(const std::vector<Line>& lines, stream::LevelUnit unit, bool a_weighted)
{
    std::vector<double> levels;
    levels.reserve(lines.size());
    for (const Line& line : lines)
        levels.push_back(stream::level_db(line.power, unit) + (a_weighted ? a_weighting_db(line.frequency) : 0.0));
    return levels;
}

Peak tone_peak(const std::vector<Line>& bins, stream::LevelUnit unit, bool a_weighted)
{
    const std::vector<double> levels = levels_db(bins, unit, a_weighted);
    if (bins.size() < 2)
        return peak_of(bins, levels);
    const auto top = static_cast<std::size_t>(std::max_element(levels.begin(), levels.end()) - levels.begin());
    // The tone lies towards the higher neighbour: with Hann blocks, the
    // ratio r of its amplitude to the top bin's puts it (2r - 1) / (r + 1)
    // of a bin away.
    const double below = top > 0 ? bins[top - 1].power : 0.0;
    const double above = top + 1 < bins.size() ? bins[top + 1].power : 0.0;
    const double side = above >= below ? 1.0 : -1.0;
    const double ratio = bins[top].power > 0.0 ? std::sqrt(std::max(above, below) / bins[top].power) : 0.0;
    const double offset = side * std::clamp((2.0 * ratio - 1.0) / (ratio + 1.0), 0.0, 0.5);
    // Its power: that of the five bins around it, over the share of the
    // window's whole response (1.5 for Hann, 1 at its centre) they hold.
    double total = 0.0, response = 0.0;
    for (int d = -2; d <= 2; ++d) {
        const auto k = static_cast<std::ptrdiff_t>(top) + d;
        if (k < 0 || k >= static_cast<std::ptrdiff_t>(bins.size()))
            continue;
        total += bins[static_cast<std::size_t>(k)].power;
        response += std::pow(hann_response(d - offset), 2.0);
    }
    const double spacing = bins[1].frequency - bins[0].frequency;
    const double frequency = bins[top].frequency + offset * spacing;
    const double power = response > 0.0 ? total * 1.5 / response : total;
    const double weight = a_weighted ? a_weighting_db(frequency) : 0.0;
    return {frequency, stream::level_db(power, unit) + weight};
}

Peak peak_of(const std::vector<Line>& lines, const std::vector<double>& levels)
{
    if (lines.empty() || levels.size() != lines.size())
        return {};
    const std::size_t top = static_cast<std::size_t>(std::max_element(levels.begin(), levels.end()) - levels.begin());
    return {lines[top].frequency, levels[top]};
}

} // namespace SonivarACQ32::spectrum
