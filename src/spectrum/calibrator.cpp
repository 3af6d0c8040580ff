#include "spectrum/calibrator.h"

#include "spectra/band.h"
#include "stream/levels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace SonivarACQ32::spectrum {

std::vector<double> band_power_counts(const std::vector<double>& auto_spectra, int channels, double sample_rate,
                                      double frequency, const std::vector<double>& per_count)
{
    const int bins = acoustic_map::nb_bins;
    const acoustic_map::Bins band = acoustic_map::band_bins(frequency, sample_rate, acoustic_map::BandKind::third_octave);
    std::vector<double> power(static_cast<std::size_t>(std::max(channels, 0)), 0.0);
    if (auto_spectra.size() < power.size() * bins || per_count.size() < power.size() || band.empty())
        return power;
    for (std::size_t c = 0; c < power.size(); ++c) {
        for (int k = band.first; k <= band.last; ++k)
            power[c] += auto_spectra[c * bins + k];
        power[c] /= per_count[c] * per_count[c];
    }
    return power;
}

CalibratorReading read_calibrator(const std::vector<double>& power_counts, const std::vector<int>& micros,
                                  double level_db)
{
    CalibratorReading reading;
    if (power_counts.empty() || power_counts.size() != micros.size()) {
        reading.why = "Pas de données de la dernière seconde : lancez une acquisition";
        return reading;
    }
    std::vector<std::size_t> order(power_counts.size());
    for (std::size_t c = 0; c < order.size(); ++c)
        order[c] = c;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return power_counts[a] > power_counts[b]; });
    const double top = power_counts[order[0]];
    const double second = order.size() > 1 ? power_counts[order[1]] : 0.0;
    if (!(top > 0.0) || (second > 0.0 && 10.0 * std::log10(top / second) < calibrator_margin_db)) {
        char why[160];
        std::snprintf(why, sizeof why,
                      "Aucun micro ne se détache de %.0f dB des autres à cette fréquence : rien n'est changé",
                      calibrator_margin_db);
        reading.why = why;
        return reading;
    }
    const double pressure_rms = stream::reference_pressure * std::pow(10.0, level_db / 20.0);
    reading.microphone = micros[order[0]];
    reading.factor = pressure_rms / std::sqrt(top);
    return reading;
}

std::optional<stream::Calibration> complete_calibration(const Measured& measured,
                                                        const std::optional<stream::Calibration>& in_use)
{
    double sum = 0.0;
    int count = 0;
    for (const auto& factor : measured)
        if (factor) {
            sum += *factor;
            ++count;
        }
    if (count == 0)
        return std::nullopt;
    stream::Calibration out;
    for (std::size_t m = 0; m < measured.size(); ++m)
        out.factor[m] = measured[m] ? *measured[m] : in_use ? in_use->factor[m] : static_cast<float>(sum / count);
    return out;
}

} // namespace SonivarACQ32::spectrum
