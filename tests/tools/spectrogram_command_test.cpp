// sonivar-dat spectrogram on a recording whose tone starts half way: the
// tone's band lights up from the middle on, nowhere else.
#include "cli_run.h"
#include "recording_maker.h"

#include "spectra/band.h"
#include "spectrum/spectrogram.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// Two seconds of four microphones, silent, then a tone of `amplitude`
// counts from the middle on.
fs::path tone_from_the_middle(const testsupport::TempDir& dir, double frequency, double amplitude)
{
    testsupport::RecordingPlan plan;
    plan.micros = {0, 5, 12, 31};
    plan.frames = 100000;
    std::vector<std::uint32_t> words;
    for (std::uint32_t f = 0; f < plan.frames; ++f) {
        words.push_back(f);
        const double t = f / static_cast<double>(plan.freq);
        const double v = f < plan.frames / 2 ? 0.0 : amplitude * std::sin(2.0 * std::numbers::pi * frequency * t);
        for (std::size_t m = 0; m < plan.micros.size(); ++m)
            words.push_back(static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(v))));
    }
    return testsupport::write_recording(dir.path(), "moitie", plan, words);
}

TEST(SpectrogramCommand, AToneThatStartsHalfWayLightsItsBandFromThen)
{
    testsupport::TempDir dir;
    namespace am = SonivarACQ32::acoustic_map;
    const double bin_width = 50000.0 / am::block_frames, tone_hz = 61 * bin_width, amplitude = 1e7;
    const fs::path dat = tone_from_the_middle(dir, tone_hz, amplitude);
    const fs::path csv = dir.path() / "sg.csv", png = dir.path() / "sg.png";
    const testsupport::Outcome c =
        testsupport::run({"spectrogram", dat.string(), "--mic", "12", "--step", "0.1", "--csv", csv.string(),
                          "--png", png.string()});
    ASSERT_EQ(c.code, 0) << c.err;
    EXPECT_NE(c.out.find("micro 12"), std::string::npos) << c.out;
    EXPECT_FALSE(QImage(QString::fromStdString(png.string())).isNull());
    // A full-scale sine reads 0 dBFS; the tone's bin holds two thirds of
    // its power (Hann), its neighbours a sixth each, the others nothing.
    const double tone_db = 20.0 * std::log10(amplitude / 2147483648.0);
    std::ifstream in(csv);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "time_s,frequency_hz,level_db");
    int rows = 0;
    while (std::getline(in, line)) {
        std::istringstream row(line);
        std::string t, f, l;
        std::getline(row, t, ',');
        std::getline(row, f, ',');
        std::getline(row, l);
        const double time = std::stod(t), frequency = std::stod(f);
        const double level = l == "-inf" ? -1e9 : std::stod(l);
        ++rows;
        // Columns wholly before or after the middle (a column's blocks span
        // 0.12 s about its middle).
        const bool before = time + 0.07 < 1.0, after = time - 0.07 > 1.0;
        if (before || (after && std::abs(frequency - tone_hz) > 1.5 * bin_width)) {
            EXPECT_LT(level, tone_db - 40.0) << time << " s, " << frequency << " Hz";
        } else if (after && std::abs(frequency - tone_hz) < bin_width / 2) {
            EXPECT_NEAR(level, tone_db + 10.0 * std::log10(2.0 / 3.0), 0.2) << time << " s";
        }
    }
    EXPECT_EQ(rows, SonivarACQ32::spectrum::spectrogram_grid(100000, 50000.0, 0.1).columns() *
                        SonivarACQ32::spectrum::spectrogram_bins);
}

TEST(SpectrogramCommand, RefusedArguments)
{
    testsupport::TempDir dir;
    const fs::path dat = tone_from_the_middle(dir, 1000.0, 1e6), png = dir.path() / "s.png";
    const std::vector<std::vector<std::string>> refused = {
        {"--png", png.string(), "--mic", "3"},                       // not recorded
        {"--png", png.string(), "--mic", "1", "--at", "0,0,1"},      // both
        {"--png", png.string(), "--at", "0,0,1"},                    // no geometry
        {"--mic", "5"},                                              // no output
        {"--png", png.string(), "--step", "0"},
        {"--png", png.string(), "--from", "1", "--to", "0.5"},
    };
    for (const auto& options : refused) {
        std::vector<std::string> args = {"spectrogram", dat.string()};
        args.insert(args.end(), options.begin(), options.end());
        const testsupport::Outcome c = testsupport::run(args);
        EXPECT_EQ(c.code, 2) << options.back() << ": " << c.err;
        EXPECT_FALSE(fs::exists(png));
    }
}

} // namespace
