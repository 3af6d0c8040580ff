#include "map_png.h"

#include "cli.h"
#include "picture_context.h"

#include "picture/map_picture.h"

#include <algorithm>

namespace sonivar_dat {

namespace am = SonivarACQ32::acoustic_map;

QString time_window(const Recording& r, SonivarACQ32::stream::FrameRange range)
{
    const double rate = sampling_rate_hz(r.header);
    return QString::fromStdString("Intervalle : " + decimal(range.first / rate, 2) + " s – " +
                                  decimal(range.end / rate, 2) + " s");
}

QImage framed_map(const am::Map& map, const am::Settings& settings, const QString& window, std::optional<double> top_db,
                  QSize bound)
{
    ensure_picture_context();
    am::MapView view;
    view.map = &map;
    view.grid = settings.grid;
    view.range_db = png_range_db;
    if (top_db)
        view.top_db = static_cast<float>(*top_db);
    am::Annotations notes;
    notes.unit = QString::fromStdString(am::unit_label(map));
    notes.lines = am::map_facts(settings, map, window);
    if (bound.isValid()) {  // the largest cells whose framed picture fits
        const int side = std::max(1, map.side);
        const auto fits = [&](int cell) {
            const QSize framed = am::framed_layout(QSize(cell * side, cell * side), notes.lines.size()).size;
            return framed.width() <= bound.width() && framed.height() <= bound.height();
        };
        int cell = std::max(1, bound.width() / side);
        while (cell > 1 && !fits(cell))
            --cell;
        view.pixels = cell * side;
    }
    return am::framed_picture(am::draw_map(view), view, notes);
}

bool write_map_png(const std::string& path, const am::Map& map, const am::Settings& settings, const QString& window,
                   std::optional<double> top_db, QSize bound)
{
    return write_png(framed_map(map, settings, window, top_db, bound), path);
}

} // namespace sonivar_dat
