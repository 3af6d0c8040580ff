// Where a camera's picture lies on the map's plane, the alignment from one
// source, and the geometry as kept in the settings.
#include "picture/camera_view.h"

#include <gtest/gtest.h>

#include <cmath>

namespace am = SonivarACQ32::acoustic_map;

namespace {

TEST(CameraView, PlacedAsAPinholeSeesThePlaneAndAlignedFromOneSource)
{
    am::CameraGeometry c;
    c.fov_deg = 90.0;
    c.offset_x_mm = 120.0;
    c.offset_y_mm = -60.0;
    c.rotation_deg = 180;
    const am::PicturePlacement p = am::camera_placement(c, 2.0, QSize(640, 480));
    EXPECT_NEAR(p.width_m, 4.0, 1e-12);  // 2 d tan(45°)
    EXPECT_NEAR(p.height_m, 3.0, 1e-12);
    EXPECT_EQ(p.centre_m, QPointF(0.12, -0.06));
    EXPECT_EQ(p.rotation_deg, 180.0);

    // The picture shows the source 0.1 m right of where the map has it, at
    // 1 m: the lens moves 100 mm left; they were atan(0.1) apart.
    const am::Alignment a = am::align_camera(c, QPointF(0.3, 0.2), QPointF(0.4, 0.2), 1.0);
    EXPECT_NEAR(a.corrected.offset_x_mm, 20.0, 1e-9);
    EXPECT_NEAR(a.corrected.offset_y_mm, -60.0, 1e-9);
    EXPECT_EQ(a.corrected.fov_deg, c.fov_deg);
    const double expected = std::acos((0.3 * 0.4 + 0.2 * 0.2 + 1.0) / std::hypot(0.3, 0.2, 1.0) / std::hypot(0.4, 0.2, 1.0));
    EXPECT_NEAR(a.angle_deg, expected * 180.0 / M_PI, 1e-9);
    EXPECT_NEAR(am::angle_between_deg(QPointF(0, 0), QPointF(1, 0), 1.0), 45.0, 1e-9);
}

TEST(CameraView, KeptAsTextAndReadBackOnlyWhenSane)
{
    am::CameraGeometry c{72.5, -35.0, 12.5, true, 270};
    EXPECT_EQ(am::camera_from_text(am::camera_text(c)), c);
    for (const char* bad : {"", "60;0;0;0", "60;0;0;0;0;1", "abc;0;0;0;0", "5;0;0;0;0", "175;0;0;0;0",
                            "60;2500;0;0;0", "60;0;0;2;0", "60;0;0;0;45", "60;0;0;0;360", "60;0;0;0;-90", "nan;0;0;0;0"})
        EXPECT_FALSE(am::camera_from_text(QString::fromLatin1(bad))) << bad;
}

} // namespace
