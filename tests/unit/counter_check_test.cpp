#include "stream/stream_format.h"
#include "acquisition/counter_check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace counter = SonivarACQ32::counter;

namespace {

constexpr std::uint64_t packet_words = SonivarACQ32::stream::packet_words;

// Where the first frame of packet p starts, and the frame number there,
// straight from the stream layout: packet p begins at word p x 262144 and
// frames begin at the multiples of nb_voies.
counter::Checkpoint from_layout(std::uint64_t p, std::uint32_t first_counter, int nb_voies)
{
    const std::uint64_t start = p * packet_words;
    const std::uint64_t n = static_cast<std::uint64_t>(nb_voies);
    const std::uint64_t frame = (start + n - 1) / n;  // first frame starting in the packet
    return {static_cast<std::uint32_t>(frame * n - start),
            static_cast<std::int32_t>(static_cast<std::uint32_t>(first_counter + frame))};
}

} // namespace

TEST(CounterCheck, WorkedPositionsAndExpectedValues)
{
    struct Row { int nb_voies; std::vector<std::uint32_t> positions; std::vector<std::int32_t> steps; };
    const std::vector<Row> rows = {
        {32, {0, 0, 0, 0}, {8192, 8192, 8192}},
        {9, {0, 8, 7, 6, 5}, {29128, 29127, 29127, 29127}},
        {33, {0, 8, 16, 24, 32, 7, 15}, {7944, 7944, 7944, 7944, 7943, 7944}},
    };
    for (const Row& r : rows) {
        const auto ip = counter::increment_position(r.nb_voies);
        const auto ic = counter::increment_compteur(r.nb_voies);
        counter::Checkpoint c{0, 1000};
        ASSERT_EQ(c.position, r.positions[0]);
        for (std::size_t k = 1; k < r.positions.size(); ++k) {
            const counter::Checkpoint next = counter::next_checkpoint(c, r.nb_voies, ip, ic);
            EXPECT_EQ(next.position, r.positions[k]) << "nb_voies " << r.nb_voies << " packet " << k;
            EXPECT_EQ(next.expected - c.expected, r.steps[k - 1])
                << "nb_voies " << r.nb_voies << " packet " << k;
            c = next;
        }
    }
}

// For every frame width the unit can send, the checkpoints followed packet
// by packet name the frame starts of the stream itself.
TEST(CounterCheck, FollowsTheStreamLayoutForEveryWidth)
{
    for (int n = 1; n <= 34; ++n) {
        const auto ip = counter::increment_position(n);
        const auto ic = counter::increment_compteur(n);
        counter::Checkpoint c = from_layout(0, 5, n);
        for (std::uint64_t p = 1; p < 3 * static_cast<std::uint64_t>(n) + 2; ++p) {
            c = counter::next_checkpoint(c, n, ip, ic);
            const counter::Checkpoint truth = from_layout(p, 5, n);
            ASSERT_EQ(c.position, truth.position) << "nb_voies " << n << " packet " << p;
            ASSERT_EQ(c.expected, truth.expected) << "nb_voies " << n << " packet " << p;
        }
    }
}

TEST(CounterCheck, ExpectedValueWrapsAtTwoToThe32)
{
    const int n = 33;
    const std::uint32_t first = 0xFFFFFF00u;
    counter::Checkpoint c = from_layout(0, first, n);
    for (std::uint64_t p = 1; p <= 3; ++p) {
        c = counter::next_checkpoint(c, n, counter::increment_position(n),
                                     counter::increment_compteur(n));
        EXPECT_EQ(c.expected, from_layout(p, first, n).expected) << p;
    }
    EXPECT_LT(static_cast<std::uint32_t>(c.expected), first);  // it did wrap
}

TEST(CounterCheck, WhichPacketsAreChecked)
{
    struct Row { std::uint32_t len; int nb_voies; bool compteur, erreur, checked; };
    const std::vector<Row> rows = {
        {1048576, 33, true, false, true},
        {16 * 33, 33, true, false, false},      // four frames or less: not checked
        {16 * 33 + 1, 33, true, false, true},
        {0, 1, true, false, false},
        {1048576, 33, false, false, false},     // counter channel off
        {1048576, 33, true, true, false},       // an error already reported
        {1048576, 0, true, false, false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(counter::packet_is_checked(r.len, r.nb_voies, r.compteur, r.erreur), r.checked)
            << r.len << " " << r.nb_voies << " " << r.compteur << " " << r.erreur;
}
