#pragma once
// The simulated camera's buffers, shared between the camera (which draws
// into them) and the program (which maps them from the video node): a
// shared-memory object per buffer, named after the testbed and the offset
// the program maps it at. The project's preload serves the program's mmap
// of the node with it, as the kernel serves a webcam's buffers.
#include <cstddef>
#include <string>

namespace sim::camera {

constexpr const char* video_node = "/dev/video0";

std::string buffer_object(const std::string& testbed_root, std::size_t offset);

} // namespace sim::camera
