#include "picture/map_image.h"

#include "picture/colour_map.h"

#include <algorithm>
#include <cmath>

namespace SonivarACQ32::acoustic_map {

int colour_index(float level_db, float max_db, int range_db)
{
    const int top = colours::nb_levels - 1;
    if (range_db <= 0)
        return top;
    const double below = (max_db - level_db) / range_db;  // 0 at the maximum, 1 at the floor
    const long index = std::lround(top * (1.0 - below));
    return static_cast<int>(std::clamp<long>(index, 0, top));
}

QImage map_image(const Map& map, int range_db, int pixels_per_point, float top_db)
{
    const float top = std::isnan(top_db) ? map.max_db : top_db;
    static const colours::ColourMap palette = colours::colour_map();
    QImage image(map.side, map.side, QImage::Format_RGB32);
    for (int j = 0; j < map.side; ++j) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(map.side - 1 - j));
        for (int i = 0; i < map.side; ++i) {
            const int c = colour_index(map.level_db[static_cast<std::size_t>(j) * map.side + i],
                                       top, range_db);
            row[i] = qRgb(palette.red[c], palette.green[c], palette.blue[c]);
        }
    }
    const int size = map.side * std::max(1, pixels_per_point);
    return image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

} // namespace SonivarACQ32::acoustic_map
