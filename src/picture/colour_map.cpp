#include "picture/colour_map.h"

namespace SonivarACQ32::colours {

namespace {

// The rising ramps climb in steps of 8 from 0 and so top out at 248 before
// the component jumps to 255; the falling ramps start at 247.
std::int32_t red_of(int i)
{
    if (i <= 46) return 0;
    if (i <= 77) return 8 * (i - 46);
    if (i <= 110) return 255;
    return 255 - 8 * (i - 110);
}

std::int32_t green_of(int i)
{
    if (i <= 14) return 0;
    if (i <= 45) return 8 * (i - 14);
    if (i <= 78) return 255;
    if (i <= 109) return 255 - 8 * (i - 78);
    return 0;
}

std::int32_t blue_of(int i)
{
    if (i <= 14) return 143 + 8 * i;
    if (i <= 46) return 255;
    if (i <= 77) return 255 - 8 * (i - 46);
    return 0;
}

} // namespace

ColourMap colour_map()
{
    ColourMap map;
    for (int i = 0; i < nb_levels; ++i) {
        map.red[i] = red_of(i);
        map.green[i] = green_of(i);
        map.blue[i] = blue_of(i);
    }
    return map;
}

} // namespace SonivarACQ32::colours
