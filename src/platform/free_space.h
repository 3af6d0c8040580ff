#pragma once
// Free space of the file system that holds a given file: the program's
// stand-in for the free space of a Windows drive.
#include "platform/seam.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace SonivarACQ32::platform {

// Bytes available to an unprivileged writer on the file system holding
// `path` (the file itself need not exist yet); nothing when it cannot be read.
using FreeSpaceProbe = std::function<std::optional<std::uint64_t>(const std::string&)>;

// The measurement in force: statvfs unless a test installed another.
Seam<FreeSpaceProbe>& free_space_seam();
inline std::optional<std::uint64_t> available_bytes(const std::string& path)
{
    return free_space_seam().get()(path);
}

} // namespace SonivarACQ32::platform
