#pragma once
// The picture of a spectrum: a log frequency axis, levels in dB with their
// unit, narrow bands as a line or third-octaves as bars, and optionally the
// map's band shaded. The window and sonivar-dat draw the same picture.
#include "spectrum/spectrum.h"

#include <QImage>
#include <QRectF>
#include <QSize>

#include <string>
#include <vector>

namespace SonivarACQ32::spectrum {

struct PlotData {
    std::vector<Line> lines;
    std::vector<double> levels;  // dB, one per line
    bool bars = false;           // third-octave bands
    std::string unit;            // "dB SPL", "dBFS(A)"...
    double nyquist = 0.0;        // Hz
    double shade_lower = 0.0;    // Hz; shade_upper <= shade_lower: no shading
    double shade_upper = 0.0;
    // A zone's third-octave spectrum over it, outlined: bands by nominal
    // centre, and their levels (dB).
    std::vector<Line> zone_bands;
    std::vector<double> zone_levels;
};

// Where frequencies and levels fall in a picture of `size`.
struct PlotAxes {
    QRectF area;  // the plot inside the axes
    double f_min = 10.0, f_max = 25000.0;
    double db_top = 0.0, db_bottom = -80.0;
    double x_of(double frequency) const;
    double frequency_at(double x) const;
    double y_of(double level_db) const;
};

PlotAxes plot_axes(const PlotData& data, QSize size);
QImage spectrum_image(const PlotData& data, QSize size);
// The same under lines of text that say what it is (the recording, the
// microphones, the interval), for a picture kept apart from its window.
QImage titled_spectrum_image(const PlotData& data, QSize size, const std::vector<QString>& lines);

} // namespace SonivarACQ32::spectrum
