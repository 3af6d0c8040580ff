#include "picture/map_picture.h"

#include "picture/colour_map.h"
#include "picture/map_image.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace SonivarACQ32::acoustic_map {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

// The map's colours with the cells below the threshold left out and the
// rest at the backdrop's opacity.
QImage see_through(const QImage& colours, const Map& map, float top, const Backdrop& backdrop)
{
    QImage out = colours.convertToFormat(QImage::Format_ARGB32);
    const int cell = out.width() / std::max(1, map.side);
    const int alpha = static_cast<int>(std::lround(255.0 * std::clamp(backdrop.opacity, 0.0, 1.0)));
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        const int j = map.side - 1 - std::min(map.side - 1, y / cell);
        for (int x = 0; x < out.width(); ++x) {
            const int i = std::min(map.side - 1, x / cell);
            const float level = map.level_db[static_cast<std::size_t>(j) * map.side + i];
            row[x] = level >= top - backdrop.threshold_db ? qRgba(qRed(row[x]), qGreen(row[x]), qBlue(row[x]), alpha)
                                                          : qRgba(0, 0, 0, 0);
        }
    }
    return out;
}

void draw_marks(QPainter& painter, const MapView& view, int cell)
{
    const Map& map = *view.map;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(Qt::black);
    for (const Position& m : view.microphones)
        painter.drawEllipse(pixel_of(m.x, m.y, view.grid, cell), 3.0, 3.0);
    // A ring with ticks outside it: the maximum's own cell stays visible,
    // which matters for CLEAN-SC, whose sources are single cells.
    const QPointF top = pixel_of(map.max_x, map.max_y, view.grid, cell);
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(top, 11.0, 11.0);
    for (const QPointF tick : {QPointF(1, 0), QPointF(-1, 0), QPointF(0, 1), QPointF(0, -1)})
        painter.drawLine(top + 11.0 * tick, top + 18.0 * tick);
    if (view.listening) {  // a cross, apart from the maximum's ring
        const QPointF p = pixel_of(view.listening->x(), view.listening->y(), view.grid, cell);
        painter.setPen(QPen(Qt::magenta, 2));
        painter.drawLine(p + QPointF(-7, -7), p + QPointF(7, 7));
        painter.drawLine(p + QPointF(-7, 7), p + QPointF(7, -7));
    }
}

// Each zone outlined in white over a dark edge (seen over any colour or
// photo), its name inside its top left corner.
void draw_zones(QPainter& painter, const MapView& view, int cell)
{
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setBrush(Qt::NoBrush);
    for (const Zone& z : view.zones) {
        QRectF box;
        if (z.shape == Zone::Shape::circle) {
            const QPointF c = pixel_of(z.x0, z.y0, view.grid, cell);
            const double r = z.r / view.grid.step * cell;
            box = QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r);
        } else {
            box = QRectF(pixel_of(std::min(z.x0, z.x1), std::max(z.y0, z.y1), view.grid, cell),
                         pixel_of(std::max(z.x0, z.x1), std::min(z.y0, z.y1), view.grid, cell));
        }
        for (const auto& [colour, width] : {std::pair{QColor(0, 0, 0, 170), 4}, std::pair{QColor(Qt::white), 2}}) {
            painter.setPen(QPen(colour, width));
            if (z.shape == Zone::Shape::circle)
                painter.drawEllipse(box);
            else
                painter.drawRect(box);
        }
        // The name centred just above the zone, or below it at the map's top.
        const QString name = QString::fromStdString(z.name);
        const QSizeF size = QSizeF(painter.fontMetrics().horizontalAdvance(name) + 6, painter.fontMetrics().height() + 2);
        QRectF label(QPointF(box.center().x() - size.width() / 2, box.top() - size.height() - 2), size);
        if (label.top() < 0)
            label.moveTop(box.bottom() + 2);
        painter.fillRect(label, QColor(0, 0, 0, 160));
        painter.setPen(Qt::white);
        painter.drawText(label, Qt::AlignCenter, name);
    }
}

// In the map's top left corner, on a dark band that keeps it readable over
// any colour.
void draw_caption(QPainter& painter, const QString& caption)
{
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    const QRect area = painter.fontMetrics().boundingRect(QRect(0, 0, 400, 100), Qt::AlignLeft, caption);
    painter.fillRect(area.adjusted(0, 0, 8, 4), QColor(0, 0, 0, 160));
    painter.setPen(Qt::white);
    painter.drawText(area.translated(4, 2), Qt::AlignLeft, caption);
}

} // namespace

float scale_top(const MapView& view) { return std::isnan(view.top_db) ? view.map->max_db : view.top_db; }

