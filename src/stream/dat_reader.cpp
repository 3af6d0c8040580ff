#include "stream/dat_reader.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace SonivarACQ32::stream {

bool DatReader::open(const std::string& path, std::uint64_t limit, std::string& error, std::uint64_t from)
{
    if (!file_.open(path, "fichier de données", error))
        return false;
    if (from > 0 && ::lseek(file_.fd(), static_cast<off_t>(from), SEEK_SET) < 0) {
        error = "fichier de données : " + system_reason(errno);
        return false;
    }
    left_ = limit > from ? limit - from : 0;
    ::posix_fadvise(file_.fd(), static_cast<off_t>(from), 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

long long DatReader::read(void* out, std::size_t n)
{
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(n, left_));
    const long long got = file_.read(out, want);
    if (got > 0)
        left_ -= static_cast<std::uint64_t>(got);
    return got;
}

} // namespace SonivarACQ32::stream
