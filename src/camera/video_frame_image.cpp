#include "camera/video_frame_image.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace SonivarACQ32::camera {

namespace {

AVPixelFormat av_format(QVideoFrameFormat::PixelFormat f)
{
    switch (f) {
    case QVideoFrameFormat::Format_YUYV: return AV_PIX_FMT_YUYV422;
    case QVideoFrameFormat::Format_UYVY: return AV_PIX_FMT_UYVY422;
    case QVideoFrameFormat::Format_NV12: return AV_PIX_FMT_NV12;
    case QVideoFrameFormat::Format_NV21: return AV_PIX_FMT_NV21;
    case QVideoFrameFormat::Format_YUV420P: return AV_PIX_FMT_YUV420P;
    case QVideoFrameFormat::Format_YUV422P: return AV_PIX_FMT_YUV422P;
    case QVideoFrameFormat::Format_Y8: return AV_PIX_FMT_GRAY8;
    case QVideoFrameFormat::Format_XRGB8888:
    case QVideoFrameFormat::Format_ARGB8888: return AV_PIX_FMT_0RGB;
    case QVideoFrameFormat::Format_BGRX8888:
    case QVideoFrameFormat::Format_BGRA8888: return AV_PIX_FMT_BGR0;
    case QVideoFrameFormat::Format_RGBX8888:
    case QVideoFrameFormat::Format_RGBA8888: return AV_PIX_FMT_RGB0;
    case QVideoFrameFormat::Format_XBGR8888:
    case QVideoFrameFormat::Format_ABGR8888: return AV_PIX_FMT_0BGR;
    default: return AV_PIX_FMT_NONE;
    }
}

struct ScalerDeleter {
    void operator()(SwsContext* c) const { sws_freeContext(c); }
};

// The frame mapped for reading for as long as this lives.
class Mapped {
public:
    explicit Mapped(QVideoFrame& f) : frame_(f), ok_(f.map(QVideoFrame::ReadOnly)) {}
    ~Mapped()
    {
        if (ok_)
            frame_.unmap();
    }
    Mapped(const Mapped&) = delete;
    Mapped& operator=(const Mapped&) = delete;
    explicit operator bool() const { return ok_; }

private:
    QVideoFrame& frame_;
    bool ok_;
};

QImage scaled_to_rgb(const QVideoFrame& frame, AVPixelFormat from)
{
    const int w = frame.width(), h = frame.height();
    thread_local std::unique_ptr<SwsContext, ScalerDeleter> scaler;
    scaler.reset(sws_getCachedContext(scaler.release(), w, h, from, w, h, AV_PIX_FMT_RGB32, SWS_POINT, nullptr,
                                      nullptr, nullptr));
    if (!scaler)
        return {};
    QImage out(w, h, QImage::Format_RGB32);
    const uint8_t* planes[4] = {};
    int strides[4] = {};
    for (int p = 0; p < frame.planeCount() && p < 4; ++p) {
        planes[p] = frame.bits(p);
        strides[p] = frame.bytesPerLine(p);
    }
    uint8_t* dst[4] = {out.bits(), nullptr, nullptr, nullptr};
    const int dst_stride[4] = {static_cast<int>(out.bytesPerLine()), 0, 0, 0};
    sws_scale(scaler.get(), planes, strides, 0, h, dst, dst_stride);
    return out;
}

} // namespace

QImage image_of(const QVideoFrame& source)
{
    QVideoFrame frame = source;
    if (!frame.isValid() || frame.width() <= 0 || frame.height() <= 0)
        return {};
    const Mapped mapped(frame);
    if (!mapped)
        return {};
    if (frame.pixelFormat() == QVideoFrameFormat::Format_Jpeg)
        return QImage::fromData(frame.bits(0), frame.mappedBytes(0), "JPEG").convertToFormat(QImage::Format_RGB32);
    const AVPixelFormat from = av_format(frame.pixelFormat());
    return from == AV_PIX_FMT_NONE ? QImage() : scaled_to_rgb(frame, from);
}

} // namespace SonivarACQ32::camera
