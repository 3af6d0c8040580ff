#pragma once
// The simulated camera behind its V4L2 interface, without umockdev: one
// picture format (YUYV 640 x 480 at 25 images a second), memory-mapped
// buffers queued by the host, filled one per tick while it streams and
// handed back in order, as a UVC webcam's driver does. Not thread-safe: the
// owner serialises every call.
#include "scene.h"

#include <linux/videodev2.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace sim::camera {

class CameraDevice {
public:
    // Gives `count` buffers of `length` bytes each (their memory, in order),
    // or releases them all (count 0); the owner maps what the host maps.
    using BufferMemory = std::function<std::vector<std::uint8_t*>(unsigned count, std::size_t length)>;
    explicit CameraDevice(BufferMemory memory);

    // A V4L2 request with its argument (this process's copy of it): 0, or
    // the errno the driver answers.
    int ioctl(unsigned long request, void* arg);
    // One tick of the sensor at scene time `t`: the oldest queued buffer gets
    // the picture (false when the host has none queued: the picture is lost,
    // as on a real camera).
    bool capture(const Scene& scene, double t, const timeval& stamp);
    bool has_done() const { return !done_.empty(); }
    bool streaming() const { return streaming_; }
    std::uint32_t sequence() const { return sequence_; }
    // The buffers' offsets for mmap: buffer i at i x stride.
    static std::size_t stride();

private:
    struct Buffer {
        std::uint8_t* memory = nullptr;
        bool queued = false;
        bool done = false;
        std::uint32_t bytes_used = 0;
        std::uint32_t sequence = 0;
        timeval stamp{};
    };
    int request_buffers(v4l2_requestbuffers& r);
    int query_buffer(v4l2_buffer& b) const;
    int queue(v4l2_buffer& b);
    int dequeue(v4l2_buffer& b);
    void describe(const Buffer& buffer, std::uint32_t index, v4l2_buffer& b) const;
    void set_streaming(bool on);

    BufferMemory memory_;
    std::vector<Buffer> buffers_;
    std::deque<std::uint32_t> queued_, done_;
    bool streaming_ = false;
    std::uint32_t sequence_ = 0;
};

} // namespace sim::camera
