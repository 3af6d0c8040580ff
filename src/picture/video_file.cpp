#include "picture/video_file.h"
#include "picture/av_output.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <QPainter>

namespace SonivarACQ32::picture {

struct VideoFile::Impl : AvOutput {
    QSize size;
    int frames = 0;

    bool encoder(int fps, std::string& error);
    bool drain(std::string& error) { return AvOutput::drain({}, true, error); }
};

// H.264 by x264 (the one Debian's FFmpeg has), quality over size: the map's
// colours and text stay sharp.
bool VideoFile::Impl::encoder(int fps, std::string& error)
{
    const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
    if (h264 == nullptr)
        h264 = avcodec_find_encoder(AV_CODEC_ID_H264);
    codec = h264 != nullptr ? avcodec_alloc_context3(h264) : nullptr;
    if (codec == nullptr)
        return error = "aucun encodeur H.264", false;
    codec->width = size.width();
    codec->height = size.height();
    codec->time_base = AVRational{1, fps};
    codec->framerate = AVRational{fps, 1};
    codec->pix_fmt = AV_PIX_FMT_YUV420P;
    codec->gop_size = fps;
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(codec->priv_data, "preset", "veryfast", 0);
    av_opt_set(codec->priv_data, "crf", "18", 0);
    if (const int opened = avcodec_open2(codec, h264, nullptr); opened < 0)
        return error = "encodeur H.264 : " + av_reason(opened), false;
    stream = avformat_new_stream(format, nullptr);
    if (stream == nullptr || avcodec_parameters_from_context(stream->codecpar, codec) < 0)
        return error = "flux vidéo impossible", false;
    stream->time_base = codec->time_base;
    stream->avg_frame_rate = codec->framerate;
    return true;
}

VideoFile::VideoFile() : d_(std::make_unique<Impl>()) {}
VideoFile::~VideoFile() = default;
int VideoFile::frames() const { return d_->frames; }

bool VideoFile::open(const std::string& path, QSize size, int fps, std::string& error)
{
    av_log_set_level(AV_LOG_ERROR);  // the encoder's statistics are not the operator's business
    d_ = std::make_unique<Impl>();
    Impl& d = *d_;
    d.size = QSize((size.width() + 1) / 2 * 2, (size.height() + 1) / 2 * 2);
    if (fps < 1 || fps > max_video_fps || d.size.isEmpty())
        return error = "taille ou cadence de la vidéo invalide", false;
    if (avformat_alloc_output_context2(&d.format, nullptr, "mp4", path.c_str()) < 0 || d.format == nullptr)
        return error = "format MP4 indisponible", false;
    if (!d.encoder(fps, error))
        return false;
    if (!d.begin(path, {{"movflags", "+faststart"}}, "MP4", error) ||
        !d.picture_buffers(AV_PIX_FMT_YUV420P, d.size.width(), d.size.height(), error))
        return false;
    d.scale = sws_getContext(d.size.width(), d.size.height(), AV_PIX_FMT_BGRA, d.size.width(), d.size.height(),
                             AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (d.scale == nullptr)
        return error = "mémoire insuffisante", false;
    return true;
}

bool VideoFile::add(const QImage& picture, std::string& error)
{
    Impl& d = *d_;
    if (d.codec == nullptr || d.frame == nullptr)
        return error = "vidéo non ouverte", false;
    // 32-bit pixels in memory order B, G, R, A on this machine: FFmpeg's BGRA.
    QImage canvas(d.size, QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        painter.drawImage(0, 0, picture);
    }
    if (av_frame_make_writable(d.frame) < 0)
        return error = "mémoire insuffisante", false;
    const std::uint8_t* source[1] = {canvas.constBits()};
    const int stride[1] = {static_cast<int>(canvas.bytesPerLine())};
    sws_scale(d.scale, source, stride, 0, d.size.height(), d.frame->data, d.frame->linesize);
    d.frame->pts = d.frames++;
    if (const int sent = avcodec_send_frame(d.codec, d.frame); sent < 0)
        return error = "encodage : " + av_reason(sent), false;
    return d.drain(error);
}

bool VideoFile::close(std::string& error)
{
    Impl& d = *d_;
    if (!d.header)
        return error = "vidéo non ouverte", false;
    avcodec_send_frame(d.codec, nullptr);
    if (!d.drain(error))
        return false;
    return d.finish(error);
}

} // namespace SonivarACQ32::picture
