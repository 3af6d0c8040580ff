#include "map_png.h"

#include "cli.h"
#include "picture_context.h"

#include "picture/recording_video.h"

namespace sonivar_dat {

namespace am = SonivarACQ32::acoustic_map;

QString time_window(const Recording& r, SonivarACQ32::stream::FrameRange range)
{
    const double rate = sampling_rate_hz(r.header);
    return SonivarACQ32::picture::interval_text(range.first / rate, range.end / rate);
}

QImage framed_map(const am::Map& map, const am::Settings& settings, const QString& window, std::optional<double> top_db,
                  QSize bound)
{
    ensure_picture_context();
    return SonivarACQ32::picture::framed_map(map, settings, window, top_db, bound);
}

bool write_map_png(const std::string& path, const am::Map& map, const am::Settings& settings, const QString& window,
                   std::optional<double> top_db, QSize bound)
{
    return write_png(framed_map(map, settings, window, top_db, bound), path);
}

} // namespace sonivar_dat
