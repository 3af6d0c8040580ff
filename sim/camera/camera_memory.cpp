#include "camera/camera_memory.h"

#include <cstdio>

namespace sim::camera {

std::string buffer_object(const std::string& testbed_root, std::size_t offset)
{
    const std::size_t slash = testbed_root.find_last_of('/');
    const std::string base = slash == std::string::npos ? testbed_root : testbed_root.substr(slash + 1);
    char hex[32];
    std::snprintf(hex, sizeof hex, "%zx", offset);
    return "/sonivar-camera-" + base + "-" + hex;
}

} // namespace sim::camera
