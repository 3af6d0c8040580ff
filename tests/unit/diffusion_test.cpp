// The pure parts of the stream's diffusion: the hand-over ring, the joining
// of frames cut between pieces, the drift matching and the delay record.
#include "diffusion/drift_match.h"
#include "diffusion/frame_joiner.h"
#include "diffusion/latency_record.h"
#include "diffusion/sample_ring.h"
#include "stream/frame_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace {

using namespace SonivarACQ32;

TEST(SampleRing, KeepsOrderAcrossTheWrapDropsWhatDoesNotFitAndSkipsABacklog)
{
    diffusion::SampleRing ring(5, 2);
    std::vector<float> in(14), out(14);
    std::iota(in.begin(), in.end(), 0.0f);
    EXPECT_EQ(ring.write(in.data(), 3), 3u);
    EXPECT_EQ(ring.read(out.data(), 2), 2u);
    EXPECT_EQ(ring.write(in.data() + 6, 7), 4u) << "room for four frames only";
    EXPECT_EQ(ring.dropped(), 3u);
    EXPECT_EQ(ring.read(out.data(), 9), 5u);
    EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 10),
              (std::vector<float>{4, 5, 6, 7, 8, 9, 10, 11, 12, 13})) << "frame 2, then frames 3 to 6, across the wrap";
    ring.write(in.data(), 5);
    ring.keep_newest(2, true);
    EXPECT_EQ(ring.dropped(), 6u);
    ring.keep_newest(0, false);
    EXPECT_EQ(ring.dropped(), 6u) << "stale frames before a reader are not losses";
    EXPECT_EQ(ring.fill(), 0u);
}

// A stream of numbered frames cut anywhere, even within a word: every
// frame comes out once, in order; a piece that does not follow starts afresh.
TEST(FrameJoiner, JoinsFramesCutBetweenPieces)
{
    const stream::FrameLayout layout = stream::live_layout(3, true, {0, 1}, false);
    std::vector<unsigned char> bytes(12 * 40);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i / 12);  // every byte of frame f is f
    for (std::size_t cut : {1u, 5u, 11u, 13u, 29u}) {
        diffusion::FrameJoiner joiner;
        std::vector<int> frames;
        auto whole = [&](const unsigned char* data, std::size_t len, std::uint64_t position) {
            EXPECT_EQ(position % 12, 0u);
            for (std::size_t f = 0; f < len / 12; ++f)
                frames.push_back(data[12 * f]);
        };
        for (std::size_t at = 0; at < bytes.size(); at += cut)
            joiner.add(bytes.data() + at, std::min(cut, bytes.size() - at), at, layout, whole);
        EXPECT_EQ(frames.size(), 40u) << "pieces of " << cut;
        for (std::size_t f = 0; f < frames.size(); ++f)
            EXPECT_EQ(frames[f], static_cast<int>(f)) << "pieces of " << cut;
    }
    diffusion::FrameJoiner joiner;
    std::vector<std::uint64_t> starts;
    auto whole = [&](const unsigned char*, std::size_t, std::uint64_t position) { starts.push_back(position); };
    joiner.add(bytes.data(), 18, 0, layout, whole);
    joiner.add(bytes.data() + 30, 30, 30, layout, whole);  // 12 bytes lost: the cut frame is not joined
    EXPECT_EQ(starts, (std::vector<std::uint64_t>{0, 36}));
}

// Ten minutes of a unit 80 ppm fast against the server: the server takes a
// cycle's worth at its rate divided by the rate asked; the pieces come every
// 11 ms. The ring never runs dry nor overflows, and the rate found is the
// clocks' ratio.
// Ten minutes of a unit 80 ppm fast, its pieces every 5 ms, and 15 ms late
// every 3 s (the acquisition's thread busy): the ring never runs dry nor
// fills, the rate is found, and the late pieces barely bend it.
TEST(DriftMatch, HoldsTheRingAgainstClockDriftAndLatePieces)
{
    const double unit = 50000.0 * (1 + 80e-6), nominal = 50000.0, cycle_s = 256.0 / 48000.0;
    diffusion::DriftMatch drift(0.020 * nominal, 256, 48000);
    double fill = drift.target(), produced = 0.0, last_rate = 1.0, owed = 0.0;
    double least = fill, most = fill, bent = 0.0;
    for (double t = 0.0; t < 600.0; t += cycle_s) {
        produced += (std::floor((t + cycle_s) / 0.005) - std::floor(t / 0.005)) * 0.005 * unit;
        if (const double late = std::fmod(t, 3.0); late < 1.0 || late > 1.015) {
            fill += std::floor(produced);
            produced -= std::floor(produced);
        }
        last_rate = drift.rate(static_cast<std::size_t>(fill));
        owed += cycle_s * nominal / last_rate;
        fill -= std::floor(owed);
        owed -= std::floor(owed);
        if (t > 2.0) {
            least = std::min(least, fill);
            most = std::max(most, fill);
        }
        if (t > 60.0)
            bent = std::max(bent, std::abs(1.0 / last_rate - (1 + 80e-6)));
    }
    EXPECT_GT(least, 0.0);
    EXPECT_LT(most, 4 * drift.target());
    EXPECT_NEAR(1.0 / last_rate, 1 + 80e-6, 20e-6);
    EXPECT_LT(bent, 1e-4);
}

TEST(LatencyRecord, GivesTheMedianAndTheWorst)
{
    diffusion::LatencyRecord record;
    EXPECT_EQ(record.quantile_ms(0.5), -1);
    for (double ms : {12.2, 13.9, 14.1, 30.5, 2000.0})
        record.add(ms);
    EXPECT_EQ(record.quantile_ms(0.5), 15);
    EXPECT_EQ(record.quantile_ms(1.0), 1001);
}

} // namespace
