#pragma once
// Free space of the file system that holds a given file: the program's
// stand-in for the free space of a Windows drive.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace SonivarACQ32::platform {

// Bytes available to an unprivileged writer on the file system holding
// `path` (the file itself need not exist yet); nothing when it cannot be read.
std::optional<std::uint64_t> available_bytes(const std::string& path);

// Tests replace the measurement; an empty function restores statvfs.
using FreeSpaceProbe = std::function<std::optional<std::uint64_t>(const std::string&)>;
void set_free_space_probe(FreeSpaceProbe probe);

} // namespace SonivarACQ32::platform
