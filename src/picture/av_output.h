#pragma once
// What the video writers share: FFmpeg's reason for an error code, and the
// objects of a file being written (container, encoder, stream, frame,
// packet, scaler), freed together whatever state the file is left in.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

namespace SonivarACQ32::picture {

std::string av_reason(int code);

struct AvOutput {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scale = nullptr;

    // Opens the file and writes the container's header with `options`
    // (name, value); `kind` names the format in the reason of a failure.
    bool begin(const std::string& path, std::initializer_list<std::pair<const char*, const char*>> options,
               const char* kind, std::string& error);
    // The frame and packet every picture goes through.
    bool picture_buffers(AVPixelFormat pixels, int width, int height, std::string& error);
    // Every packet the encoder has ready, into the file, each first given to
    // `mark` when there is one (false: it could not be marked); written as it
    // comes, or ordered by the container when `interleaved`.
    bool drain(const std::function<bool(AVPacket*)>& mark, bool interleaved, std::string& error);
    // The container's end (its index) written and the file closed.
    bool finish(std::string& error);
    bool header = false;  // written, and the trailer not yet

    AvOutput() = default;
    ~AvOutput();
    AvOutput(const AvOutput&) = delete;
    AvOutput& operator=(const AvOutput&) = delete;
};

} // namespace SonivarACQ32::picture
