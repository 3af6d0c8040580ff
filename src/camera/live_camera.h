#pragma once
// A camera filming the scene, live: Qt Multimedia's camera on the window's
// thread (it only hands frames on), each frame turned into a picture and
// composed under the map on a thread of its own. A frame that comes while
// the one before is still being composed or shown is left out, so a slow
// machine shows fewer pictures and never falls behind. A camera that fails
// or is unplugged stops and says so.
#include "camera/camera_composer.h"

#include <QCameraDevice>
#include <QImage>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

class QCamera;
class QMediaCaptureSession;
class QMediaDevices;
class QThread;
class QVideoFrame;
class QVideoSink;

namespace SonivarACQ32::camera {

class CameraRecorder;

// The format a camera is asked for: 640 x 480 (or the nearest size) at its
// highest rate, at least 25 images a second when it has one.
QCameraFormat chosen_format(const QCameraDevice& device);

class LiveCamera : public QObject {
    Q_OBJECT

public:
    explicit LiveCamera(QObject* parent = nullptr);
    ~LiveCamera() override;

    void start(const QCameraDevice& device);
    void stop();
    bool active() const { return camera_ != nullptr && !failed_; }
    QString name() const { return device_.description(); }
    CameraComposer& composer() { return composer_; }
    // The camera's newest picture, as it came (before it is composed).
    const QImage& last_picture() const { return last_; }
    // Every frame is also handed to `recorder` (none: null), whether shown or not.
    void set_recorder(CameraRecorder* recorder) { recorder_ = recorder; }
    std::uint64_t pictures = 0;  // composed and handed on since it started
    std::uint64_t left_out = 0;  // frames that came while one was in hand

signals:
    void picture(const QImage& composed);
    // The camera stopped on its own: unplugged, or failing (the reason).
    void lost(const QString& why);

private:
    void frame_arrived(const QVideoFrame& frame);
    void inputs_changed();
    void fail(const QString& why);

    CameraComposer composer_;
    QCameraDevice device_;
    std::unique_ptr<QCamera> camera_;
    std::unique_ptr<QMediaCaptureSession> session_;
    std::unique_ptr<QVideoSink> sink_;
    QMediaDevices* devices_ = nullptr;
    QThread* thread_ = nullptr;
    QObject* worker_ = nullptr;  // lives on thread_
    bool in_hand_ = false;       // a frame is being composed or shown
    bool failed_ = false;        // lost: stopping
    QImage last_;
    CameraRecorder* recorder_ = nullptr;
};

} // namespace SonivarACQ32::camera
