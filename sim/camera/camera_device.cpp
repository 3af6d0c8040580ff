#include "camera/camera_device.h"

#include "camera/camera_optics.h"
#include "camera/camera_picture.h"

#include <cerrno>
#include <cstdio>

namespace sim::camera {

namespace {

constexpr std::uint32_t pixel_format = V4L2_PIX_FMT_YUYV;
constexpr unsigned max_buffers = 8;

void copy_text(__u8* to, std::size_t size, const char* text)
{
    std::snprintf(reinterpret_cast<char*>(to), size, "%s", text);
}

void describe_format(v4l2_format& f)
{
    if (f.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
        return;
    v4l2_pix_format& p = f.fmt.pix;
    p = {};
    p.width = width;
    p.height = height;
    p.pixelformat = pixel_format;
    p.field = V4L2_FIELD_NONE;
    p.bytesperline = width * 2;
    p.sizeimage = static_cast<__u32>(frame_bytes);
    p.colorspace = V4L2_COLORSPACE_SRGB;
}

int capabilities(v4l2_capability& c)
{
    c = {};
    copy_text(c.driver, sizeof c.driver, "sonivar-sim");
    copy_text(c.card, sizeof c.card, "Caméra de scène (simulée)");
    copy_text(c.bus_info, sizeof c.bus_info, "usb-0000:00:14.0-2");
    c.version = 0x060100;
    c.device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    c.capabilities = c.device_caps | V4L2_CAP_DEVICE_CAPS;
    return 0;
}

int enum_format(v4l2_fmtdesc& d)
{
    if (d.index != 0 || d.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
        return EINVAL;
    d.flags = 0;
    d.pixelformat = pixel_format;
    copy_text(d.description, sizeof d.description, "YUYV 4:2:2");
    return 0;
}

int enum_size(v4l2_frmsizeenum& s)
{
    if (s.index != 0 || s.pixel_format != pixel_format)
        return EINVAL;
    s.type = V4L2_FRMSIZE_TYPE_DISCRETE;
    s.discrete = {width, height};
    return 0;
}

int enum_interval(v4l2_frmivalenum& i)
{
    if (i.index != 0 || i.pixel_format != pixel_format || i.width != width || i.height != height)
        return EINVAL;
    i.type = V4L2_FRMIVAL_TYPE_DISCRETE;
    i.discrete = {1, frames_per_second};
    return 0;
}

int stream_parameters(v4l2_streamparm& p)
{
    if (p.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
        return EINVAL;
    p.parm.capture = {};
    p.parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
    p.parm.capture.timeperframe = {1, frames_per_second};
    p.parm.capture.readbuffers = 0;
    return 0;
}

} // namespace

CameraDevice::CameraDevice(BufferMemory memory) : memory_(std::move(memory)) {}

std::size_t CameraDevice::stride() { return frame_bytes; }

int CameraDevice::ioctl(unsigned long request, void* arg)
{
    switch (request) {
    case VIDIOC_QUERYCAP: return capabilities(*static_cast<v4l2_capability*>(arg));
    case VIDIOC_ENUM_FMT: return enum_format(*static_cast<v4l2_fmtdesc*>(arg));
    case VIDIOC_ENUM_FRAMESIZES: return enum_size(*static_cast<v4l2_frmsizeenum*>(arg));
    case VIDIOC_ENUM_FRAMEINTERVALS: return enum_interval(*static_cast<v4l2_frmivalenum*>(arg));
    case VIDIOC_G_FMT:
    case VIDIOC_TRY_FMT:
    case VIDIOC_S_FMT: {
        auto& f = *static_cast<v4l2_format*>(arg);
        if (f.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return EINVAL;
        if (request == VIDIOC_S_FMT && !buffers_.empty())
            return EBUSY;
        describe_format(f);
        return 0;
    }
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM: return stream_parameters(*static_cast<v4l2_streamparm*>(arg));
    case VIDIOC_REQBUFS: return request_buffers(*static_cast<v4l2_requestbuffers*>(arg));
    case VIDIOC_QUERYBUF: return query_buffer(*static_cast<v4l2_buffer*>(arg));
    case VIDIOC_QBUF: return queue(*static_cast<v4l2_buffer*>(arg));
    case VIDIOC_DQBUF: return dequeue(*static_cast<v4l2_buffer*>(arg));
    case VIDIOC_STREAMON:
    case VIDIOC_STREAMOFF:
        if (*static_cast<int*>(arg) != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return EINVAL;
        set_streaming(request == VIDIOC_STREAMON);
        return 0;
    case VIDIOC_QUERYCTRL:
    case VIDIOC_QUERY_EXT_CTRL:
    case VIDIOC_G_CTRL:
    case VIDIOC_S_CTRL:
    case VIDIOC_ENUMINPUT:
        return EINVAL;  // no controls, one fixed input
    default: return ENOTTY;
    }
}

int CameraDevice::request_buffers(v4l2_requestbuffers& r)
{
    if (r.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || r.memory != V4L2_MEMORY_MMAP)
        return EINVAL;
    if (streaming_)
        return EBUSY;
    queued_.clear();
    done_.clear();
    buffers_.clear();
    r.count = std::min(r.count, max_buffers);
    if (r.count != 0)
        r.count = std::max(r.count, 2u);
    const std::vector<std::uint8_t*> memory = memory_(r.count, stride());
    if (memory.size() != r.count)
        return ENOMEM;
    for (std::uint8_t* m : memory)
        buffers_.push_back({m});
    r.capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP;
    return 0;
}

void CameraDevice::describe(const Buffer& buffer, std::uint32_t index, v4l2_buffer& b) const
{
    b.index = index;
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    b.m.offset = static_cast<__u32>(index * stride());
    b.length = static_cast<__u32>(stride());
    b.bytesused = buffer.bytes_used;
    b.field = V4L2_FIELD_NONE;
    b.sequence = buffer.sequence;
    b.timestamp = buffer.stamp;
    b.flags = V4L2_BUF_FLAG_MAPPED | V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC | V4L2_BUF_FLAG_TSTAMP_SRC_SOE;
    if (buffer.queued)
        b.flags |= V4L2_BUF_FLAG_QUEUED;
    if (buffer.done)
        b.flags |= V4L2_BUF_FLAG_DONE;
}

int CameraDevice::query_buffer(v4l2_buffer& b) const
{
    if (b.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b.index >= buffers_.size())
        return EINVAL;
    describe(buffers_[b.index], b.index, b);
    return 0;
}

int CameraDevice::queue(v4l2_buffer& b)
{
    if (b.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b.memory != V4L2_MEMORY_MMAP || b.index >= buffers_.size())
        return EINVAL;
    Buffer& buffer = buffers_[b.index];
    if (buffer.queued || buffer.done)
        return EINVAL;
    buffer.queued = true;
    queued_.push_back(b.index);
    describe(buffer, b.index, b);
    return 0;
}

// Never blocks: the host asks only once the node polls readable.
int CameraDevice::dequeue(v4l2_buffer& b)
{
    if (b.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b.memory != V4L2_MEMORY_MMAP)
        return EINVAL;
    if (done_.empty())
        return EAGAIN;
    const std::uint32_t index = done_.front();
    done_.pop_front();
    buffers_[index].done = false;
    describe(buffers_[index], index, b);
    return 0;
}

void CameraDevice::set_streaming(bool on)
{
    streaming_ = on;
    if (on)
        return;
    // Off: every buffer goes back to the host, queued or done.
    for (Buffer& b : buffers_)
        b.queued = b.done = false;
    queued_.clear();
    done_.clear();
}

bool CameraDevice::capture(const Scene& scene, double t, const timeval& stamp)
{
    if (!streaming_)
        return false;
    const std::uint32_t sequence = sequence_++;
    if (queued_.empty())
        return false;
    const std::uint32_t index = queued_.front();
    queued_.pop_front();
    Buffer& buffer = buffers_[index];
    draw_scene(buffer.memory, scene, t);
    buffer.queued = false;
    buffer.done = true;
    buffer.bytes_used = static_cast<std::uint32_t>(frame_bytes);
    buffer.sequence = sequence;
    buffer.stamp = stamp;
    done_.push_back(index);
    return true;
}

} // namespace sim::camera
