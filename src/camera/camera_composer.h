#pragma once
// The live picture under the map: each camera picture laid on the map's
// plane where the camera sees it, and the map's see-through picture (with
// its marks) over it. The window hands over the stage and the map as they
// change; the camera's worker composes each picture as it comes.
#include "map/grid.h"
#include "picture/camera_view.h"

#include <QImage>

#include <mutex>

namespace SonivarACQ32::camera {

struct CameraStage {
    acoustic_map::CameraGeometry camera;
    acoustic_map::Grid grid;  // the map's plane and grid, at grid.z
    int cell = 10;            // pixels per grid point
};

class CameraComposer {
public:
    void set_stage(const CameraStage& stage);
    // The map drawn over the pictures (see-through), the stage's size; null:
    // the pictures alone.
    void set_map(const QImage& over);
    // `picture` under the map, in a picture of the stage's size.
    QImage compose(const QImage& picture) const;

private:
    mutable std::mutex mutex_;
    CameraStage stage_;
    QImage over_;
};

} // namespace SonivarACQ32::camera
