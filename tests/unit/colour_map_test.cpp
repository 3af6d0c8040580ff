#include "picture/colour_map.h"

#include <gtest/gtest.h>

namespace {

using namespace SonivarACQ32::colours;

struct Row {
    int index;
    int red, green, blue;
};

TEST(ColourMap, SampleRows)
{
    const Row rows[] = {
        {0, 0, 0, 143},    {14, 0, 0, 255},    {15, 0, 8, 255},     {45, 0, 248, 255},
        {46, 0, 255, 255}, {47, 8, 255, 247},  {77, 248, 255, 7},   {78, 255, 255, 0},
        {79, 255, 247, 0}, {109, 255, 7, 0},   {110, 255, 0, 0},    {111, 247, 0, 0},
        {127, 119, 0, 0},
    };
    const ColourMap map = colour_map();
    for (const Row& r : rows) {
        EXPECT_EQ(map.red[r.index], r.red) << r.index;
        EXPECT_EQ(map.green[r.index], r.green) << r.index;
        EXPECT_EQ(map.blue[r.index], r.blue) << r.index;
    }
}

} // namespace
