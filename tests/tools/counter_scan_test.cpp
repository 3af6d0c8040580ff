// The frame-by-frame counter check on streams with known damage. The
// expected gaps are derived from the damage itself (where words were removed
// or changed), not from the scanner.
#include "counter_scan.h"
#include "recording_maker.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using sonivar_dat::CounterGap;
using sonivar_dat::CounterScanner;

struct Scan {
    std::vector<CounterGap> gaps;
    std::uint64_t frames_checked = 0;
    std::uint64_t frames_lost = 0;
};

// Feeds `words` in blocks of `block` words, carrying over what the scanner
// leaves unconsumed, as a file reader does.
Scan scan(const std::vector<std::uint32_t>& words, int nb_voies, std::size_t block)
{
    CounterScanner s(nb_voies);
    std::vector<std::uint32_t> buffer;
    std::size_t next = 0;
    do {
        const std::size_t take = std::min(block, words.size() - next);
        buffer.insert(buffer.end(), words.begin() + next, words.begin() + next + take);
        next += take;
        const bool last = next == words.size();
        const std::size_t used = s.feed(buffer.data(), buffer.size(), last);
        EXPECT_TRUE(!last || used == buffer.size());
        buffer.erase(buffer.begin(), buffer.begin() + used);
    } while (next < words.size());
    return {s.gaps(), s.frames_checked(), s.frames_lost()};
}

testsupport::RecordingPlan spec_for(int micros, bool status, std::uint32_t frames)
{
    testsupport::RecordingPlan plan;
    plan.micros.clear();
    for (int m = 0; m < micros; ++m)
        plan.micros.push_back(m);
    plan.status = status;
    plan.frames = frames;
    return plan;
}

struct Shape {
    int micros;
    bool status;
};

void PrintTo(const Shape& s, std::ostream* os)
{
    *os << s.micros << " micros" << (s.status ? " + status" : "");
}

class CounterScan : public testing::TestWithParam<Shape> {
protected:
    int nb_voies() const { return GetParam().micros + 1 + (GetParam().status ? 1 : 0); }
    testsupport::RecordingPlan plan(std::uint32_t frames) const
    {
        return spec_for(GetParam().micros, GetParam().status, frames);
    }
    // Every block size must give the same result.
    std::vector<std::size_t> blocks(std::size_t total) const { return {1, 97, total}; }
};

TEST_P(CounterScan, WholeStreamHasNoGapWhateverTheBlocks)
{
    auto s = plan(700);
    s.first_counter = 0xFFFFFF00u;  // wraps through 0 on the way
    const auto words = testsupport::stream_words(s);
    for (std::size_t block : blocks(words.size())) {
        const Scan r = scan(words, nb_voies(), block);
        EXPECT_TRUE(r.gaps.empty()) << "block " << block;
        EXPECT_EQ(r.frames_checked, 700u);
    }
}

TEST_P(CounterScan, CounterJumpIsOneGapWithTheFramesLost)
{
    auto s = plan(600);
    auto words = testsupport::stream_words(s);
    const std::size_t nv = nb_voies(), at = 250, by = 37;
    for (std::size_t f = at; f < 600; ++f)
        words[f * nv] += by;
    for (std::size_t block : blocks(words.size())) {
        const Scan r = scan(words, nb_voies(), block);
        ASSERT_EQ(r.gaps.size(), 1u) << "block " << block;
        const CounterGap& g = r.gaps[0];
        EXPECT_EQ(g.frame, at);
        EXPECT_EQ(g.byte_offset, at * nv * 4);
        EXPECT_EQ(g.expected, at);
        EXPECT_EQ(g.found, at + by);
        EXPECT_EQ(g.frames_lost, static_cast<std::int64_t>(by));
        EXPECT_EQ(g.skipped_words, 0u);
        EXPECT_EQ(r.frames_lost, by);
        EXPECT_EQ(r.frames_checked, 600u);
    }
}

TEST_P(CounterScan, OneWrongCounterWordLosesNothing)
{
    auto words = testsupport::stream_words(plan(300));
    const std::size_t nv = nb_voies();
    words[120 * nv] = 5;
    words[299 * nv] = 7;  // the very last frame: no frame after it to confirm
    const Scan r = scan(words, nb_voies(), 97);
    ASSERT_EQ(r.gaps.size(), 2u);
    EXPECT_EQ(r.gaps[0].frame, 120u);
    EXPECT_EQ(r.gaps[0].found, 5u);
    EXPECT_EQ(r.gaps[0].frames_lost, 0);
    EXPECT_EQ(r.gaps[1].frame, 299u);
    EXPECT_EQ(r.gaps[1].expected, 299u);
    EXPECT_EQ(r.gaps[1].found, 7u);
}

