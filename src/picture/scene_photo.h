#pragma once
// A photo of the scene to lay under the maps. Only a regular file of a
// sensible size is read: a pipe would block and a device never end.
#include <QImage>
#include <QString>

namespace SonivarACQ32::picture {

// The photo, or a null image with the reason (French) in `why`.
QImage read_scene_photo(const QString& path, QString& why);

} // namespace SonivarACQ32::picture
