#pragma once
// The map window's video export, on a thread of its own: the recording
// under review mapped image by image and encoded, under a temporary name
// in the destination's folder, named once whole; its progress and outcome
// come back as signals on the window's thread. Stopping it, or closing the
// window, leaves no file.
#include "picture/recording_video.h"
#include "stream/recording.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <thread>

namespace SonivarACQ32 {

class VideoExport : public QObject {
    Q_OBJECT

public:
    explicit VideoExport(QObject* parent = nullptr);
    ~VideoExport() override;

    bool running() const { return running_; }
    // False when an export is already under way.
    bool start(const stream::Recording& recording, const picture::RecordingVideoRequest& request, const QString& path);
    void stop() { stop_ = true; }

signals:
    // "Cartes" or "Vidéo", images done of the total (at each whole percent).
    void avance(const QString& stage, int done, int total);
    // The outcome in the operator's words; `ok` when the video is written.
    void fini(const QString& text, bool ok);

private:
    void run(stream::Recording recording, picture::RecordingVideoRequest request, QString path);
    void end(const QString& text, bool ok);

    std::thread thread_;
    std::atomic<bool> stop_{false};
    bool running_ = false;
};

} // namespace SonivarACQ32
