#pragma once
// The camera's pictures recorded with the run: while a run that writes a
// recording streams, every frame the camera delivers is written beside it
// (NAME.mkv for NAME.dat), stamped with the newest frame of the stream in
// hand when it arrived, on a thread of the recorder's own (decoding and
// JPEG encoding never touch the acquisition's path). A subscriber of the
// run's feed: it learns there when a run starts and ends, and how far its
// stream has come.
#include "feed/packet_feed.h"
#include "picture/camera_video.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

class QThread;
class QVideoFrame;

namespace SonivarACQ32::camera {

class CameraRecorder : public QObject, public feed::Subscriber {
    Q_OBJECT

public:
    explicit CameraRecorder(QObject* parent = nullptr);
    ~CameraRecorder() override;

    void capture(feed::Capture state, const feed::RunFacts& run) override;
    void piece(const feed::Piece& piece) override;
    // A camera frame as it arrives, on the window's thread.
    void frame(const QVideoFrame& frame);
    // The camera filming and how it sits, kept in a video begun from now.
    void set_camera(const picture::CameraTags& tags) { tags_ = tags; }
    bool recording() const { return recording_; }
    std::uint64_t written() const { return written_; }

signals:
    // A video begun, ended or failed, in the operator's words.
    void etat(const QString& text);

private:
    void end_video();

    QThread* thread_ = nullptr;
    QObject* worker_ = nullptr;  // lives on thread_
    struct Video;
    std::shared_ptr<Video> video_;  // the worker's, while a run records
    bool recording_ = false;
    std::size_t frame_bytes_ = 0;
    std::uint64_t newest_frame_ = 0;  // frames of the stream in hand
    bool stream_seen_ = false;        // a piece of this run has come
    picture::CameraTags tags_;
    std::atomic<std::uint64_t> written_{0};
};

} // namespace SonivarACQ32::camera
