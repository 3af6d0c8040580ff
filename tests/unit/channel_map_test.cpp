#include "selection/channel_map.h"

#include <gtest/gtest.h>

#include <bit>
#include <vector>

namespace {

using namespace SonivarACQ32::channels;
using Masks = std::array<std::uint8_t, 4>;

Selection all(bool state)
{
    Selection s;
    for (auto& beam : s)
        beam.fill(state);
    return s;
}

TEST(ChannelMap, EverythingWithTheCounter)
{
    const ChannelMap map = channel_map(all(true), true, false);
    EXPECT_EQ(map.masks, (Masks{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(map.extra_flags, 0x80);
    EXPECT_EQ(map.nb_micros, 32);
    EXPECT_EQ(map.nb_voies, 33);
    EXPECT_TRUE(map.compteur);
    for (int m = 0; m < 32; ++m) {
        EXPECT_EQ(map.num_mic_valid[m], m);
        EXPECT_EQ(map.flags[m], 1);
    }
}

TEST(ChannelMap, OneMicrophoneOfBeamTwo)
{
    Selection s = all(false);
    s[2][3] = true;
    const ChannelMap map = channel_map(s, true, false);
    EXPECT_EQ(map.masks, (Masks{0x00, 0x00, 0x08, 0x00}));
    EXPECT_EQ(map.extra_flags, 0x80);
    EXPECT_EQ(map.nb_micros, 1);
    EXPECT_EQ(map.num_mic_valid[0], 19);
    EXPECT_EQ(map.nb_voies, 2);
    for (int m = 0; m < 32; ++m)
        EXPECT_EQ(map.flags[m], m == 19 ? 1 : 0) << m;
}

struct ExtraCase {
    bool counter;
    bool status;
    std::uint8_t flags;
    int extra_words;
};

TEST(ChannelMap, ExtraChannelsAddWordsAndFlags)
{
    const ExtraCase cases[] = {
        {false, false, 0x00, 0}, {true, false, 0x80, 1}, {false, true, 0x40, 1}, {true, true, 0xC0, 2}};
    for (const Selection& s : {all(false), all(true)}) {
        for (const ExtraCase& c : cases) {
            const ChannelMap map = channel_map(s, c.counter, c.status);
            EXPECT_EQ(map.extra_flags, c.flags);
            EXPECT_EQ(map.compteur, c.counter);
            EXPECT_EQ(map.nb_voies, map.nb_micros + c.extra_words);
        }
    }
    // No microphone and no extra channel: nothing to acquire.
    EXPECT_EQ(channel_map(all(false), false, false).nb_voies, 0);
}

TEST(ChannelMap, MasksListAndFlagsDescribeTheSameSelection)
{
    // A few irregular selections: a diagonal, one full beam, alternate rows.
    std::vector<Selection> selections(3, all(false));
    for (int k = 0; k < 4; ++k) {
        selections[0][k][k * 2] = true;
        selections[1][1][k + 4] = selections[1][1][k] = true;
        for (int j = 1; j < 8; j += 2)
            selections[2][k][j] = true;
    }
    for (const Selection& s : selections) {
        const ChannelMap map = channel_map(s, false, false);
        int expected_count = 0;
        for (int k = 0; k < 4; ++k) {
            for (int j = 0; j < 8; ++j) {
                const bool on = s[k][j];
                expected_count += on;
                EXPECT_EQ((map.masks[k] >> j) & 1, on ? 1 : 0);
                EXPECT_EQ(map.flags[8 * k + j], on ? 1 : 0);
            }
        }
        ASSERT_EQ(map.nb_micros, expected_count);
        for (int i = 0; i < map.nb_micros; ++i) {
            const int m = map.num_mic_valid[i];
            EXPECT_TRUE(s[m / 8][m % 8]);
            if (i > 0) {
                EXPECT_LT(map.num_mic_valid[i - 1], m);
            }
        }
    }
}

} // namespace
