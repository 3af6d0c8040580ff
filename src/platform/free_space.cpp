#include "platform/free_space.h"

#include <filesystem>
#include <sys/statvfs.h>

namespace SonivarACQ32::platform {
namespace {

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

Seam<FreeSpaceProbe>& free_space_seam()
{
    static Seam<FreeSpaceProbe> seam(statvfs_bytes);
    return seam;
}

} // namespace SonivarACQ32::platform
