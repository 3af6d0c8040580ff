#include "map/zone_spectrum.h"

#include "stream/french_text.h"

#include <algorithm>
#include <complex>

namespace SonivarACQ32::acoustic_map {

namespace {

BandShares shares_of(int k, double sample_rate)
{
    return band_shares(third_octave_edges(third_octave_exact(k)), bin_frequency(1, sample_rate), nb_bins - 1);
}

// The band's matrices copied from the wide average, each bin weighted by
// its share of the band (and its A-weighting).
void band_matrices(const CrossSpectra& wide, const BandShares& band, const std::vector<double>& weights,
                   CrossSpectra& out)
{
    const int n = wide.microphones();
    out.configure(n, band.bins);
    out.set_weights(weights);
    std::vector<std::complex<double>> c(static_cast<std::size_t>(n) * n);
    for (int b = band.bins.first; b <= band.bins.last; ++b) {
        const int k = b - wide.bins().first;
        for (std::size_t e = 0; e < c.size(); ++e)
            c[e] = {wide.re(k)[e], wide.im(k)[e]};
        out.set_average(b - band.bins.first, c);
    }
}

} // namespace

std::vector<int> zone_spectrum_bands(double sample_rate)
{
    std::vector<int> bands;
    const double nyquist = bin_frequency(nb_bins - 1, sample_rate);
    for (int k = third_octave_index(zone_spectrum_lowest_hz);
         sample_rate > 0.0 && third_octave_edges(third_octave_exact(k)).upper <= nyquist; ++k)
        bands.push_back(k);
    return bands;
}

Bins zone_spectrum_bins(double sample_rate)
{
    const std::vector<int> bands = zone_spectrum_bands(sample_rate);
    if (bands.empty())
        return {};
    return {shares_of(bands.front(), sample_rate).bins.first, shares_of(bands.back(), sample_rate).bins.last};
}

ZoneSpectrum zone_spectrum(const CrossSpectra& wide, const ZoneSetting& setting, const std::vector<Zone>& zones,
                           bool a_weighted)
{
    ZoneSpectrum out;
    if (!wide.has_average() || wide.bins().empty())
        return out;
    const auto method = make_method(setting.method);
    for (int k : zone_spectrum_bands(setting.sample_rate)) {
        const BandShares band = shares_of(k, setting.sample_rate);
        if (band.bins.first < wide.bins().first || band.bins.last > wide.bins().last)
            continue;
        ZoneSetting own = setting;
        own.bins = band.bins;
        own.weights = band.shares;
        const std::vector<double> a = a_weights(band.bins, setting.sample_rate);
        for (std::size_t b = 0; a_weighted && b < own.weights.size(); ++b)
            own.weights[b] *= a[b];
        CrossSpectra matrices;
        band_matrices(wide, band, own.weights, matrices);
        Steering steering;
        steering.build(setting.grid, setting.microphones, setting.sample_rate, band.bins, setting.speed_of_sound);
        std::vector<float> power(steering.points());
        if (!method->powers({matrices, steering, setting.remove_diagonal, setting.parameters}, power).empty())
            continue;
        ZoneMeter meter;
        meter.set(own, steering);
        out.frequencies.push_back(third_octave_nominal(k));
        out.power.push_back(meter.powers(power, matrices, zones));
    }
    return out;
}

std::string zone_spectrum_csv(const std::vector<Zone>& zones, const ZoneSpectrum& spectrum, stream::LevelUnit unit)
{
    std::string csv = "zone,frequency_hz,level_db\n";
    for (std::size_t z = 0; z < zones.size(); ++z)
        for (std::size_t b = 0; b < spectrum.frequencies.size() && z < spectrum.power[b].size(); ++b) {
            const double db = stream::level_db(std::max(spectrum.power[b][z], 0.0), unit);
            csv += zones[z].name + ',' + stream::dot_decimal(spectrum.frequencies[b], 0) + ',' +
                   (stream::is_silence(db, unit) ? std::string("-inf") : stream::dot_decimal(db, 2)) + '\n';
        }
    return csv;
}

} // namespace SonivarACQ32::acoustic_map
