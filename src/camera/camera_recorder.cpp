#include "camera/camera_recorder.h"

#include "camera/video_frame_image.h"

#include <QFileInfo>
#include <QThread>
#include <QVideoFrame>

namespace SonivarACQ32::camera {

// The video being written, known to the worker only (opened at its first
// picture: its size is the camera's).
struct CameraRecorder::Video {
    std::string path;
    double rate = 0.0;
    picture::CameraVideoWriter writer;
    bool open = false;
    bool failed = false;
};

CameraRecorder::CameraRecorder(QObject* parent) : QObject(parent), thread_(new QThread(this))
{
    worker_ = new QObject;
    worker_->moveToThread(thread_);
    connect(thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_->start();
}

CameraRecorder::~CameraRecorder()
{
    end_video();
    QMetaObject::invokeMethod(worker_, [] {}, Qt::BlockingQueuedConnection);  // the video closed
    thread_->quit();
    thread_->wait();
}

void CameraRecorder::capture(feed::Capture state, const feed::RunFacts& run)
{
    const bool records = state == feed::Capture::running && !run.recording.empty();
    if (records && !recording_) {
        video_ = std::make_shared<Video>();
        video_->path = picture::camera_video_path(run.recording);
        video_->rate = run.sample_rate;
        frame_bytes_ = run.layout.frame_bytes();
        newest_frame_ = 0;
        stream_seen_ = false;
        written_ = 0;
        recording_ = true;
    } else if (!records && recording_ && state != feed::Capture::running) {
        end_video();
    }
}

void CameraRecorder::piece(const feed::Piece& p)
{
    if (recording_ && frame_bytes_ > 0) {
        newest_frame_ = (p.stream_position + p.len) / frame_bytes_;
        stream_seen_ = true;
    }
}

void CameraRecorder::frame(const QVideoFrame& frame)
{
    if (!recording_ || !stream_seen_ || !frame.isValid())
        return;  // no stamp before the stream's first piece
    QMetaObject::invokeMethod(worker_, [this, video = video_, frame, stamp = newest_frame_, tags = tags_] {
        if (video->failed)
            return;
        const QImage image = image_of(frame);
        std::string error;
        if (!video->open && !image.isNull())
            video->open = video->writer.open(video->path, image.size(), video->rate, error, tags);
        const bool ok = video->open && !image.isNull() && video->writer.add(image, stamp, error);
        if (ok)
            ++written_;
        else if (!error.empty()) {
            video->failed = true;
            emit etat(QStringLiteral("Vidéo de la caméra interrompue (%1) : %2")
                          .arg(QFileInfo(QString::fromStdString(video->path)).fileName(), QString::fromStdString(error)));
        }
    }, Qt::QueuedConnection);
}

// After the pictures already handed over: the worker takes them in order.
void CameraRecorder::end_video()
{
    if (!recording_)
        return;
    recording_ = false;
    QMetaObject::invokeMethod(worker_, [this, video = std::move(video_)] {
        std::string error;
        if (!video->open || video->failed)
            return;
        const QString name = QFileInfo(QString::fromStdString(video->path)).fileName();
        emit etat(video->writer.close(error)
                      ? QStringLiteral("Vidéo de la caméra : %1, %2 images").arg(name).arg(video->writer.pictures())
                      : QStringLiteral("Vidéo de la caméra incomplète (%1) : %2").arg(name, QString::fromStdString(error)));
    }, Qt::QueuedConnection);
}

} // namespace SonivarACQ32::camera
