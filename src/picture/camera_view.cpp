#include "picture/camera_view.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace SonivarACQ32::acoustic_map {

namespace {
constexpr double pi = 3.141592653589793;
constexpr double degrees = pi / 180.0;
} // namespace

PicturePlacement camera_placement(const CameraGeometry& camera, double distance_m, QSize picture_size)
{
    PicturePlacement p;
    p.centre_m = QPointF(camera.offset_x_mm / 1000.0, camera.offset_y_mm / 1000.0);
    p.width_m = 2.0 * distance_m * std::tan(camera.fov_deg * degrees / 2.0);
    const double aspect = picture_size.width() > 0 ? static_cast<double>(picture_size.height()) / picture_size.width() : 0.75;
    p.height_m = p.width_m * aspect;
    p.rotation_deg = camera.rotation_deg;
    p.mirror = camera.mirror;
    return p;
}

double angle_between_deg(QPointF a, QPointF b, double d)
{
    const double dot = a.x() * b.x() + a.y() * b.y() + d * d;
    const double norms = std::hypot(a.x(), a.y(), d) * std::hypot(b.x(), b.y(), d);
    return std::acos(std::clamp(dot / norms, -1.0, 1.0)) / degrees;
}

Alignment align_camera(const CameraGeometry& camera, QPointF map_m, QPointF seen_m, double distance_m)
{
    Alignment a;
    a.corrected = camera;
    a.corrected.offset_x_mm += (map_m.x() - seen_m.x()) * 1000.0;
    a.corrected.offset_y_mm += (map_m.y() - seen_m.y()) * 1000.0;
    a.angle_deg = angle_between_deg(map_m, seen_m, distance_m);
    return a;
}

QString camera_text(const CameraGeometry& c)
{
    return QStringLiteral("%1;%2;%3;%4;%5")
        .arg(QString::number(c.fov_deg, 'g', 8), QString::number(c.offset_x_mm, 'g', 8),
             QString::number(c.offset_y_mm, 'g', 8), QString::number(c.mirror ? 1 : 0), QString::number(c.rotation_deg));
}

std::optional<CameraGeometry> camera_from_text(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(';'));
    if (parts.size() != 5)
        return std::nullopt;
    bool ok[5] = {};
    CameraGeometry c;
    c.fov_deg = parts[0].toDouble(&ok[0]);
    c.offset_x_mm = parts[1].toDouble(&ok[1]);
    c.offset_y_mm = parts[2].toDouble(&ok[2]);
    const int mirror = parts[3].toInt(&ok[3]);
    c.rotation_deg = parts[4].toInt(&ok[4]);
    c.mirror = mirror == 1;
    for (bool b : ok)
        if (!b)
            return std::nullopt;
    const bool sane = c.fov_deg >= camera_fov_min && c.fov_deg <= camera_fov_max && std::fabs(c.offset_x_mm) <= camera_offset_max_mm &&
                      std::fabs(c.offset_y_mm) <= camera_offset_max_mm && (mirror == 0 || mirror == 1) &&
                      c.rotation_deg % 90 == 0 && c.rotation_deg >= 0 && c.rotation_deg < 360;
    return sane ? std::optional(c) : std::nullopt;
}

} // namespace SonivarACQ32::acoustic_map
