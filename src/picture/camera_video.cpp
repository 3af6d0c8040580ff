#include "picture/camera_video.h"
#include "picture/av_output.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/intreadwrite.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>

namespace SonivarACQ32::picture {

namespace {

constexpr std::uint64_t block_addition_id = 1;  // the one Matroska keeps for opaque data
constexpr AVRational milliseconds{1, 1000};
constexpr const char* camera_tag = "CAMERA";
constexpr const char* geometry_tag = "CAMERA_GEOMETRY";

// The frame a packet carries, if any.
std::optional<std::uint64_t> stamp_of(const AVPacket* packet)
{
    size_t size = 0;
    const std::uint8_t* data = av_packet_get_side_data(packet, AV_PKT_DATA_MATROSKA_BLOCKADDITIONAL, &size);
    if (data == nullptr || size < 16 || AV_RB64(data) != block_addition_id)
        return std::nullopt;
    return AV_RB64(data + 8);
}

struct Input {
    AVFormatContext* format = nullptr;
    int stream = -1;
    ~Input() { avformat_close_input(&format); }
    int open(const std::string& path)
    {
        if (const int opened = avformat_open_input(&format, path.c_str(), nullptr, nullptr); opened < 0)
            return opened;
        avformat_find_stream_info(format, nullptr);
        stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        return stream;
    }
};

} // namespace

struct CameraVideoWriter::Impl : AvOutput {
    QSize size;
    double rate = 0.0;
    int pictures = 0;
    std::int64_t last_ms = -1;

