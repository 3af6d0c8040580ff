// The spectrum's pure parts: bins into third-octave bands, the mean over
// microphones, A-weighting, the peak.
#include "spectra/band.h"
#include "spectra/csm.h"
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

// The bands are every third-octave the bins resolve (centre at least a
// bin's width) and none that crosses Nyquist; each bin's power is shared by
// the bands it overlaps, so that the bands add up to the bins they cover.
TEST(Spectrum, ThirdOctavesTheBinsResolve)
{
    struct Row {
        double rate, first, last;  // nominal centres, Hz
    };
    for (const Row& row : {Row{50000.0, 50.0, 20000.0}, Row{25000.0, 25.0, 10000.0}, Row{10000.0, 10.0, 4000.0},
                           Row{2000.0, 2.0, 800.0}}) {
        const std::vector<double> flat(am::nb_bins, 1.0);
        const auto bins = sp::narrow_band(flat, 1, -1, row.rate);
        ASSERT_EQ(bins.size(), static_cast<std::size_t>(am::nb_bins - 1));  // no bin 0
        EXPECT_DOUBLE_EQ(bins[10].frequency, am::bin_frequency(11, row.rate));
        const auto bands = sp::third_octave_bands(bins);
        ASSERT_FALSE(bands.empty());
        EXPECT_EQ(bands.front().frequency, row.first) << row.rate;
        EXPECT_EQ(bands.back().frequency, row.last) << row.rate;
        const double width = row.rate / am::block_frames;
        for (std::size_t i = 0; i < bands.size(); ++i) {  // a flat spectrum: power in proportion to width
            const am::Edges e = am::third_octave_edges(1000.0 * std::pow(2.0, std::round(3.0 * std::log2(bands[i].frequency / 1000.0)) / 3.0));
            EXPECT_NEAR(bands[i].power, (e.upper - e.lower) / width, 1e-9) << bands[i].frequency;
        }
    }
}

// The mean over the microphones, or one of them.
TEST(Spectrum, MeanOrOneMicrophone)
{
    constexpr int microphones = 2;
    std::vector<double> auto_spectra(microphones * am::nb_bins, 1.0);
    for (int k = 0; k < am::nb_bins; ++k)
        auto_spectra[am::nb_bins + k] = 3.0;  // the second microphone
    EXPECT_DOUBLE_EQ(sp::narrow_band(auto_spectra, microphones, -1, 50000.0)[10].power, 2.0);
    EXPECT_DOUBLE_EQ(sp::narrow_band(auto_spectra, microphones, 1, 50000.0)[10].power, 3.0);
    EXPECT_TRUE(sp::narrow_band(auto_spectra, microphones, 2, 50000.0).empty());
}

// A pure tone read from the cross-spectra reads its own level and
// frequency wherever it falls between two bins.
TEST(Spectrum, ATonesPeakReadsItsLevelAndFrequency)
{
    constexpr double rate = 50000.0, amplitude = 0.25;
    const double width = rate / am::block_frames;
    for (double place : {20.0, 20.25, 20.5, 20.8, 100.4}) {
        const double f = place * width;
        std::vector<float> frames(20 * am::block_frames);
        for (std::size_t t = 0; t < frames.size(); ++t)
            frames[t] = static_cast<float>(amplitude * std::sin(2.0 * 3.14159265358979323846 * f * t / rate + 0.3));
        am::CrossSpectra spectra;
        ASSERT_TRUE(spectra.configure(1, am::Bins{}).empty());
        spectra.add_frames(frames.data(), frames.size());
        ASSERT_TRUE(spectra.fold(0.0));
        const auto bins = sp::narrow_band(spectra.auto_spectra(), 1, 0, rate);
        const sp::Peak peak = sp::tone_peak(bins, SonivarACQ32::stream::LevelUnit::dbfs, false);
        EXPECT_NEAR(peak.level_db, 20.0 * std::log10(amplitude), 0.1) << place;
        EXPECT_NEAR(peak.frequency, f, 1.0) << place;
        const sp::Peak weighted = sp::tone_peak(bins, SonivarACQ32::stream::LevelUnit::dbfs, true);
        EXPECT_NEAR(weighted.level_db - peak.level_db, sp::a_weighting_db(f), 0.01) << place;
    }
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
