#include "picture/scene_photo.h"

#include <QFileInfo>
#include <QImageReader>

namespace SonivarACQ32::picture {

namespace {

// A photo larger than this is not one of a scene (nor worth the memory).
constexpr qint64 max_photo_bytes = 64ll << 20;
constexpr int max_photo_megapixels = 100;

} // namespace

QImage read_scene_photo(const QString& path, QString& why)
{
    const QFileInfo file(path);
    QImage photo;
    if (!file.exists())
        why = QStringLiteral("fichier absent");
    else if (!file.isFile())
        why = QStringLiteral("ce n'est pas un fichier ordinaire");
    else if (file.size() > max_photo_bytes)
        why = QStringLiteral("fichier de plus de 64 Mio");
    else {
        QImageReader reader(path);
        reader.setAllocationLimit(max_photo_megapixels * 4);
        reader.setAutoTransform(true);
        if (!reader.read(&photo))
            why = reader.errorString();
    }
    return why.isEmpty() ? photo.convertToFormat(QImage::Format_RGB32) : QImage();
}

} // namespace SonivarACQ32::picture
