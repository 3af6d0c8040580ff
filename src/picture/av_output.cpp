#include "picture/av_output.h"

namespace SonivarACQ32::picture {

std::string av_reason(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

bool AvOutput::begin(const std::string& path, std::initializer_list<std::pair<const char*, const char*>> options,
                     const char* kind, std::string& error)
{
    if (const int opened = avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE); opened < 0)
        return error = av_reason(opened), false;
    AVDictionary* dictionary = nullptr;
    for (const auto& [name, value] : options)
        av_dict_set(&dictionary, name, value, 0);
    const int written = avformat_write_header(format, &dictionary);
    av_dict_free(&dictionary);
    if (written < 0)
        return error = std::string("en-tête ") + kind + " : " + av_reason(written), false;
    header = true;
    return true;
}

bool AvOutput::picture_buffers(AVPixelFormat pixels, int width, int height, std::string& error)
{
    frame = av_frame_alloc();
    packet = av_packet_alloc();
    if (frame == nullptr || packet == nullptr)
        return error = "mémoire insuffisante", false;
    frame->format = pixels;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame, 0) < 0)
        return error = "mémoire insuffisante", false;
    return true;
}

bool AvOutput::drain(const std::function<bool(AVPacket*)>& mark, bool interleaved, std::string& error)
{
    for (;;) {
        const int got = avcodec_receive_packet(codec, packet);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
            return true;
        if (got < 0)
            return error = "encodage : " + av_reason(got), false;
        if (mark && !mark(packet))
            return error = "mémoire insuffisante", false;
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        const int written = interleaved ? av_interleaved_write_frame(format, packet) : av_write_frame(format, packet);
        if (written < 0)
            return error = "écriture : " + av_reason(written), false;
    }
}

bool AvOutput::finish(std::string& error)
{
    if (const int trailer = av_write_trailer(format); trailer < 0)
        return error = "fin de la vidéo : " + av_reason(trailer), false;
    header = false;
    if (const int closed = avio_closep(&format->pb); closed < 0)
        return error = av_reason(closed), false;
    return true;
}

AvOutput::~AvOutput()
{
    sws_freeContext(scale);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    if (format != nullptr && format->pb != nullptr)
        avio_closep(&format->pb);
    avformat_free_context(format);
}

} // namespace SonivarACQ32::picture
