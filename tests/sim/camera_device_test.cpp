// The simulated camera behind its V4L2 interface: buffers queued, filled
// one per tick in order and dequeued, pictures lost when none is queued,
// and the source drawn where its optics see it.
#include "camera/camera_device.h"
#include "camera/camera_optics.h"
#include "camera/camera_picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace cam = sim::camera;

namespace {

struct Memory {
    std::vector<std::vector<std::uint8_t>> buffers;
    std::vector<std::uint8_t*> operator()(unsigned count, std::size_t length)
    {
        buffers.assign(count, std::vector<std::uint8_t>(length));
        std::vector<std::uint8_t*> out;
        for (auto& b : buffers)
            out.push_back(b.data());
        return out;
    }
};

v4l2_buffer buffer(std::uint32_t index = 0)
{
    v4l2_buffer b{};
    b.index = index;
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    return b;
}

TEST(CameraDevice, QueuedBuffersFilledInOrderAndLostPicturesWhenNoneIsQueued)
{
    Memory memory;
    cam::CameraDevice device([&](unsigned n, std::size_t l) { return memory(n, l); });
    v4l2_capability cap{};
    ASSERT_EQ(device.ioctl(VIDIOC_QUERYCAP, &cap), 0);
    EXPECT_TRUE(cap.capabilities & V4L2_CAP_VIDEO_CAPTURE && cap.capabilities & V4L2_CAP_STREAMING);
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    ASSERT_EQ(device.ioctl(VIDIOC_S_FMT, &format), 0);
    EXPECT_EQ(format.fmt.pix.sizeimage, cam::frame_bytes);
    v4l2_requestbuffers request{};
    request.count = 3;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_USERPTR;
    EXPECT_EQ(device.ioctl(VIDIOC_REQBUFS, &request), EINVAL);  // mapped memory only
    request.memory = V4L2_MEMORY_MMAP;
    ASSERT_EQ(device.ioctl(VIDIOC_REQBUFS, &request), 0);
    ASSERT_EQ(request.count, 3u);
    for (std::uint32_t i = 0; i < 3; ++i) {
        v4l2_buffer b = buffer(i);
        ASSERT_EQ(device.ioctl(VIDIOC_QUERYBUF, &b), 0);
        EXPECT_EQ(b.m.offset, i * cam::CameraDevice::stride());
    }
    for (std::uint32_t i : {2u, 0u}) {
        v4l2_buffer b = buffer(i);
        ASSERT_EQ(device.ioctl(VIDIOC_QBUF, &b), 0);
    }
    v4l2_buffer twice = buffer(2);
    EXPECT_EQ(device.ioctl(VIDIOC_QBUF, &twice), EINVAL);
    const sim::Scene scene;
    EXPECT_FALSE(device.capture(scene, 0.0, {}));  // not streaming
    int capture = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    ASSERT_EQ(device.ioctl(VIDIOC_STREAMON, &capture), 0);
    v4l2_buffer out = buffer();
    EXPECT_EQ(device.ioctl(VIDIOC_DQBUF, &out), EAGAIN);
    EXPECT_TRUE(device.capture(scene, 0.00, {1, 0}));
    EXPECT_TRUE(device.capture(scene, 0.04, {1, 40000}));
    EXPECT_FALSE(device.capture(scene, 0.08, {1, 80000}));  // none queued: lost
    for (const auto& [index, sequence] : {std::pair{2u, 0u}, std::pair{0u, 1u}}) {
        out = buffer();
        ASSERT_EQ(device.ioctl(VIDIOC_DQBUF, &out), 0);
        EXPECT_EQ(out.index, index);
        EXPECT_EQ(out.sequence, sequence);
        EXPECT_EQ(out.bytesused, cam::frame_bytes);
    }
    EXPECT_FALSE(device.has_done());
    // Off: every buffer is the host's again, and can be queued anew.
    v4l2_buffer again = buffer(1);
    ASSERT_EQ(device.ioctl(VIDIOC_QBUF, &again), 0);
    ASSERT_EQ(device.ioctl(VIDIOC_STREAMOFF, &capture), 0);
    again = buffer(1);
    EXPECT_EQ(device.ioctl(VIDIOC_QBUF, &again), 0);
    EXPECT_EQ(device.ioctl(VIDIOC_G_CTRL, &capture), EINVAL);
}

// The disc's centre from the YUYV picture's chroma (the orange is the only
// colour in it), against the optics' projection.
TEST(CameraPicture, SourceDrawnWhereTheLensSeesIt)
{
    std::vector<std::uint8_t> yuyv(cam::frame_bytes);
    sim::Scene scene;
    const sim::Position at{0.31, -0.17, 1.4};
    scene.fixed = sim::PointSource{at, 1000.0, 1.0};
    cam::draw_scene(yuyv.data(), scene, 0.0);
    double su = 0, sv = 0, n = 0;
    for (int v = 0; v < cam::height; ++v)
        for (int u = 0; u < cam::width; u += 2) {
            const std::uint8_t* pair = &yuyv[(static_cast<std::size_t>(v) * cam::width + u) * 2];
            if (pair[1] < 80 && pair[3] > 170) {
                su += u + 1.0;
                sv += v + 0.5;
                ++n;
            }
        }
    ASSERT_GT(n, 20);
    const cam::Pixel expected = cam::project(at);
    EXPECT_NEAR(su / n, expected.u, 1.0);
    EXPECT_NEAR(sv / n, expected.v, 0.5);
    EXPECT_NEAR(std::sqrt(2 * n / M_PI), cam::source_radius_m * cam::pixels_per_metre(at.z), 1.0);
}

} // namespace
