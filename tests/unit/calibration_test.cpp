// Calibration files, and levels with their unit: dBFS for an array not
// calibrated, dB SPL once each microphone's factor is known.
#include "stream/calibration_file.h"
#include "stream/levels.h"
#include "stream/samples.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <fstream>
#include <numbers>
#include <numeric>
#include <string>

namespace {

namespace st = SonivarACQ32::stream;

std::string calibration_text(int positions, const std::string& factor = "2.5e-8", const std::string& root = "Calib")
{
    std::string xml = "<?xml version=\"1.1\"?>\n<" + root + ">\n";
    for (int m = 0; m < positions; ++m)
        xml += "  <pos Name=\"Point " + std::to_string(m + 1) + "\" factor=\"" + (m == 7 ? factor : "2.5e-8") + "\"/>\n";
    return xml + "</" + root + ">\n";
}

TEST(CalibrationFile, GoodAndBadFiles)
{
    struct Row {
        std::string name;
        std::string xml;
        const char* says;  // nullptr: read
    };
    const Row rows[] = {
        {"32 factors, XML 1.1", calibration_text(32), nullptr},
        {"any root", calibration_text(32, "1", "Etalonnage"), nullptr},
        {"31 factors", calibration_text(31), "31 facteur(s) au lieu de 32"},
        {"33 factors", calibration_text(33), "33 facteur(s) au lieu de 32"},
        {"comma decimal", calibration_text(32, "2,5e-8"), "facteur 8 "},
        {"zero", calibration_text(32, "0"), "facteur 8 "},
        {"negative", calibration_text(32, "-1e-8"), "facteur 8 "},
        {"infinite", calibration_text(32, "inf"), "facteur 8 "},
        {"beyond a float", calibration_text(32, "1e39"), "facteur 8 hors de la plage"},
        {"zero as a float", calibration_text(32, "1e-50"), "facteur 8 hors de la plage"},
        {"broken XML", calibration_text(32).substr(0, 120), "XML illisible"},
    };
    for (const Row& r : rows) {
        const st::CalibrationResult c = st::parse_calibration(r.xml);
        EXPECT_EQ(c.calibration.has_value(), r.says == nullptr) << r.name;
        if (r.says != nullptr) {
            EXPECT_NE(c.error.find(r.says), std::string::npos) << r.name << ": " << c.error;
        }
    }
}

TEST(CalibrationFile, WrittenThenReadAgain)
{
    st::Calibration written;
    for (std::size_t m = 0; m < written.factor.size(); ++m)
        written.factor[m] = static_cast<float>(1e-8 * (1.0 + 0.01 * m));
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("étalonnage.xml")).toStdString();
    std::ofstream(path) << st::calibration_xml(written, "Antenne & co");
    const st::CalibrationResult read = st::read_calibration(path);
    ASSERT_TRUE(read.calibration) << read.error;
    EXPECT_EQ(read.calibration->factor, written.factor);
    // Not a regular file, or missing: why, with the path.
    EXPECT_NE(st::read_calibration(dir.path().toStdString()).error.find("pas un fichier ordinaire"), std::string::npos);
    EXPECT_NE(st::read_calibration(path + ".absent").error.find(path + ".absent"), std::string::npos);
}

// A sine's mean square from its frames, decoded as the pipeline decodes them.
double decoded_power(double amplitude, bool is_float, const std::optional<st::Calibration>& calibration)
{
    const std::vector<int> micros = {7};
    const st::FrameLayout layout = st::live_layout(1, false, micros, is_float);
    constexpr int frames = 4800;  // whole periods of 1 kHz at 48 kHz
    std::vector<unsigned char> bytes(4 * frames);
    for (int t = 0; t < frames; ++t) {
        const double s = amplitude * std::sin(2.0 * std::numbers::pi * t / 48.0);
        const std::uint32_t word = is_float ? std::bit_cast<std::uint32_t>(static_cast<float>(s / st::int32_full_scale))
                                            : static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(s)));
        for (int b = 0; b < 4; ++b)
            bytes[4 * t + b] = static_cast<unsigned char>(word >> (8 * b));
    }
    std::vector<float> out;
    st::decode_frames(bytes.data(), bytes.size(), 0, layout, st::sample_factors(calibration, is_float), out);
    return std::inner_product(out.begin(), out.end(), out.begin(), 0.0) / static_cast<double>(out.size());
}

// The same sound reads the same in both sample types: a full-scale sine
// at 0 dBFS; with a factor in pascal per count, its sound pressure level.
TEST(Levels, FullScaleAndSoundPressure)
{
    for (bool is_float : {false, true}) {
        const double full = decoded_power(st::int32_full_scale - 1.0, is_float, std::nullopt);
        EXPECT_NEAR(st::level_db(full, st::LevelUnit::dbfs), 0.0, 0.01) << is_float;
        const double quarter = decoded_power(st::int32_full_scale / 4.0, is_float, std::nullopt);
        EXPECT_NEAR(st::level_db(quarter, st::LevelUnit::dbfs), 20.0 * std::log10(0.25), 0.01) << is_float;

        st::Calibration pascal_per_count;
        pascal_per_count.factor[7] = 1e-8f;
        const double amplitude = 1.0e8;  // counts: 1 Pa, 90.97 dB SPL
        const double spl = st::level_db(decoded_power(amplitude, is_float, pascal_per_count), st::LevelUnit::db_spl);
        EXPECT_NEAR(spl, 20.0 * std::log10(amplitude * 1e-8 / std::sqrt(2.0) / st::reference_pressure), 0.01);
    }
    EXPECT_EQ(st::unit_of(std::nullopt), st::LevelUnit::dbfs);
    EXPECT_STREQ(st::unit_text(st::unit_of(st::Calibration{})), "dB SPL");
}

} // namespace
