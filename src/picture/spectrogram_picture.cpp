#include "picture/spectrogram_picture.h"

#include "picture/colour_map.h"
#include "picture/map_image.h"
#include "spectrum/spectrum.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace SonivarACQ32::spectrum {

namespace am = acoustic_map;

namespace {

// A step of 1, 2 or 5 times a power of ten giving at most `most` intervals.
double round_step(double span, int most)
{
    const double rough = std::max(span / most, 1e-9);
    const double ten = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * ten >= rough)
            return m * ten;
    return 10.0 * ten;
}

int decimals_for(double step) { return step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9)); }

double level(const Spectrogram& d, int column, int bin, bool a_weighted)
{
    return stream::level_db(d.at(column, bin), d.unit) + (a_weighted ? a_weighting_db(d.frequency(bin)) : 0.0);
}

void draw_time_axis(QPainter& p, const QRect& plot, const Spectrogram& d)
{
    const double t0 = d.start_s, span = std::max(d.grid.columns() * d.grid.step_s(), 1e-9);
    const double step = round_step(span, 8);
    for (double t = std::ceil(t0 / step) * step; t <= t0 + span + 1e-9; t += step) {
        const double x = plot.left() + (t - t0) / span * plot.width();
        p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 5));
        p.drawText(QRectF(x - 40, plot.bottom() + 6, 80, 16), Qt::AlignHCenter,
                   QString::fromStdString(am::french_number(t, decimals_for(step))));
    }
    p.drawText(QRect(plot.left(), plot.bottom() + 24, plot.width(), 18), Qt::AlignHCenter, QStringLiteral("Temps (s)"));
}

void draw_frequency_axis(QPainter& p, const QRect& plot, const Spectrogram& d)
{
    const double nyquist_khz = d.grid.sample_rate / 2000.0, step = round_step(nyquist_khz, 6);
    for (double f = 0.0; f <= nyquist_khz + 1e-9; f += step) {
        const double y = plot.bottom() - f / nyquist_khz * plot.height();
        p.drawLine(QPointF(plot.left() - 5, y), QPointF(plot.left(), y));
        p.drawText(QRectF(0, y - 8, plot.left() - 8, 16), Qt::AlignRight | Qt::AlignVCenter,
                   QString::fromStdString(am::french_number(f, decimals_for(step))));
    }
    p.save();
    p.translate(12, plot.center().y());
    p.rotate(-90);
    p.drawText(QRect(-80, -10, 160, 18), Qt::AlignHCenter, QStringLiteral("Fréquence (kHz)"));
    p.restore();
}

} // namespace

float spectrogram_top_db(const Spectrogram& d, bool a_weighted)
{
    double top = -std::numeric_limits<double>::infinity();
    for (int c = 0; c < d.done; ++c)
        for (int b = 1; b <= spectrogram_bins; ++b)
            top = std::max(top, level(d, c, b, a_weighted));
    return std::isfinite(top) ? static_cast<float>(top) : 0.0f;
}

QImage spectrogram_image(const Spectrogram& d, bool a_weighted, float top_db, int range_db)
{
    const colours::ColourMap palette = colours::colour_map();
    QImage image(std::max(1, d.grid.columns()), spectrogram_bins, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int c = 0; c < d.done; ++c)
        for (int b = 1; b <= spectrogram_bins; ++b) {
            const int i = am::colour_index(static_cast<float>(level(d, c, b, a_weighted)), top_db, range_db);
            image.setPixel(c, spectrogram_bins - b, qRgb(palette.red[i], palette.green[i], palette.blue[i]));
        }
    return image;
}

double SpectrogramLayout::time_at(const Spectrogram& d, double x) const
{
    const QRect& plot = frame.map;
    const double share = std::clamp((x - plot.left()) / std::max(1, plot.width()), 0.0, 1.0);
    return d.start_s + share * d.grid.columns() * d.grid.step_s();
}

double SpectrogramLayout::frequency_at(const Spectrogram& d, double y) const
{
    const QRect& plot = frame.map;
    const double share = std::clamp((plot.bottom() - y) / std::max(1, plot.height()), 0.0, 1.0);
    return share * d.grid.sample_rate / 2.0;
}

SpectrogramLayout spectrogram_layout(QSize plot, std::size_t lines) { return {am::framed_layout(plot, lines)}; }

QImage framed_spectrogram(const Spectrogram& d, bool a_weighted, float top_db, int range_db, QSize plot,
                          const std::vector<QString>& lines)
{
    const SpectrogramLayout layout = spectrogram_layout(plot, lines.size());
    QImage out(layout.frame.size, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter painter(&out);
    am::draw_title(painter, lines, layout.frame.size.width());
    painter.drawImage(layout.frame.map, spectrogram_image(d, a_weighted, top_db, range_db));
    painter.setPen(Qt::black);
    painter.drawRect(layout.frame.map.adjusted(-1, -1, 0, 0));
    draw_time_axis(painter, layout.frame.map, d);
    draw_frequency_axis(painter, layout.frame.map, d);
    am::draw_colour_scale(painter, layout.frame.scale, top_db, range_db,
                          {QString::fromStdString(stream::unit_label(d.unit, a_weighted)), {}, am::french_number});
    return out;
}

} // namespace SonivarACQ32::spectrum
