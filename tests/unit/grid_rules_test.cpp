#include "display/elapsed_label.h"
#include "grid_checks.h"
#include "selection/grid_rules.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace SonivarACQ32::grid_rules;
using SonivarACQ32::display::elapsed_label_follows_view;
using testsupport::consistent;

GridChecks all_checked()
{
    GridChecks s;
    for (auto& beam : s.micro)
        beam.fill(true);
    s.beam.fill(true);
    s.all = true;
    return s;
}

// Random operator clicks: after each, the invariant holds, and replaying
// the same rule on the result changes nothing.
TEST(GridRules, InvariantAndIdempotenceOverRandomClicks)
{
    std::mt19937 random(12345);
    GridChecks s = all_checked();
    for (int step = 0; step < 5000; ++step) {
        const int kind = static_cast<int>(random() % 3);
        const int k = static_cast<int>(random() % nb_beams);
        const int j = static_cast<int>(random() % mics_per_beam);
        GridChecks again;
        if (kind == 0) {
            s.micro[k][j] = !s.micro[k][j];
            after_micro_click(s, k);
            again = s;
            after_micro_click(again, k);
        } else if (kind == 1) {
            s.beam[k] = !s.beam[k];
            after_beam_click(s, k);
            again = s;
            after_beam_click(again, k);
        } else {
            s.all = !s.all;
            after_all_click(s);
            again = s;
            after_all_click(again);
        }
        ASSERT_TRUE(consistent(s)) << "step " << step;
        ASSERT_EQ(again.micro, s.micro);
        ASSERT_EQ(again.beam, s.beam);
        ASSERT_EQ(again.all, s.all);
    }
}

TEST(GridRules, ConsistencyDetectsEachBrokenRule)
{
    GridChecks s = all_checked();
    EXPECT_TRUE(consistent(s));
    s.micro[3][7] = false;
    EXPECT_FALSE(consistent(s));
    s = all_checked();
    s.all = false;
    EXPECT_FALSE(consistent(s));
}

TEST(ElapsedLabel, FollowsTheViewForOpenEndedOrLongRuns)
{
    struct Case {
        std::uint32_t count;
        float duree;
        bool follows;
    };
    const Case cases[] = {
        {0, 1.0f, true},          // open-ended run
        {0, 0.0f, true},
        {250000, 5.0f, false},    // short fixed run
        {2995000, 59.9f, false},  // 59.9 s as entered in the box is a short run
        {3000000, 60.0f, true},
        {2995005, 59.9001f, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(elapsed_label_follows_view(c.count, c.duree), c.follows)
            << c.count << " samples, " << c.duree << " s";
}

} // namespace