    bool encoder(std::string& error);
    bool drain(std::uint64_t dat_frame, std::string& error);
};

bool CameraVideoWriter::Impl::encoder(std::string& error)
{
    const AVCodec* mjpeg = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    codec = mjpeg != nullptr ? avcodec_alloc_context3(mjpeg) : nullptr;
    if (codec == nullptr)
        return error = "aucun encodeur JPEG", false;
    codec->width = size.width();
    codec->height = size.height();
    codec->time_base = milliseconds;
    codec->pix_fmt = AV_PIX_FMT_YUVJ420P;
    codec->color_range = AVCOL_RANGE_JPEG;
    codec->flags |= AV_CODEC_FLAG_QSCALE;
    codec->global_quality = FF_QP2LAMBDA * 3;  // about 90 % JPEG quality
    if (const int opened = avcodec_open2(codec, mjpeg, nullptr); opened < 0)
        return error = "encodeur JPEG : " + av_reason(opened), false;
    stream = avformat_new_stream(format, nullptr);
    if (stream == nullptr || avcodec_parameters_from_context(stream->codecpar, codec) < 0)
        return error = "flux vidéo impossible", false;
    stream->time_base = milliseconds;
    return true;
}

// Each packet carries the .dat frame of its picture.
bool CameraVideoWriter::Impl::drain(std::uint64_t dat_frame, std::string& error)
{
    const auto stamp = [dat_frame](AVPacket* p) {
        std::uint8_t* extra = av_packet_new_side_data(p, AV_PKT_DATA_MATROSKA_BLOCKADDITIONAL, 16);
        if (extra == nullptr)
            return false;
        AV_WB64(extra, block_addition_id);
        AV_WB64(extra + 8, dat_frame);
        return true;
    };
    return AvOutput::drain(stamp, false, error);
}

CameraVideoWriter::CameraVideoWriter() : d_(std::make_unique<Impl>()) {}
CameraVideoWriter::~CameraVideoWriter() = default;
int CameraVideoWriter::pictures() const { return d_->pictures; }

bool CameraVideoWriter::open(const std::string& path, QSize size, double sample_rate, std::string& error,
                             const CameraTags& tags)
{
    av_log_set_level(AV_LOG_ERROR);
    d_ = std::make_unique<Impl>();
    Impl& d = *d_;
    d.size = QSize((size.width() + 1) / 2 * 2, (size.height() + 1) / 2 * 2);
    d.rate = sample_rate;
    if (d.size.isEmpty() || !(sample_rate > 0.0))
        return error = "taille de l'image ou cadence invalide", false;
    if (avformat_alloc_output_context2(&d.format, nullptr, "matroska", path.c_str()) < 0 || d.format == nullptr)
        return error = "format Matroska indisponible", false;
    if (!d.encoder(error))
        return false;
    if (!tags.name.empty())
        av_dict_set(&d.format->metadata, camera_tag, tags.name.c_str(), 0);
    if (tags.geometry)
        av_dict_set(&d.format->metadata, geometry_tag, acoustic_map::camera_text(*tags.geometry).toStdString().c_str(), 0);
    // Clusters of a second at most: that is all a kill can lose.
    return d.begin(path, {{"cluster_time_limit", "1000"}, {"flush_packets", "1"}}, "Matroska", error) &&
           d.picture_buffers(AV_PIX_FMT_YUVJ420P, d.size.width(), d.size.height(), error);
}

bool CameraVideoWriter::add(const QImage& picture, std::uint64_t dat_frame, std::string& error)
{
    Impl& d = *d_;
    if (d.codec == nullptr || d.frame == nullptr)
        return error = "vidéo non ouverte", false;
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    d.scale = sws_getCachedContext(d.scale, rgb.width(), rgb.height(), AV_PIX_FMT_RGB32, d.size.width(),
                                   d.size.height(), AV_PIX_FMT_YUVJ420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (d.scale == nullptr || av_frame_make_writable(d.frame) < 0)
        return error = "mémoire insuffisante", false;
    const std::uint8_t* source[1] = {rgb.constBits()};
    const int stride[1] = {static_cast<int>(rgb.bytesPerLine())};
    sws_scale(d.scale, source, stride, 0, rgb.height(), d.frame->data, d.frame->linesize);
    // Players want rising times: two pictures in one millisecond are a
    // millisecond apart.
    const auto ms = static_cast<std::int64_t>(std::llround(static_cast<double>(dat_frame) / d.rate * 1000.0));
    d.last_ms = std::max(ms, d.last_ms + 1);
    d.frame->pts = d.last_ms;
    if (const int sent = avcodec_send_frame(d.codec, d.frame); sent < 0)
        return error = "encodage : " + av_reason(sent), false;
    ++d.pictures;
    return d.drain(dat_frame, error);
}

bool CameraVideoWriter::close(std::string& error)
{
    Impl& d = *d_;
    if (!d.header)
        return error = "vidéo non ouverte", false;
    avcodec_send_frame(d.codec, nullptr);
    if (!d.drain(0, error))
        return false;
    return d.finish(error);
}

std::string camera_video_path(const std::string& dat_path)
{
    const std::size_t slash = dat_path.find_last_of('/');
    const std::size_t dot = dat_path.find_last_of('.');
    const bool has_ending = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (has_ending ? dat_path.substr(0, dot) : dat_path) + ".mkv";
}

std::optional<CameraVideoIndex> read_camera_video(const std::string& path, std::string& error)
{
    CameraVideoReader reader;
    if (!reader.open(path, error))
        return std::nullopt;
    return reader.index();
}

struct CameraVideoReader::Impl {
    Input in;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* scale = nullptr;
    CameraVideoIndex index;
    std::vector<std::int64_t> times;  // each picture's time stamp, in the stream's time base
    std::optional<std::size_t> shown;  // the picture decoded last
    QImage image;

    ~Impl()
    {
        sws_freeContext(scale);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
    }
    bool read_index(std::string& error);
    QImage decode(std::size_t k);
    QImage rgb_of(const AVFrame* f);
};

bool CameraVideoReader::Impl::read_index(std::string& error)
{
    const AVCodecParameters* p = in.format->streams[in.stream]->codecpar;
    index.size = QSize(p->width, p->height);
    if (const AVDictionaryEntry* name = av_dict_get(in.format->metadata, camera_tag, nullptr, 0))
        index.tags.name = name->value;
    if (const AVDictionaryEntry* geometry = av_dict_get(in.format->metadata, geometry_tag, nullptr, 0))
        index.tags.geometry = acoustic_map::camera_from_text(QString::fromUtf8(geometry->value));
    const AVCodec* decoder = avcodec_find_decoder(p->codec_id);
    codec = decoder != nullptr ? avcodec_alloc_context3(decoder) : nullptr;
    if (codec == nullptr || packet == nullptr || frame == nullptr || avcodec_parameters_to_context(codec, p) < 0 ||
        avcodec_open2(codec, decoder, nullptr) < 0)
        return error = "décodeur indisponible", false;
    while (av_read_frame(in.format, packet) >= 0) {
        if (packet->stream_index == in.stream)
            if (const auto stamp = stamp_of(packet)) {
                index.frames.push_back(*stamp);
                times.push_back(packet->pts);
            }
        av_packet_unref(packet);
    }
    return true;
}

QImage CameraVideoReader::Impl::rgb_of(const AVFrame* f)
{
    QImage out(f->width, f->height, QImage::Format_RGB32);
    scale = sws_getCachedContext(scale, f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
                                 f->height, AV_PIX_FMT_RGB32, SWS_POINT, nullptr, nullptr, nullptr);
    if (scale == nullptr)
        return {};
    std::uint8_t* dst[1] = {out.bits()};
    const int stride[1] = {static_cast<int>(out.bytesPerLine())};
    sws_scale(scale, f->data, f->linesize, 0, f->height, dst, stride);
    return out;
}

// Sought by its time, then read up to its own packet: each picture is a
// JPEG of its own, so it alone is decoded.
QImage CameraVideoReader::Impl::decode(std::size_t k)
{
    if (av_seek_frame(in.format, in.stream, times[k], AVSEEK_FLAG_BACKWARD) < 0)
        return {};
    QImage out;
    bool found = false;
    while (!found && av_read_frame(in.format, packet) >= 0) {
        found = packet->stream_index == in.stream && packet->pts == times[k] && stamp_of(packet) == index.frames[k];
        if (found && avcodec_send_packet(codec, packet) >= 0 && avcodec_receive_frame(codec, frame) >= 0)
            out = rgb_of(frame);
        av_packet_unref(packet);
    }
    return out;
}

CameraVideoReader::CameraVideoReader() : d_(std::make_unique<Impl>()) {}
CameraVideoReader::~CameraVideoReader() = default;
const CameraVideoIndex& CameraVideoReader::index() const { return d_->index; }

bool CameraVideoReader::open(const std::string& path, std::string& error)
{
    av_log_set_level(AV_LOG_ERROR);
    d_ = std::make_unique<Impl>();
    if (const int found = d_->in.open(path); found < 0)
        return error = "vidéo illisible : " + av_reason(found), false;
    return d_->read_index(error);
}

CameraVideoReader::Picture CameraVideoReader::picture(std::size_t k)
{
    Impl& d = *d_;
    if (k >= d.index.frames.size())
        return {};
    if (d.shown != k) {
        d.image = d.decode(k);
        d.shown = k;
    }
    return {d.image, d.index.frames[k]};
}

CameraVideoReader::Picture CameraVideoReader::at(std::uint64_t dat_frame)
{
    const auto& frames = d_->index.frames;
    const auto after = std::upper_bound(frames.begin(), frames.end(), dat_frame);
    return picture(after == frames.begin() ? 0 : static_cast<std::size_t>(after - frames.begin()) - 1);
}

} // namespace SonivarACQ32::picture
