#include "camera/live_camera.h"

#include "camera/camera_recorder.h"
#include "camera/video_frame_image.h"

#include <QCamera>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QThread>
#include <QVideoFrame>
#include <QVideoSink>

#include <cmath>
#include <limits>

namespace SonivarACQ32::camera {

namespace {
constexpr QSize wanted_size(640, 480);
constexpr float wanted_rate = 25.0f;
} // namespace

QCameraFormat chosen_format(const QCameraDevice& device)
{
    QCameraFormat best;
    double best_score = std::numeric_limits<double>::infinity();
    for (const QCameraFormat& f : device.videoFormats()) {
        // Size first (how far from 640 x 480), then a rate of 25 or more,
        // then the highest rate.
        const double size_off = std::abs(f.resolution().width() - wanted_size.width()) +
                                std::abs(f.resolution().height() - wanted_size.height());
        const double score = size_off * 1000.0 + (f.maxFrameRate() >= wanted_rate ? 0.0 : 500.0) - f.maxFrameRate();
        if (score < best_score) {
            best_score = score;
            best = f;
        }
    }
    return best;
}

LiveCamera::LiveCamera(QObject* parent) : QObject(parent), devices_(new QMediaDevices(this)), thread_(new QThread(this))
{
    worker_ = new QObject;
    worker_->moveToThread(thread_);
    connect(thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_->start();
    connect(devices_, &QMediaDevices::videoInputsChanged, this, &LiveCamera::inputs_changed);
}

LiveCamera::~LiveCamera()
{
    stop();
    thread_->quit();
    thread_->wait();
}

void LiveCamera::start(const QCameraDevice& device)
{
    stop();
    device_ = device;
    camera_ = std::make_unique<QCamera>(device);
    session_ = std::make_unique<QMediaCaptureSession>();
    sink_ = std::make_unique<QVideoSink>();
    const QCameraFormat format = chosen_format(device);
    if (!format.isNull())
        camera_->setCameraFormat(format);
    session_->setCamera(camera_.get());
    session_->setVideoSink(sink_.get());
    connect(sink_.get(), &QVideoSink::videoFrameChanged, this, &LiveCamera::frame_arrived);
    connect(camera_.get(), &QCamera::errorOccurred, this, [this] { fail(camera_->errorString()); });
    pictures = left_out = 0;
    failed_ = false;
    camera_->start();
}

void LiveCamera::stop()
{
    if (camera_ == nullptr)
        return;
    camera_->stop();
    session_.reset();
    sink_.reset();
    camera_.reset();
    last_ = QImage();
}

// The frame goes to the worker unless one is still in hand; it holds the
// camera's buffer only until its picture is made.
void LiveCamera::frame_arrived(const QVideoFrame& frame)
{
    if (!frame.isValid())
        return;
    if (recorder_ != nullptr)
        recorder_->frame(frame);
    if (in_hand_) {
        ++left_out;
        return;
    }
    in_hand_ = true;
    QMetaObject::invokeMethod(worker_, [this, frame] {
        const QImage image = image_of(frame);
        const QImage composed = image.isNull() ? QImage() : composer_.compose(image);
        QMetaObject::invokeMethod(this, [this, image, composed] {
            in_hand_ = false;
            if (camera_ == nullptr || image.isNull())
                return;
            last_ = image;
            ++pictures;
            emit picture(composed);
        }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

void LiveCamera::inputs_changed()
{
    if (!active())
        return;
    for (const QCameraDevice& d : QMediaDevices::videoInputs())
        if (d.id() == device_.id())
            return;
    fail(QStringLiteral("débranchée"));
}

void LiveCamera::fail(const QString& why)
{
    if (!active())
        return;
    failed_ = true;
    camera_->disconnect(this);
    sink_->disconnect(this);
    // Stopped once out of the camera's own signal.
    QMetaObject::invokeMethod(this, [this] { stop(); }, Qt::QueuedConnection);
    emit lost(why);
}

} // namespace SonivarACQ32::camera