TEST_P(CounterScan, CounterGoingBackIsReportedAsNegativeLoss)
{
    auto words = testsupport::stream_words(plan(400));
    const std::size_t nv = nb_voies();
    for (std::size_t f = 200; f < 400; ++f)
        words[f * nv] -= 50;  // 50 frames repeated
    const Scan r = scan(words, nb_voies(), 4096);
    ASSERT_EQ(r.gaps.size(), 1u);
    EXPECT_EQ(r.gaps[0].frames_lost, -50);
    EXPECT_EQ(r.frames_lost, 0u);
}

// Removing words [start, start + count) from a stream of frames numbered from
// 0. The scanner meets the damage at the first frame start p at or after
// `start`; the counter runs on at the first whole original frame after the
// hole, q, whose number is what it finds.
CounterGap expected_after_hole(std::size_t start, std::size_t count, std::size_t nv)
{
    const std::size_t p = (start + nv - 1) / nv * nv;
    const std::size_t q = (p + count + nv - 1) / nv * nv;
    CounterGap g;
    g.frame = p / nv;
    g.byte_offset = 4 * p;
    g.expected = static_cast<std::uint32_t>(p / nv);
    g.found = static_cast<std::uint32_t>(q / nv);
    g.frames_lost = static_cast<std::int64_t>(q / nv - p / nv);
    g.skipped_words = q - count - p;
    return g;
}

TEST_P(CounterScan, DroppedBlockIsOneGapEvenWhenNotWholeFrames)
{
    const std::size_t nv = nb_voies();
    struct Hole {
        std::size_t start, count;
    };
    // A lost 1 MiB packet, and holes of odd sizes at odd places.
    const Hole holes[] = {{262144, 262144}, {1000, 5}, {33 * 40, 33 * 3}, {7 * nv + 1, nv}};
    for (const Hole& h : holes) {
        // Enough frames for two packets of 262 144 words and then some.
        auto words = testsupport::stream_words(plan(static_cast<std::uint32_t>(600000 / nv + 100)));
        words.erase(words.begin() + h.start, words.begin() + h.start + h.count);
        const CounterGap want = expected_after_hole(h.start, h.count, nv);
        for (std::size_t block : {std::size_t{4096}, words.size()}) {
            const Scan r = scan(words, nb_voies(), block);
            ASSERT_EQ(r.gaps.size(), 1u) << "hole at " << h.start << " block " << block;
            const CounterGap& g = r.gaps[0];
            EXPECT_EQ(g.frame, want.frame);
            EXPECT_EQ(g.byte_offset, want.byte_offset);
            EXPECT_EQ(g.expected, want.expected);
            EXPECT_EQ(g.found, want.found);
            EXPECT_EQ(g.frames_lost, want.frames_lost);
            EXPECT_EQ(g.skipped_words, want.skipped_words);
            EXPECT_TRUE(g.resumed);
        }
    }
}

TEST_P(CounterScan, CounterThatNeverResumesIsReportedOnce)
{
    auto words = testsupport::stream_words(plan(500));
    const std::size_t nv = nb_voies();
    std::fill(words.begin() + 321 * nv + 1, words.end(), 0u);  // frame 321 keeps its counter
    const Scan r = scan(words, nb_voies(), 97);
    ASSERT_EQ(r.gaps.size(), 1u);
    EXPECT_FALSE(r.gaps[0].resumed);
    EXPECT_EQ(r.gaps[0].frame, 322u);
    EXPECT_EQ(r.gaps[0].expected, 322u);
}

TEST_P(CounterScan, WordsBeforeTheFirstCounterRunAreDamage)
{
    auto words = testsupport::stream_words(plan(200));
    words.insert(words.begin(), {0xDEADBEEFu, 0x12345678u, 9u});
    const Scan r = scan(words, nb_voies(), 97);
    ASSERT_EQ(r.gaps.size(), 1u);
    EXPECT_EQ(r.gaps[0].skipped_words, 3u);
    EXPECT_EQ(r.frames_checked, 200u);
}

INSTANTIATE_TEST_SUITE_P(Frames, CounterScan,
                         testing::Values(Shape{0, false}, Shape{8, false}, Shape{32, false},
                                         Shape{32, true}, Shape{3, true}));

TEST(CounterScanLimits, KeepsTheFirstGapsButCountsThemAll)
{
    auto words = testsupport::stream_words(spec_for(1, false, 1000));
    for (std::size_t f = 10; f < 1000; f += 10)
        words[f * 2] = 0xFFFF0000u + f;  // 99 single wrong words
    CounterScanner s(2, 5);
    s.feed(words.data(), words.size(), true);
    EXPECT_EQ(s.gaps().size(), 5u);
    EXPECT_EQ(s.gap_count(), 99u);
}

} // namespace
