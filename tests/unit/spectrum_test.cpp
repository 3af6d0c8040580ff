// The spectrum's pure parts: bins into third-octave bands, the mean over
// microphones, A-weighting, the peak.
#include "spectra/band.h"
#include "spectrum/spectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

namespace sp = SonivarACQ32::spectrum;
namespace am = SonivarACQ32::acoustic_map;

TEST(Spectrum, AWeighting)
{
    struct Row {
        double frequency, db;  // IEC 61672 table values
    };
    for (const Row& r : {Row{1000.0, 0.0}, Row{100.0, -19.1}, Row{31.623, -39.4}, Row{4000.0, 1.0}, Row{10000.0, -2.5}})
        EXPECT_NEAR(sp::a_weighting_db(r.frequency), r.db, 0.1) << r.frequency;
}

// Each bin counts in the one band whose edges hold it; the bands' powers
// add up to the bins'.
TEST(Spectrum, BinsIntoThirdOctaves)
{
    constexpr double rate = 50000.0;
    constexpr int microphones = 2;
    std::vector<double> auto_spectra(microphones * am::nb_bins, 1.0);
    for (int k = 0; k < am::nb_bins; ++k)
        auto_spectra[am::nb_bins + k] = 3.0;  // the second microphone
    const auto mean = sp::narrow_band(auto_spectra, microphones, -1, rate);
    const auto second = sp::narrow_band(auto_spectra, microphones, 1, rate);
    ASSERT_EQ(mean.size(), static_cast<std::size_t>(am::nb_bins - 1));  // no bin 0
    EXPECT_DOUBLE_EQ(mean[10].power, 2.0);
    EXPECT_DOUBLE_EQ(second[10].power, 3.0);
    EXPECT_DOUBLE_EQ(mean[10].frequency, am::bin_frequency(11, rate));

    const auto bands = sp::third_octave_bands(mean);
    double total = 0.0;
    for (const sp::Line& band : bands) {
        total += band.power;
        if (band.frequency == 3150.0) {  // bins 58 to 72, as the map's band
            EXPECT_DOUBLE_EQ(band.power, 2.0 * am::band_bins(3150.0, rate, am::BandKind::third_octave).count());
        }
    }
    EXPECT_DOUBLE_EQ(total, 2.0 * static_cast<double>(am::nb_bins - 1));  // every bin once, 25 kHz band included
    EXPECT_EQ(bands.front().frequency, 50.0);  // the first bin, 48.8 Hz
    EXPECT_TRUE(sp::narrow_band(auto_spectra, microphones, 2, rate).empty());
}

TEST(Spectrum, PeakAndUnit)
{
    const std::vector<sp::Line> lines = {{100.0, 1e-6}, {1000.0, 1e-4}, {2000.0, 1e-5}};
    const auto plain = sp::levels_db(lines, SonivarACQ32::stream::LevelUnit::db_spl, false);
    const sp::Peak peak = sp::peak_of(lines, plain);
    EXPECT_EQ(peak.frequency, 1000.0);
    EXPECT_NEAR(peak.level_db, 10.0 * std::log10(1e-4 / 4e-10), 1e-9);
    // A-weighting can move the peak: 100 Hz loses 19 dB, 2 kHz gains 1.2.
    const auto weighted = sp::levels_db(lines, SonivarACQ32::stream::LevelUnit::db_spl, true);
    EXPECT_NEAR(weighted[0] - plain[0], sp::a_weighting_db(100.0), 1e-9);
    EXPECT_EQ(sp::unit_label(SonivarACQ32::stream::LevelUnit::db_spl, true), "dB(A)");
    EXPECT_EQ(sp::unit_label(SonivarACQ32::stream::LevelUnit::dbfs, true), "dBFS(A)");
}

} // namespace
