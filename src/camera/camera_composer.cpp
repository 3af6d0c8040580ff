#include "camera/camera_composer.h"

#include "picture/map_picture.h"

#include <QPainter>

namespace SonivarACQ32::camera {

void CameraComposer::set_stage(const CameraStage& stage)
{
    const std::lock_guard lock(mutex_);
    stage_ = stage;
}

void CameraComposer::set_map(const QImage& over)
{
    const std::lock_guard lock(mutex_);
    over_ = over;
}

QImage CameraComposer::compose(const QImage& picture) const
{
    CameraStage stage;
    QImage over;
    {
        const std::lock_guard lock(mutex_);
        stage = stage_;
        over = over_;
    }
    const int side = stage.grid.side() * stage.cell;
    QImage out(side, side, QImage::Format_RGB32);
    out.fill(Qt::black);
    QPainter painter(&out);
    if (!picture.isNull())
        acoustic_map::draw_picture_on_plane(painter, picture,
                                            acoustic_map::camera_placement(stage.camera, stage.grid.z, picture.size()),
                                            stage.grid, stage.cell);
    if (!over.isNull() && over.size() == out.size())
        painter.drawImage(0, 0, over);
    return out;
}

} // namespace SonivarACQ32::camera