int shown_range_db(const MapView& view)
{
    if (view.backdrop == nullptr || !view.backdrop->under_map())
        return view.range_db;
    return std::clamp(static_cast<int>(std::lround(view.backdrop->threshold_db)), 1, view.range_db);
}

void draw_picture_on_plane(QPainter& painter, const QImage& picture, const PicturePlacement& place, const Grid& grid,
                           int cell)
{
    const double pixels_per_m = cell / grid.step;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(pixel_of(place.centre_m.x(), place.centre_m.y(), grid, cell));
    painter.rotate(place.rotation_deg);
    painter.scale(place.mirror ? -1.0 : 1.0, 1.0);
    const QSizeF size(place.width_m * pixels_per_m, place.height_m * pixels_per_m);
    painter.drawImage(QRectF(QPointF(-size.width() / 2.0, -size.height() / 2.0), size), picture);
    painter.restore();
}

int cell_pixels(int pixels, int side) { return std::max(1, pixels / std::max(1, side)); }

int cell_pixels(const MapView& view) { return cell_pixels(view.pixels, view.map->side); }

QPointF pixel_of(double x, double y, const Grid& grid, int cell)
{
    const double size = static_cast<double>(grid.side()) * cell;
    return {(x + grid.extent) / grid.step * cell + cell / 2.0, size - ((y + grid.extent) / grid.step * cell + cell / 2.0)};
}

QPointF metres_of(QPointF pixel, const Grid& grid, int cell)
{
    const double size = static_cast<double>(grid.side()) * cell;
    return {(pixel.x() - cell / 2.0) / cell * grid.step - grid.extent,
            (size - pixel.y() - cell / 2.0) / cell * grid.step - grid.extent};
}

QImage draw_map_over(const MapView& view)
{
    const int cell = cell_pixels(view);
    const float top = scale_top(view);
    QImage image = map_image(*view.map, shown_range_db(view), cell, top);
    if (view.backdrop != nullptr && view.backdrop->under_map())
        image = see_through(image, *view.map, top, *view.backdrop);
    QPainter painter(&image);
    draw_zones(painter, view, cell);
    draw_marks(painter, view, cell);
    if (!view.caption.isEmpty())
        draw_caption(painter, view.caption);
    return image;
}

QImage draw_map(const MapView& view)
{
    QImage over = draw_map_over(view);
    if (view.backdrop == nullptr || view.backdrop->camera || view.backdrop->photo.isNull())
        return over;  // a live camera's pictures are laid under it as they come
    QImage image(over.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    draw_picture_on_plane(painter, view.backdrop->photo, view.backdrop->place, view.grid, cell_pixels(view));
    painter.drawImage(0, 0, over);
    return image;
}

QString method_line(const Settings& s, NumberText number)
{
    QString method = text(method_caption(s.method, s.parameters, number));
    if (s.remove_diagonal)
        method += QStringLiteral(", sans la diagonale");
    return method;
}

QString band_line(const Settings& s, bool with_edges, NumberText number)
{
    QString band;
    if (s.band == BandKind::broadband) {
        band = QStringLiteral("Large bande %1 – %2 Hz").arg(text(number(s.lower_hz, 0)), text(number(s.upper_hz, 0)));
    } else {
        band = QStringLiteral("%1 Hz, ").arg(text(number(s.frequency, 0)));
        if (s.band == BandKind::single_bin) {
            band += QStringLiteral("raie unique");
        } else {
            band += QStringLiteral("tiers d'octave");
            const Edges e = third_octave_edges(s.frequency);
            if (with_edges)
                band += QStringLiteral(" (%1 – %2 Hz)").arg(text(number(e.lower, 0)), text(number(e.upper, 0)));
        }
    }
    if (s.a_weighted)
        band += QStringLiteral(", pondération A");
    return band;
}

std::vector<QString> map_facts(const Settings& s, const Map& map, const QString& time_window, NumberText number)
{
    const QString method = method_line(s, number);
    QString band = band_line(s, true, number);
    band += QStringLiteral(", plan à z = %1 m").arg(text(number(s.grid.z, 2)));
    std::vector<QString> lines = {method, band};
    if (!time_window.isEmpty())
        lines.push_back(time_window);
    lines.push_back(stream::is_silence(map.max_db, map.unit)
                        ? QStringLiteral("Maximum : silence")
                        : QStringLiteral("Maximum : x = %1 m, y = %2 m, %3 %4")
                              .arg(text(number(map.max_x, 2)), text(number(map.max_y, 2)),
                                   text(number(map.max_db, 1)), QString::fromStdString(unit_label(map))));
    return lines;
}

} // namespace SonivarACQ32::acoustic_map
