#include "display/level_meter.h"
#include "stream/samples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

namespace {

using namespace SonivarACQ32::levels;

TEST(LevelIndex, DecibelsAboveOneMinusFifteenWithinRange)
{
    EXPECT_EQ(level_index(0.0), 0);        // silence, held at M = 1
    EXPECT_EQ(level_index(0.5), 0);
    EXPECT_EQ(level_index(1e6), 45);       // constant 1000: 60 dB
    EXPECT_EQ(level_index(std::ldexp(1.0, 62)), 127);  // full scale, clamped
    // Around the ends: 15.5 dB rounds to index 1, 14.9 dB to 0; 141.4 dB to
    // 126, 141.5 dB to 127.
    EXPECT_EQ(level_index(std::pow(10.0, 1.55)), 1);
    EXPECT_EQ(level_index(std::pow(10.0, 1.49)), 0);
    EXPECT_EQ(level_index(std::pow(10.0, 14.14)), 126);
    EXPECT_EQ(level_index(std::pow(10.0, 14.15)), 127);
}

TEST(FrameOffset, FirstBoundaryAfterThePacketStart)
{
    EXPECT_EQ(reading_offset(33, 1), 32u);  // 1048576 mod 132 = 100
    EXPECT_EQ(reading_offset(2, 0), 8u);    // on a boundary: a whole frame skipped
    EXPECT_EQ(reading_offset(33, 0), 132u);
    EXPECT_EQ(reading_offset(3, 1), 8u);    // 1048576 mod 12 = 4
    // Packet 5000 starts past 4 GiB: 5000 x 2^20 mod 12 = 8.
    EXPECT_EQ(reading_offset(3, 5000), 4u);
}

TEST(FrameOffset, PacketNeedsMoreThan2001WholeFrames)
{
    for (int voies : {1, 2, 33, 34}) {
        const std::uint32_t exact = static_cast<std::uint32_t>(voies) * 2001u * 4u;
        EXPECT_FALSE(enough_frames(exact, voies)) << voies;
        EXPECT_FALSE(enough_frames(exact - 4, voies)) << voies;
        EXPECT_TRUE(enough_frames(exact + 4, voies)) << voies;
    }
    EXPECT_FALSE(enough_frames(1048576, 0));
}

// A packet cut out of a stream: the word at stream position w belongs to
// channel w mod nb_voies of frame w / nb_voies, whose value `sample` gives.
// With float samples, a microphone's value v is written as v / 2^31.
std::vector<unsigned char> packet_of_stream(
    std::uint32_t packet, int nb_voies,
    const std::function<std::int32_t(int channel, std::uint64_t frame)>& sample,
    const std::function<bool(int channel)>& as_float = [](int) { return false; })
{
    std::vector<unsigned char> data(packet_bytes);
    const std::uint64_t first_word = static_cast<std::uint64_t>(packet) * packet_bytes / 4;
    for (std::uint32_t w = 0; w < packet_bytes / 4; ++w) {
        const std::uint64_t word = first_word + w;
        const int channel = static_cast<int>(word % nb_voies);
        const std::int32_t v = sample(channel, word / nb_voies);
        const float f = static_cast<float>(v / SonivarACQ32::stream::int32_full_scale);
        std::uint32_t value = static_cast<std::uint32_t>(v);
        if (as_float(channel))
            std::memcpy(&value, &f, 4);
        for (int b = 0; b < 4; ++b)
            data[4 * w + b] = static_cast<unsigned char>(value >> (8 * b));
    }
    return data;
}

// Constant magnitude 10^n has a power of 20n dB, so an index of 20n - 15.
constexpr std::int32_t magnitudes[] = {0, 10, 100, 1000, 10000, 100000, 1000000,
                                       std::numeric_limits<std::int32_t>::max()};
constexpr int expected_index[] = {0, 5, 25, 45, 65, 85, 105, 127};

// Microphone i hears magnitude i mod 8 with its sign flipping every frame;
// the counter and status words hold large values that must not be read.
std::int32_t scene(int mic, std::uint64_t frame)
{
    const std::int32_t a = magnitudes[mic % 8];
    return frame % 2 == 0 ? a : -a;
}

struct Layout {
    bool counter;
    bool status;
    int nb_micros;
    std::uint32_t packet;
    bool is_float = false;
};

SonivarACQ32::stream::FrameLayout layout_of(int nb_voies, bool counter, int nb_micros, bool is_float)
{
    std::vector<int> micros(static_cast<std::size_t>(nb_micros));
    for (int i = 0; i < nb_micros; ++i)
        micros[i] = i;
    return SonivarACQ32::stream::live_layout(nb_voies, counter, micros, is_float);
}

class PacketLevels : public testing::TestWithParam<Layout> {};

TEST_P(PacketLevels, EachMicrophoneGetsItsOwnLevel)
{
    const Layout l = GetParam();
    const int nb_voies = l.nb_micros + l.counter + l.status;
    const auto data = packet_of_stream(l.packet, nb_voies, [&](int channel, std::uint64_t frame) {
        if (l.counter && channel == 0)
            return static_cast<std::int32_t>(frame) | 0x40000000;
        const int mic = channel - (l.counter ? 1 : 0);
        if (mic >= l.nb_micros)
            return std::int32_t{0x7F000000};  // status word
        return scene(mic, frame);
    }, [&](int channel) {
        // Only the microphones' words take the sample type.
        const int mic = channel - (l.counter ? 1 : 0);
        return l.is_float && mic >= 0 && mic < l.nb_micros;
    });
    int indices[32];
    std::fill(std::begin(indices), std::end(indices), -1);
    ASSERT_EQ(packet_levels(data.data(), l.packet, layout_of(nb_voies, l.counter, l.nb_micros, l.is_float),
                            indices),
              l.nb_micros);
    for (int i = 0; i < l.nb_micros; ++i)
        EXPECT_EQ(indices[i], expected_index[i % 8]) << "microphone " << i;
}

INSTANTIATE_TEST_SUITE_P(Layouts, PacketLevels,
                         testing::Values(Layout{true, false, 32, 1}, Layout{true, false, 32, 0},
                                         Layout{true, false, 32, 7}, Layout{true, true, 32, 3},
                                         Layout{false, false, 32, 2}, Layout{false, true, 8, 1},
                                         Layout{true, false, 1, 5}, Layout{true, false, 3, 4097},
                                         // float32: the same sound, the same colours
                                         Layout{true, false, 32, 1, true}, Layout{false, true, 8, 1, true}));

TEST(PacketLevelsWindow, ReadsExactly2000FramesFromTheFirstBoundary)
{
    // Two microphones and the counter; microphone 0 is loud only in frames
    // outside the 2000 read, microphone 1 only in the first frame read.
    const int nb_voies = 3;
    const std::uint32_t packet = 1;
    const std::uint64_t first = (static_cast<std::uint64_t>(packet) * packet_bytes + 8) / 12;
    const auto data = packet_of_stream(packet, nb_voies, [&](int channel, std::uint64_t frame) {
        const bool outside = frame < first || frame >= first + 2000;
        if (channel == 1)
            return outside ? 1000000 : 0;
        if (channel == 2)
            return frame == first ? 2000000 : 0;
        return 0;
    });
    int indices[2] = {-1, -1};
    ASSERT_EQ(packet_levels(data.data(), packet, layout_of(nb_voies, true, 2, false), indices), 2);
    EXPECT_EQ(indices[0], 0);
    // (2e6)^2 / 2000 = 2e9: 93 dB, index 78.
    EXPECT_EQ(indices[1], 78);
}

} // namespace
