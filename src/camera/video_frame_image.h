#pragma once
// A camera's frame as a picture to draw: the layouts webcams deliver (YUYV,
// UYVY, NV12, planar YUV, RGB words, JPEG) turned into RGB32 by FFmpeg's
// scaler, on whatever thread calls it (each thread keeps its own scaler).
#include <QImage>
#include <QVideoFrame>

namespace SonivarACQ32::camera {

// The frame's picture; null when its layout is not one of those, or it
// cannot be read.
QImage image_of(const QVideoFrame& frame);

} // namespace SonivarACQ32::camera
