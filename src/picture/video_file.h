#pragma once
// Pictures into an MP4 video (H.264, yuv420p, the moov atom first so that a
// browser plays it as it loads), one picture per frame at a fixed rate,
// with FFmpeg's libraries. Pictures of another size are drawn at the
// video's top left on white; odd sizes are made even, as H.264 asks.
#include <QImage>
#include <QSize>

#include <memory>
#include <string>

namespace SonivarACQ32::picture {

constexpr int max_video_fps = 60;

class VideoFile {
public:
    VideoFile();
    ~VideoFile();
    VideoFile(const VideoFile&) = delete;
    VideoFile& operator=(const VideoFile&) = delete;

    // False with the reason (French) when the file or the encoder cannot be
    // made.
    bool open(const std::string& path, QSize size, int fps, std::string& error);
    bool add(const QImage& picture, std::string& error);
    // The frames still in the encoder, then the file's index; false with the
    // reason when they cannot be written.
    bool close(std::string& error);
    int frames() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace SonivarACQ32::picture
