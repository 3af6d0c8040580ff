// Sizing of a run: start byte, packets, time-outs, disk space.
#include "acquisition/run_sizing.h"
#include "acquisition/start_trigger.h"

#include <gtest/gtest.h>

#include <limits>

using namespace SonivarACQ32::run_sizing;

TEST(StartTrigger, TriggerByteForEverySourceAndCondition)
{
    using namespace SonivarACQ32::start_trigger;
    struct Case {
        StartSource source;
        TriggerMode mode;
        int expected;
    };
    const Case cases[] = {
        {StartSource::Soft, TriggerMode::RisingEdge, 0x00},
        {StartSource::Soft, TriggerMode::Low, 0x00},  // a soft start ignores the condition
        {StartSource::Trig1, TriggerMode::RisingEdge, 0x01},
        {StartSource::Trig1, TriggerMode::FallingEdge, 0x41},
        {StartSource::Trig1, TriggerMode::High, 0x81},
        {StartSource::Trig1, TriggerMode::Low, 0xC1},
        {StartSource::Trig2, TriggerMode::FallingEdge, 0x42},
        {StartSource::Trig2, TriggerMode::Low, 0xC2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(trigger_byte(c.source, c.mode), c.expected)
            << static_cast<int>(c.source) << "/" << static_cast<int>(c.mode);
}

TEST(RunSizing, RequestedBytesDoNotOverflow32Bits)
{
    EXPECT_EQ(requested_bytes(33, 50000), 6600000u);
    // 34 channels for the longest count: far beyond 4 GiB.
    EXPECT_EQ(requested_bytes(34, 0xFFFFFFFFu), 136ULL * 0xFFFFFFFFULL);
    EXPECT_EQ(requested_bytes(33, 0), 0u);
}

TEST(RunSizing, PacketPlanWholeAndPartial)
{
    // 32 channels x 4 bytes x 8192 frames: exactly one packet, none short.
    PacketPlan exact = plan_packets(requested_bytes(32, 8192));
    EXPECT_EQ(exact.n_pkt, 1u);
    EXPECT_EQ(exact.remainder, 0u);
    PacketPlan many = plan_packets(25 * packet_bytes);
    EXPECT_EQ(many.n_pkt, 25u);
    EXPECT_EQ(many.remainder, 0u);
    // 33 x 4 x 50 000 = 6 600 000 bytes: six full packets and 308 544 bytes.
    PacketPlan partial = plan_packets(6600000);
    EXPECT_EQ(partial.n_pkt, 7u);
    EXPECT_EQ(partial.remainder, 6600000u - 6 * packet_bytes);
    PacketPlan small = plan_packets(8160);
    EXPECT_EQ(small.n_pkt, 1u);
    EXPECT_EQ(small.remainder, 8160u);
}

TEST(RunSizing, OpenEndedLimitWrapsBelowOneMebibyte)
{
    EXPECT_EQ(open_ended_packets(0), std::numeric_limits<std::uint32_t>::max());
    EXPECT_EQ(open_ended_packets(packet_bytes - 1), 4294967295u);
    EXPECT_EQ(open_ended_packets(packet_bytes), 0u);
    EXPECT_EQ(open_ended_packets(20 * packet_bytes + 5), 19u);
}

TEST(RunSizing, TransferTimeoutFollowsTheFillTime)
{
    struct Case {
        int nb_voies;
        double frequence;
        int expected;
    };
    const Case cases[] = {
        {33, 50000, 2270},    // 7943 frames, 158.86 ms a packet
        {2, 2000, 525288},    // 65 536 ms a packet
        {34, 50000, 2233},    // 7710 frames: 1233.6 ms for eight
        {32, 50000, 2310},    // 8192 frames: 163.84 ms a packet
        {256, 50000, 2000},   // 1024 frames: 8 x 20.48 ms is under a second
    };
    for (const Case& c : cases)
        EXPECT_EQ(transfer_timeout_ms(c.nb_voies, c.frequence), c.expected)
            << c.nb_voies << " channels at " << c.frequence;
}

TEST(RunSizing, TriggerWaitAllowsOneFillWithPlainBuffers)
{
    EXPECT_EQ(trigger_wait_limit_ms(33, 50000, true), 30000u);
    EXPECT_EQ(trigger_wait_limit_ms(33, 50000, false), 30159u);   // 158.86 ms rounded up
    EXPECT_EQ(trigger_wait_limit_ms(2, 2000, false), 95536u);     // a 65.5 s packet
}

TEST(RunSizing, StreamTimeOfWholeFrames)
{
    EXPECT_EQ(stream_time_ms(SonivarACQ32::stream::packet_bytes, 33, 50000), 159u);  // 7943 frames
    EXPECT_EQ(stream_time_ms(SonivarACQ32::stream::packet_bytes, 2, 2000), 65536u);
    EXPECT_EQ(stream_time_ms(4 * 33 - 1, 33, 50000), 0u);  // a torn frame is not yet a sample
    EXPECT_EQ(stream_time_ms(SonivarACQ32::stream::packet_bytes, 0, 50000), 0u);
}

TEST(RunSizing, UsableSpaceKeepsTheReserve)
{
    EXPECT_EQ(usable_space(0), 0u);
    EXPECT_EQ(usable_space(999999999), 0u);
    EXPECT_EQ(usable_space(1000000000), 0u);
    EXPECT_EQ(usable_space(1000000001), 1u);
    EXPECT_EQ(usable_space(6368709120ULL), 5368709120ULL);
    EXPECT_EQ(usable_gibibytes(5368709120ULL), 5u);
    EXPECT_EQ(usable_gibibytes(5368709119ULL), 4u);
    // 33 channels at 50 kHz write 6.6 MB a second.
    EXPECT_FLOAT_EQ(seconds_allowed(6600000ULL * 100, 33, 50000), 100.0f);
}

TEST(RunSizing, DiskLimitStopsOnceWithinSixteenPackets)
{
    // 101 MiB of room: a limit of 100 packets, the stop from packet 84 on.
    const std::uint64_t room = 101 * packet_bytes;
    EXPECT_FALSE(disk_limit_reached(0, room));
    EXPECT_FALSE(disk_limit_reached(83, room));
    EXPECT_TRUE(disk_limit_reached(84, room));
    // One event call may step over the exact packet.
    EXPECT_TRUE(disk_limit_reached(86, room));
    // Room for 17 packets or less stops the run at once instead of wrapping,
    // down to less than one packet, where the 32-bit limit is 4 294 967 295.
    EXPECT_FALSE(disk_limit_reached(0, 18 * packet_bytes));
    EXPECT_TRUE(disk_limit_reached(1, 18 * packet_bytes));
    EXPECT_TRUE(disk_limit_reached(0, 17 * packet_bytes));
    EXPECT_TRUE(disk_limit_reached(0, 5 * packet_bytes));
    EXPECT_TRUE(disk_limit_reached(0, packet_bytes - 1));
    EXPECT_TRUE(disk_limit_reached(0, 0));
    // The last packet number does not wrap either.
    EXPECT_TRUE(disk_limit_reached(4294967295u, room));
}

TEST(RunSizing, ElapsedSecondsTruncateAndSurviveTickWrap)
{
    EXPECT_EQ(elapsed_seconds(1000, 2999), 1);
    EXPECT_EQ(elapsed_seconds(1000, 1000), 0);
    EXPECT_EQ(elapsed_seconds(0xFFFFFF00u, 0x00000300u), 1);   // 1024 ms across the wrap
}

TEST(RunSizing, StopGraceEndsBeforeTheTransferTimeOut)
{
    for (const std::int32_t timeout : {2000, 2270, 9388, 31000}) {
        EXPECT_LT(static_cast<std::int32_t>(stop_grace_ms(timeout)), timeout) << timeout;
        EXPECT_GE(stop_grace_ms(timeout), 500u) << timeout;
    }
}

TEST(RunSizing, HeaderCountsFromBytesWritten)
{
    EXPECT_EQ(frames_written(10485760, 33), 79437u);
    EXPECT_EQ(frames_written(6600000, 33), 50000u);
    EXPECT_EQ(frames_written(0, 33), 0u);
    EXPECT_FLOAT_EQ(recorded_duration(50000, 50000), 1.0f);
    EXPECT_FLOAT_EQ(recorded_duration(0, 50000), 0.0f);
    EXPECT_DOUBLE_EQ(mebibytes(1572864), 1.5);
    EXPECT_DOUBLE_EQ(mebibytes(1023), 0.0);
}
