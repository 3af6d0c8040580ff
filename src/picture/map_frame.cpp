// The framed picture of a map: its facts above, axes in metres, the dB
// scale with its unit on the right.
#include "picture/map_picture.h"

#include "picture/colour_map.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace SonivarACQ32::acoustic_map {

namespace {

constexpr int line_height = 18;
constexpr int left_margin = 60, bottom_margin = 46, bar_gap = 18, bar_width = 22, right_margin = 96;

QString text(const std::string& s) { return QString::fromStdString(s); }

// A round step giving at most eight intervals over the span.
double tick_step(double span)
{
    for (double step : {0.01, 0.02, 0.05, 0.1, 0.2, 0.25, 0.5, 1.0, 2.0, 5.0, 10.0})
        if (span / step <= 8.0)
            return step;
    return 20.0;
}

// Enough decimals to write every multiple of the step exactly (0.25: 2).
int decimals_of(double step)
{
    int decimals = 0;
    for (double scaled = step; decimals < 3 && std::abs(scaled - std::round(scaled)) > 1e-9; scaled *= 10.0)
        ++decimals;
    return decimals;
}

void draw_axes(QPainter& painter, const FramedLayout& layout, const MapView& view, const Annotations& notes)
{
    const int cell = cell_pixels(view);
    const double step = tick_step(2.0 * view.grid.extent);
    const int decimals = decimals_of(step);
    painter.setPen(Qt::black);
    painter.drawRect(layout.map.adjusted(-1, -1, 0, 0));
    for (double v = std::ceil(-view.grid.extent / step - 1e-9) * step; v <= view.grid.extent + 1e-9; v += step) {
        const QPointF at = pixel_of(v, v, view.grid, cell) + QPointF(layout.map.topLeft());
        const QString label = text(notes.number(v, decimals));
        painter.drawLine(QPointF(at.x(), layout.map.bottom()), QPointF(at.x(), layout.map.bottom() + 5));
        painter.drawText(QRectF(at.x() - 30, layout.map.bottom() + 6, 60, 16), Qt::AlignHCenter, label);
        painter.drawLine(QPointF(layout.map.left() - 5, at.y()), QPointF(layout.map.left(), at.y()));
        painter.drawText(QRectF(0, at.y() - 8, layout.map.left() - 8, 16), Qt::AlignRight | Qt::AlignVCenter, label);
    }
    painter.drawText(QRect(layout.map.left(), layout.map.bottom() + 24, layout.map.width(), 18), Qt::AlignHCenter,
                     QStringLiteral("x (m), vu depuis l'antenne"));
    painter.save();
    painter.translate(12, layout.map.center().y());
    painter.rotate(-90);
    painter.drawText(QRect(-60, -10, 120, 18), Qt::AlignHCenter, QStringLiteral("y (m)"));
    painter.restore();
}

void draw_scale(QPainter& painter, const FramedLayout& layout, const MapView& view, const Annotations& notes)
{
    draw_colour_scale(painter, layout.scale, scale_top(view), shown_range_db(view), notes);
}

} // namespace

void draw_colour_scale(QPainter& painter, const QRect& bar, float top, int range, const Annotations& notes)
{
    const colours::ColourMap palette = colours::colour_map();
    for (int y = 0; y < bar.height(); ++y) {
        const int index = (colours::nb_levels - 1) - y * colours::nb_levels / bar.height();
        painter.fillRect(bar.left(), bar.top() + y, bar.width(), 1,
                         QColor(palette.red[index], palette.green[index], palette.blue[index]));
    }
    painter.setPen(Qt::black);
    painter.drawText(QRect(bar.left() - 10, bar.top() - line_height - 2, right_margin + 20, line_height),
                     Qt::AlignLeft, notes.unit);
    range = std::max(range, 1);
    const int step = range >= 20 ? 10 : range >= 10 ? 5 : range >= 4 ? 2 : 1;
    for (int below = 0; below <= range; below += step) {
        const double y = bar.top() + static_cast<double>(below) / range * (bar.height() - 1);
        painter.drawLine(QPointF(bar.right() + 1, y), QPointF(bar.right() + 5, y));
        painter.drawText(QRectF(bar.right() + 8, y - 8, right_margin, 16), Qt::AlignLeft | Qt::AlignVCenter,
                         text(notes.number(top - below, 1)));
    }
}

void draw_title(QPainter& painter, const std::vector<QString>& lines, int width)
{
    QFont font = painter.font();
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (std::size_t i = 0; i < lines.size(); ++i)
        painter.drawText(QRect(8, 6 + static_cast<int>(i) * line_height, width - 16, line_height),
                         Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
}

FramedLayout framed_layout(QSize map_size, std::size_t lines)
{
    const int top = static_cast<int>(lines) * line_height + 12 + line_height;
    FramedLayout layout;
    layout.map = QRect(QPoint(left_margin, top), map_size);
    layout.scale = QRect(layout.map.right() + 1 + bar_gap, top, bar_width, map_size.height());
    layout.size = QSize(layout.scale.right() + 1 + right_margin, layout.map.bottom() + 1 + bottom_margin);
    return layout;
}

QImage framed_picture(const QImage& map_picture, const MapView& view, const Annotations& notes)
{
    const FramedLayout layout = framed_layout(map_picture.size(), notes.lines.size());
    QImage out(layout.size, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter painter(&out);
    draw_title(painter, notes.lines, layout.size.width());
    painter.drawImage(layout.map.topLeft(), map_picture);
    draw_axes(painter, layout, view, notes);
    draw_scale(painter, layout, view, notes);
    return out;
}

} // namespace SonivarACQ32::acoustic_map
