#include "picture/spectrum_plot.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <vector>

namespace SonivarACQ32::spectrum {

namespace {

constexpr double range_db = 80.0;  // levels shown below the top of the scale
constexpr int margin_left = 56, margin_right = 12, margin_top = 24, margin_bottom = 34;

QString frequency_label(double f)
{
    return f >= 1000.0 ? QString::number(f / 1000.0) + QStringLiteral("k") : QString::number(f);
}

void draw_grid(QPainter& p, const PlotAxes& a, const std::string& unit)
{
    p.setPen(QPen(QColor(220, 220, 220), 1));
    p.setFont(QFont(p.font().family(), 8));
    for (double decade = 1.0; decade <= 100000.0; decade *= 10.0)
        for (double step : {1.0, 2.0, 5.0}) {
            const double f = decade * step;
            if (f < a.f_min || f > a.f_max)
                continue;
            const double x = a.x_of(f);
            p.setPen(QPen(QColor(220, 220, 220), 1));
            p.drawLine(QPointF(x, a.area.top()), QPointF(x, a.area.bottom()));
            p.setPen(Qt::black);
            p.drawText(QRectF(x - 20, a.area.bottom() + 2, 40, 14), Qt::AlignCenter, frequency_label(f));
        }
    for (double db = a.db_bottom; db <= a.db_top + 1e-9; db += 10.0) {
        const double y = a.y_of(db);
        p.setPen(QPen(QColor(220, 220, 220), 1));
        p.drawLine(QPointF(a.area.left(), y), QPointF(a.area.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(0, y - 7, margin_left - 4, 14), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(db, 'f', 0));
    }
    p.setPen(Qt::black);
    p.drawRect(a.area);
    p.drawText(QRectF(4, 2, 200, 18), Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(unit));
    p.drawText(QRectF(a.area.left(), a.area.bottom() + 16, a.area.width(), 16), Qt::AlignCenter,
               QStringLiteral("Fréquence (Hz)"));
}

void draw_levels(QPainter& p, const PlotAxes& a, const PlotData& d)
{
    p.save();
    p.setClipRect(a.area);
    if (d.bars) {
        const double half = std::pow(2.0, 1.0 / 6.0);
        for (std::size_t i = 0; i < d.lines.size(); ++i) {
            const double f = d.lines[i].frequency;
            const QRectF bar(QPointF(a.x_of(f / half) + 1, a.y_of(d.levels[i])), QPointF(a.x_of(f * half) - 1, a.area.bottom()));
            p.fillRect(bar, QColor(40, 90, 180));
        }
    } else {
        // Bins that fall on the same pixel column (the high ones, on a log
        // axis) are drawn as one stroke from that column's lowest to its
        // highest level.
        struct Column {
            double x, top, bottom;
        };
        std::vector<Column> columns;
        for (std::size_t i = 0; i < d.lines.size(); ++i) {
            const double x = std::round(a.x_of(d.lines[i].frequency)), y = a.y_of(d.levels[i]);
            if (!columns.empty() && columns.back().x == x) {
                columns.back().top = std::min(columns.back().top, y);
                columns.back().bottom = std::max(columns.back().bottom, y);
            } else {
                columns.push_back({x, y, y});
            }
        }
        QPolygonF line;
        for (const Column& c : columns) {
            line << QPointF(c.x, c.top);
            if (c.bottom != c.top)
                line << QPointF(c.x, c.bottom);
        }
        p.setPen(QPen(QColor(40, 90, 180), 1.5));
        p.drawPolyline(line);
    }
    p.restore();
}

// The zone's bands as orange outlines over the microphones' spectrum.
void draw_zone(QPainter& p, const PlotAxes& a, const PlotData& d)
{
    p.save();
    p.setClipRect(a.area);
    p.setPen(QPen(QColor(230, 120, 20), 2));
    p.setBrush(Qt::NoBrush);
    const double half = std::pow(2.0, 1.0 / 6.0);
    for (std::size_t i = 0; i < d.zone_bands.size() && i < d.zone_levels.size(); ++i) {
        const double f = d.zone_bands[i].frequency;
        p.drawRect(QRectF(QPointF(a.x_of(f / half) + 1, a.y_of(d.zone_levels[i])), QPointF(a.x_of(f * half) - 1, a.area.bottom())));
    }
    p.restore();
}

} // namespace

double PlotAxes::x_of(double f) const
{
    const double t = std::log(std::max(f, f_min) / f_min) / std::log(f_max / f_min);
    return area.left() + t * area.width();
}

double PlotAxes::frequency_at(double x) const
{
    const double t = std::clamp((x - area.left()) / area.width(), 0.0, 1.0);
    return f_min * std::pow(f_max / f_min, t);
}

double PlotAxes::y_of(double level_db) const
{
    const double t = (db_top - std::clamp(level_db, db_bottom, db_top)) / (db_top - db_bottom);
    return area.top() + t * area.height();
}

PlotAxes plot_axes(const PlotData& d, QSize size)
{
    PlotAxes a;
    a.area = QRectF(margin_left, margin_top, std::max(10, size.width() - margin_left - margin_right),
                    std::max(10, size.height() - margin_top - margin_bottom));
    if (!d.lines.empty()) {
        const double lowest = d.bars ? d.lines.front().frequency / std::pow(2.0, 1.0 / 6.0) : d.lines.front().frequency;
        a.f_min = std::max(1.0, lowest);
        a.f_max = std::max(a.f_min * 2.0, d.bars ? d.lines.back().frequency * std::pow(2.0, 1.0 / 6.0) : d.nyquist);
    }
    double top = d.levels.empty() ? 0.0 : *std::max_element(d.levels.begin(), d.levels.end());
    if (!d.zone_levels.empty())
        top = std::max(top, *std::max_element(d.zone_levels.begin(), d.zone_levels.end()));
    a.db_top = std::ceil((top + 1.0) / 10.0) * 10.0;
    a.db_bottom = a.db_top - range_db;
    return a;
}

namespace {

// The axes, their grid and their labels change only when the scale does:
// a live spectrum redraws them from the last picture's.
QImage background(const PlotAxes& a, QSize size, const std::string& unit)
{
    struct Kept {
        QSize size;
        double f_min = 0, f_max = 0, db_top = 0;
        std::string unit;
        QImage image;
    };
    thread_local Kept kept;
    if (kept.image.isNull() || kept.size != size || kept.f_min != a.f_min || kept.f_max != a.f_max ||
        kept.db_top != a.db_top || kept.unit != unit) {
        kept = {size, a.f_min, a.f_max, a.db_top, unit, QImage(size, QImage::Format_RGB32)};
        kept.image.fill(Qt::white);
        QPainter p(&kept.image);
        draw_grid(p, a, unit);
    }
    return kept.image;
}

} // namespace

QImage titled_spectrum_image(const PlotData& d, QSize size, const std::vector<QString>& lines)
{
    constexpr int line_height = 18;
    const int title = static_cast<int>(lines.size()) * line_height + (lines.empty() ? 0 : 8);
    QImage image(size.width(), size.height() + title, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(Qt::black);
    for (std::size_t i = 0; i < lines.size(); ++i)
        p.drawText(QRect(margin_left, 4 + static_cast<int>(i) * line_height, size.width() - margin_left, line_height),
                   Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
    p.drawImage(0, title, spectrum_image(d, size));
    return image;
}

QImage spectrum_image(const PlotData& d, QSize size)
{
    const PlotAxes a = plot_axes(d, size);
    QImage image = background(a, size, d.unit);
    QPainter p(&image);
    if (d.shade_upper > d.shade_lower)
        p.fillRect(QRectF(QPointF(a.x_of(d.shade_lower), a.area.top()), QPointF(a.x_of(d.shade_upper), a.area.bottom())),
                   QColor(255, 160, 60, 70));
    draw_levels(p, a, d);
    draw_zone(p, a, d);
    return image;
}

} // namespace SonivarACQ32::spectrum
