#pragma once
// A camera's pictures recorded beside a run: Matroska (NAME.mkv), each
// picture a JPEG of its own (Motion JPEG: a picture needs no other to be
// read, so a file cut short by a crash loses at most its last pictures),
// written out in clusters of at most a second so that the file is readable
// while it grows and after a kill. Each picture carries the frame of the
// .dat it was taken at (a Matroska block addition, 8 bytes big-endian, read
// back by FFmpeg as the packet's side data); its time stamp is that frame's
// time in milliseconds, for players. The camera's name and geometry when
// the video began are kept in its tags, so that it is laid under the maps
// as it was filmed, on any machine.
#include "picture/camera_view.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace SonivarACQ32::picture {

// Which camera filmed, and how it sat.
struct CameraTags {
    std::string name;
    std::optional<acoustic_map::CameraGeometry> geometry;
};

class CameraVideoWriter {
public:
    CameraVideoWriter();
    ~CameraVideoWriter();
    CameraVideoWriter(const CameraVideoWriter&) = delete;
    CameraVideoWriter& operator=(const CameraVideoWriter&) = delete;

    // False with the reason (French) when the file or the encoder cannot be
    // made. `sample_rate`: the .dat's frames a second.
    bool open(const std::string& path, QSize size, double sample_rate, std::string& error, const CameraTags& tags = {});
    // A picture taken at frame `dat_frame` of the recording; scaled to the
    // video's size when it differs.
    bool add(const QImage& picture, std::uint64_t dat_frame, std::string& error);
    bool close(std::string& error);
    int pictures() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// The video beside a recording: NAME.mkv for NAME.dat.
std::string camera_video_path(const std::string& dat_path);

// What a recorded camera video holds: its pictures' size and, in order,
// the .dat frame each was taken at.
struct CameraVideoIndex {
    QSize size;
    CameraTags tags;
    std::vector<std::uint64_t> frames;
};
// Nothing, with the reason, when the file cannot be read as such a video.
std::optional<CameraVideoIndex> read_camera_video(const std::string& path, std::string& error);

// A recorded camera video gone through by .dat frame: the file stays open
// and each picture asked for is found from the index (by its time) and
// decoded alone.
class CameraVideoReader {
public:
    CameraVideoReader();
    ~CameraVideoReader();
    CameraVideoReader(const CameraVideoReader&) = delete;
    CameraVideoReader& operator=(const CameraVideoReader&) = delete;

    bool open(const std::string& path, std::string& error);
    const CameraVideoIndex& index() const;
    // The picture taken last at or before `dat_frame` (the first one before
    // them all), and its frame; a null image when it cannot be read.
    struct Picture {
        QImage image;
        std::uint64_t frame = 0;
    };
    Picture at(std::uint64_t dat_frame);
    // The picture `index` of the video, in its order.
    Picture picture(std::size_t index);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace SonivarACQ32::picture
