#include "carte/video_export.h"

#include "app/format.h"
#include "recording/temporary_file.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace SonivarACQ32 {

VideoExport::VideoExport(QObject* parent) : QObject(parent) {}

VideoExport::~VideoExport()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

bool VideoExport::start(const stream::Recording& recording, const picture::RecordingVideoRequest& request,
                        const QString& path)
{
    if (running_)
        return false;
    if (thread_.joinable())
        thread_.join();  // the one before, ended
    running_ = true;
    stop_ = false;
    thread_ = std::thread([this, recording, request, path] { run(recording, request, path); });
    return true;
}

void VideoExport::end(const QString& text, bool ok)
{
    QMetaObject::invokeMethod(this, [this, text, ok] {
        running_ = false;
        emit fini(text, ok);
    }, Qt::QueuedConnection);
}

void VideoExport::run(stream::Recording recording, picture::RecordingVideoRequest request, QString path)
{
    const QString name = QFileInfo(path).fileName();
    std::string temp;
    const int fd = create_temporary(request.spill_folder, temp);
    if (fd < 0)
        return end(QStringLiteral("Vidéo non exportée (%1) : %2").arg(name, QString::fromLocal8Bit(std::strerror(errno))), false);
    ::close(fd);
    int shown = -1;
    const picture::RecordingVideoResult result =
        picture::write_recording_video(recording, request, temp, [&](const char* stage, int done, int total) {
            const int percent = 100 * done / total;
            if (percent != shown || done == 1) {
                shown = percent;
                QMetaObject::invokeMethod(this, [this, s = QString::fromUtf8(stage), done, total] {
                    emit avance(s, done, total);
                }, Qt::QueuedConnection);
            }
            return !stop_;
        });
    const bool named = result.error.empty() && !result.stopped && std::rename(temp.c_str(), path.toLocal8Bit().constData()) == 0;
    if (!named)
        ::unlink(temp.c_str());
    if (result.stopped)
        return end(QStringLiteral("Export de la vidéo arrêté : aucun fichier écrit"), false);
    if (!named)
        return end(QStringLiteral("Vidéo non exportée (%1) : %2")
                       .arg(name, result.error.empty() ? QString::fromLocal8Bit(std::strerror(errno))
                                                       : QString::fromStdString(result.error)),
                   false);
    QString text = QStringLiteral("Vidéo exportée : %1, %2 images (%3 par seconde)")
                       .arg(name, fmt::fr(result.frames, 0)).arg(request.fps);
    if (!request.under.camera_video.empty())
        text += QStringLiteral(", sur %1 images de la caméra").arg(fmt::fr(result.camera_pictures, 0));
    end(text, true);
}

} // namespace SonivarACQ32
