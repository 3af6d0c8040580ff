#include "acquisition/timing.h"
#include "app/principale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace SonivarACQ32;

// Every frequency of the program's list (what each entry is sent as is
// checked through the window, entry by entry).
class FrequencyTable : public testing::TestWithParam<std::int32_t> {};

TEST_P(FrequencyTable, LongestDurationNeverWrapsTheCount)
{
    const float f = timing::frequency_from_division_byte(timing::division_byte(GetParam()));
    const float longest = timing::max_duration(f);
    EXPECT_NEAR(static_cast<double>(longest) * f, 4294967296.0, 4294967296.0 * 1e-6);
    // The duration box shows one decimal and may round its maximum up.
    const float shown = static_cast<float>(std::ceil(longest * 10.0) / 10.0);
    EXPECT_GE(timing::sample_count(shown, f), timing::sample_count(longest * 0.999f, f));
    EXPECT_GE(timing::sample_count(longest, f), 4294967296.0 * 0.999);
}

INSTANTIATE_TEST_SUITE_P(AllEntries, FrequencyTable, testing::ValuesIn(Principale::FREQ));

TEST(Timing, MaximumDurationAtTheEnds)
{
    EXPECT_EQ(timing::max_duration(2000.0f), 2147483.75f);
    EXPECT_NEAR(timing::max_duration(50000.0f), 85899.34, 0.01);
    EXPECT_EQ(timing::max_duration(0.0f), 0.0f);
}

TEST(Timing, SampleCountIsDurationTimesFrequencyRoundedDown)
{
    EXPECT_EQ(timing::sample_count(2.5f, 45454.0f), 113635u);
    EXPECT_EQ(timing::sample_count(5.0f, 50000.0f), 250000u);
    EXPECT_EQ(timing::sample_count(0.0f, 50000.0f), 0u);
    EXPECT_EQ(timing::sample_count(-1.0f, 50000.0f), 0u);
    EXPECT_EQ(timing::sample_count(3.0f, 0.0f), 0u);
    // 0.1 as a float lies just above a tenth: 5000 samples; 0.7 lies just
    // below seven tenths, so the count falls one short of 35000.
    EXPECT_EQ(timing::sample_count(0.1f, 50000.0f), 5000u);
    EXPECT_EQ(timing::sample_count(0.7f, 50000.0f), 34999u);
    // 1.25 s at 41 666 Hz is 52 082.5 samples.
    EXPECT_EQ(timing::sample_count(1.25f, 41666.0f), 52082u);
}

TEST(Timing, CountBeyondThirtyTwoBitsIsHeldAtTheLargest)
{
    // 2 147 483.8 s at 2 000 Hz would be 4 294 967 500 samples, 204 past 2^32.
    EXPECT_EQ(timing::sample_count(2147483.8f, 2000.0f),
              std::numeric_limits<std::uint32_t>::max());
    EXPECT_EQ(timing::sample_count(1e30f, 50000.0f), std::numeric_limits<std::uint32_t>::max());
}

TEST(Timing, CountBytesAreLeastSignificantFirst)
{
    using Bytes = std::array<std::uint8_t, 4>;
    EXPECT_EQ(timing::count_bytes(113635u), (Bytes{0xE3, 0xBB, 0x01, 0x00}));
    EXPECT_EQ(timing::count_bytes(0x12345678u), (Bytes{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(timing::count_bytes(0u), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(timing::count_bytes(0xFFFFFFFFu), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(Timing, DelayByteTruncatesAndKeepsTheLowByte)
{
    EXPECT_EQ(timing::delay_byte(16.0), 16);
    EXPECT_EQ(timing::delay_byte(10.9), 10);
    EXPECT_EQ(timing::delay_byte(0.0), 0);
    EXPECT_EQ(timing::delay_byte(300.0), 44);
}

} // namespace
