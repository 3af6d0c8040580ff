#pragma once
// A map as the operator sees it and as it is kept: the coloured map with
// the microphones, its maximum, the point listened to and its caption,
// over a photo of the scene if there is one; and the same picture framed
// with axes in metres, the dB scale with its unit and the facts of the map
// (method, band, time window, maximum), for a PNG worth keeping. Shared by
// the map window and the toolkit.
#include "picture/camera_view.h"
#include "map/beamformer.h"
#include "map/zones.h"

#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QRect>
#include <QString>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

class QPainter;

namespace SonivarACQ32::acoustic_map {

// A picture of the scene under the map, seen from the array (x to the
// right, y up): a photo, or a live camera's pictures, which are laid under
// the map as they come (`camera`: the map is then drawn see-through over
// nothing); where it lies on the map's plane, and how the map lies over it.
struct Backdrop {
    QImage photo;
    PicturePlacement place;
    bool camera = false;
    double opacity = 0.6;   // of the map's colours over the picture
    double threshold_db = 10.0;  // only levels this close to the scale's top are drawn

    bool under_map() const { return camera || !photo.isNull(); }
};

constexpr int view_pixels = 410;  // the side a picture has by default, about

struct MapView {
    const Map* map = nullptr;
    Grid grid;
    int range_db = 20;
    float top_db = std::nanf("");  // the scale's top; NaN: the map's own maximum
    std::vector<Position> microphones;
    std::optional<QPointF> listening;  // the point listened to, m
    const Backdrop* backdrop = nullptr;
    QString caption;  // top left, over the map
    int pixels = view_pixels;  // side of the picture wanted, about (whole cells)
    std::vector<Zone> zones;   // outlined and named
};

// The top of the scale the view is drawn with.
float scale_top(const MapView& view);
// The dB the colours span below it: the view's range, or over a photo the
// levels shown when fewer (the colour bar and its labels follow it).
int shown_range_db(const MapView& view);
// Pixels per grid point of the view's picture.
int cell_pixels(const MapView& view);
int cell_pixels(int pixels, int side);
QImage draw_map(const MapView& view);
// The map drawn for a picture under it: see-through where levels are below
// the backdrop's, its marks, zones and caption, transparent elsewhere.
QImage draw_map_over(const MapView& view);
// A picture laid on the map's plane as `place` says, in a picture of the
// view's grid at `cell` pixels per point.
void draw_picture_on_plane(QPainter& painter, const QImage& picture, const PicturePlacement& place,
                           const Grid& grid, int cell);

// The centre of the grid cell holding (x, y) in the picture, y upwards; and
// the point in metres under a pixel.
QPointF pixel_of(double x, double y, const Grid& grid, int cell);
QPointF metres_of(QPointF pixel, const Grid& grid, int cell);

// What the framed picture says besides the map: its unit, and lines of
// text above it.
struct Annotations {
    QString unit;
    std::vector<QString> lines;
    NumberText number = french_number;  // for the axes and the scale
};

// Where the framed picture puts the map and the colour bar.
struct FramedLayout {
    QSize size;
    QRect map;
    QRect scale;  // the colour bar, top colour at its top
};
FramedLayout framed_layout(QSize map_size, std::size_t lines);
// The colour bar: `range` dB below `top`, labelled every few dB, the unit
// above it; and the lines of text above a framed picture.
void draw_colour_scale(QPainter& painter, const QRect& bar, float top, int range, const Annotations& notes);
void draw_title(QPainter& painter, const std::vector<QString>& lines, int width);
QImage framed_picture(const QImage& map_picture, const MapView& view, const Annotations& notes);

// The method, its parameter and whether the diagonal is left out.
QString method_line(const Settings& settings, NumberText number = french_number);
// The band as a caption says it: "3 150 Hz, tiers d'octave (2 806 – 3 536
// Hz)", "Large bande 500 – 5 000 Hz, pondération A"; the edges of a
// third-octave only when `with_edges`.
QString band_line(const Settings& settings, bool with_edges, NumberText number = french_number);

// The lines of a map's facts: method, band, time window when one is given,
// maximum; numbers written by `number`.
std::vector<QString> map_facts(const Settings& settings, const Map& map, const QString& time_window,
                               NumberText number = french_number);

} // namespace SonivarACQ32::acoustic_map
