#include "spectrum/spectrum.h"

#include "spectra/band.h"

#include <algorithm>
#include <cmath>

namespace SonivarACQ32::spectrum {

namespace {

// Nominal centres of the base-2 third-octaves 1000 x 2^(k/3), k = -16 to 14.
constexpr int first_band = -16;
constexpr double nominal_centres[] = {25,   31.5, 40,   50,   63,   80,    100,   125,   160,   200,  250,
                                      315,  400,  500,  630,  800,  1000,  1250,  1600,  2000,  2500, 3150,
                                      4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000, 25000};
constexpr int band_count = static_cast<int>(std::size(nominal_centres));

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
    std::vector<double> power(band_count, 0.0);
    std::vector<bool> held(band_count, false);
    for (const Line& bin : bins) {
        if (!(bin.frequency > 0.0))
            continue;
        // The band whose edges, c / 2^(1/6) to c x 2^(1/6), hold the bin.
        const int k = static_cast<int>(std::lround(3.0 * std::log2(bin.frequency / 1000.0))) - first_band;
        if (k < 0 || k >= band_count)
            continue;
        power[k] += bin.power;
        held[k] = true;
    }
    std::vector<Line> bands;
    for (int k = 0; k < band_count; ++k)
        if (held[k])
            bands.push_back({nominal_centres[k], power[k]});
    return bands;
}

double a_weighting_db(double f)
{
    const double f2 = f * f;
    const double ra = 12194.0 * 12194.0 * f2 * f2 /
                      ((f2 + 20.6 * 20.6) * std::sqrt((f2 + 107.7 * 107.7) * (f2 + 737.9 * 737.9)) *
                       (f2 + 12194.0 * 12194.0));
    return 20.0 * std::log10(std::max(ra, 1e-30)) + 2.0;
}

std::vector<double> levels_db(const std::vector<Line>& lines, stream::LevelUnit unit, bool a_weighted)
{
    std::vector<double> levels;
    levels.reserve(lines.size());
    for (const Line& line : lines)
        levels.push_back(stream::level_db(line.power, unit) + (a_weighted ? a_weighting_db(line.frequency) : 0.0));
    return levels;
}

std::string unit_label(stream::LevelUnit unit, bool a_weighted)
{
    if (!a_weighted)
        return stream::unit_text(unit);
    return unit == stream::LevelUnit::db_spl ? "dB(A)" : std::string(stream::unit_text(unit)) + "(A)";
}

Peak peak_of(const std::vector<Line>& lines, const std::vector<double>& levels)
{
    if (lines.empty() || levels.size() != lines.size())
        return {};
    const std::size_t top = static_cast<std::size_t>(std::max_element(levels.begin(), levels.end()) - levels.begin());
    return {lines[top].frequency, levels[top]};
}

} // namespace SonivarACQ32::spectrum
