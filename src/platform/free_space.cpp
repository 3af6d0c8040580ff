#include "platform/free_space.h"

#include <filesystem>
#include <sys/statvfs.h>

namespace SonivarACQ32::platform {
namespace {

FreeSpaceProbe probe_override;

std::optional<std::uint64_t> statvfs_bytes(const std::string& path)
{
    // The file may not exist yet: measure the folder that will hold it.
    std::filesystem::path p(path);
    std::string target = p.has_parent_path() ? p.parent_path().string() : std::string(".");
    struct statvfs st {};
    if (::statvfs(path.c_str(), &st) != 0 && ::statvfs(target.c_str(), &st) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(st.f_bavail) * static_cast<std::uint64_t>(st.f_frsize);
}

} // namespace

std::optional<std::uint64_t> available_bytes(const std::string& path)
{
    if (probe_override)
        return probe_override(path);
    return statvfs_bytes(path);
}

void set_free_space_probe(FreeSpaceProbe probe) { probe_override = std::move(probe); }

} // namespace SonivarACQ32::platform
