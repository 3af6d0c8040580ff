// The array's geometry as read from its file, and what each microphone hears
// of a point source: delay and attenuation, measured on the samples sent.
#include "frame_source.h"
#include "geometry.h"
#include "scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <fstream>

namespace {

constexpr double pi = 3.141592653589793;

TEST(Geometry, TheExampleFileHoldsTheExampleGrid)
{
    const auto read = sim::read_geometry_file(SONIVAR_RESOURCES "/geometry/sonivar32-example.xml");
    ASSERT_TRUE(read);
    const sim::Geometry grid = sim::example_geometry();
    for (int m = 0; m < sim::microphone_count; ++m)
        EXPECT_LT(sim::distance((*read)[m], grid[m]), 1e-12) << m;
    EXPECT_DOUBLE_EQ(grid[9].x, -0.10);  // microphone 1 of beam 1
    EXPECT_DOUBLE_EQ(grid[9].y, -0.02);
}

TEST(Geometry, RefusesWhatIsNotAMicrophoneArray)
{
    const char* head = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    const struct {
        std::string xml;
        int positions;  // -1: refused
    } rows[] = {
        {std::string(head) + "<MicArray name=\"a\"><pos Name=\"Point 1\" x=\"1e-2\" y=\"-0.5\" z=\" 2\"/>"
                             "<!-- c --><pos Name=\"Point 2\" x=\"0\" y=\"0\" z=\"0\"/></MicArray>",
         2},
        {"<MicArray name=\"a\"></MicArray>", 0},
        {"<Other><pos x=\"0\" y=\"0\" z=\"0\"/></Other>", -1},
        {"<MicArray><pos x=\"0\" y=\"0\"/></MicArray>", -1},
        {"<MicArray><pos x=\"0,5\" y=\"0\" z=\"0\"/></MicArray>", -1},
        {"<MicArray><pos x=\"0\" y=\"0\" z=\"0\"></MicArray>", -1},
        {"not xml at all", -1},
    };
    for (const auto& row : rows) {
        const auto parsed = sim::parse_mic_geometry(row.xml);
        EXPECT_EQ(parsed ? static_cast<int>(parsed->size()) : -1, row.positions) << row.xml;
    }
    const auto first = sim::parse_mic_geometry(rows[0].xml);
    EXPECT_DOUBLE_EQ((*first)[0].x, 0.01);
    EXPECT_DOUBLE_EQ((*first)[0].z, 2.0);

    // A readable file, but not one pos per microphone.
    const std::string path = testing::TempDir() + "two_mics.xml";
    std::ofstream(path) << rows[0].xml;
    EXPECT_FALSE(sim::read_geometry_file(path));
    EXPECT_FALSE(sim::read_geometry_file(testing::TempDir() + "no_such_file.xml"));
    std::remove(path.c_str());
}

// Amplitude and phase lag of one microphone's tone, demodulated from the
// int32 samples of `frames` frames starting at `first`, over whole periods.
std::complex<double> tone_of(const sim::FrameSource& src, int word, double f, double rate,
                             std::uint64_t first, std::uint64_t frames)
{
    std::complex<double> sum;
    for (std::uint64_t k = first; k < first + frames; ++k) {
        const double x = static_cast<std::int32_t>(src.word(k, word));
        sum += x * std::polar(1.0, 2 * pi * f * static_cast<double>(k) / rate);
    }
    // x = A sin(wt - lag): the sum is (A N / 2) e^(i lag) / (-i).
    return sum * std::complex<double>(0, -2.0 / static_cast<double>(frames));
}

double wrapped(double angle) { return std::remainder(angle, 2 * pi); }

sim::FrameSource all_microphones(const sim::Scene& scene)
{
    sim::UnitSettings s;  // 50 kHz
    s.beam_masks = {0xFF, 0xFF, 0xFF, 0xFF};
    return sim::FrameSource(s, {}, 0, {}, scene);
}

TEST(Scene, APointSourceIsHeardDelayedAndAttenuatedByDistance)
{
    sim::Scene scene;
    const sim::PointSource source{{0.3, -0.2, 0.8}, 1000.0, 1e8};
    scene.fixed = source;
    const sim::FrameSource src = all_microphones(scene);
    const double rate = 50000.0;
    const std::uint64_t frames = 50000;  // 1000 whole periods
    const std::pair<int, int> pairs[] = {{0, 7}, {0, 31}, {12, 13}, {24, 3}};
    for (const auto& [a, b] : pairs) {
        const std::complex<double> ta = tone_of(src, a, source.frequency, rate, 0, frames);
        const std::complex<double> tb = tone_of(src, b, source.frequency, rate, 0, frames);
        const double da = sim::distance(scene.microphones[a], source.at);
        const double db = sim::distance(scene.microphones[b], source.at);
        const double expected = 2 * pi * source.frequency * (db - da) / sim::speed_of_sound_m_s;
        EXPECT_NEAR(wrapped(std::arg(tb) - std::arg(ta) - expected), 0.0, 1e-6) << a << "," << b;
        EXPECT_NEAR(std::abs(ta) / std::abs(tb), db / da, 1e-6) << a << "," << b;
        EXPECT_NEAR(std::abs(ta) * da, source.amplitude, 1e-3 * source.amplitude);
    }
}

TEST(Scene, TheDefaultSourceCirclesInFrontOfTheArray)
{
    // The microphone nearer the source hears it first: at 0 s the source is
    // on the side of microphone 5 (x > 0), half a turn later on that of 2.
    const sim::FrameSource src = all_microphones({});
    const double rate = 50000.0, f = sim::scene_tone_hz;
    const std::uint64_t frames = 500;  // 17 whole periods, 10 ms
    const std::uint64_t half_turn = static_cast<std::uint64_t>(sim::scene_period_s / 2 * rate);
    for (const std::uint64_t at : {std::uint64_t{0}, half_turn}) {
        const double lag_of_5 = wrapped(std::arg(tone_of(src, 5, f, rate, at, frames)) -
                                        std::arg(tone_of(src, 2, f, rate, at, frames)));
        EXPECT_EQ(lag_of_5 < 0, at == 0) << lag_of_5;
        EXPECT_GT(std::abs(lag_of_5), 1.0);
    }
    EXPECT_DOUBLE_EQ(sim::moving_source(1.234).at.z, sim::scene_height_m);
}

} // namespace
