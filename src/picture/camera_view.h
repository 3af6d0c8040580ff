#pragma once
// Where a camera's picture lies on the map's plane. The camera looks along
// the array's axis from a point of the array's plane (its offset from the
// array's centre); a pinhole of horizontal field of view `fov` then sees, at
// the distance d of the map's plane, a rectangle 2 d tan(fov / 2) wide
// centred in front of the lens, so each grid point is drawn where the camera
// sees it. A mirrored picture (many webcams mirror theirs) is turned back,
// and a camera mounted on its side or upside down is turned upright.
#include <QImage>
#include <QPointF>
#include <QString>

#include <optional>

namespace SonivarACQ32::acoustic_map {

// The bounds the window's boxes take, and kept settings must be within.
constexpr double camera_fov_min = 10.0;
constexpr double camera_fov_max = 170.0;
constexpr double camera_offset_max_mm = 2000.0;

struct CameraGeometry {
    double fov_deg = 60.0;      // horizontal field of view, of the picture's width
    double offset_x_mm = 0.0;   // the lens relative to the array's centre, x to the right
    double offset_y_mm = 0.0;   // y up, seen from the array
    bool mirror = false;        // the picture comes mirrored left to right
    int rotation_deg = 0;       // 0, 90, 180 or 270: the picture is turned by this, clockwise

    friend bool operator==(const CameraGeometry&, const CameraGeometry&) = default;
};

// The rectangle of the plane a picture covers, in its own axes before it is
// turned, and how it is turned.
struct PicturePlacement {
    QPointF centre_m;            // its centre on the plane
    double width_m = 2.0;        // along the picture's own width
    double height_m = 1.5;
    double rotation_deg = 0.0;   // clockwise as seen
    bool mirror = false;
};

// The placement of a picture of `picture_size` taken by `camera` for a map
// at `distance_m`.
PicturePlacement camera_placement(const CameraGeometry& camera, double distance_m, QSize picture_size);

// The angle, in degrees, between the directions of two points of the plane
// at `distance_m`, seen from the array's centre.
double angle_between_deg(QPointF a_m, QPointF b_m, double distance_m);

// The alignment of a camera from one source in view: the map puts it at
// `map_m`, the picture shows it at `seen_m` (both on the map's plane, as the
// camera is placed now). The picture moves by their difference: the new
// offset, and the angle that was between them.
struct Alignment {
    CameraGeometry corrected;
    double angle_deg = 0.0;
};
Alignment align_camera(const CameraGeometry& camera, QPointF map_m, QPointF seen_m, double distance_m);

// The geometry as one line of text ("60;0;-60;0;0": field, offsets in mm,
// mirror, rotation), '.' decimals, for the kept settings; nothing when the
// text does not read or is out of range.
QString camera_text(const CameraGeometry& camera);
std::optional<CameraGeometry> camera_from_text(const QString& text);

} // namespace SonivarACQ32::acoustic_map
