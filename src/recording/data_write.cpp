#include "recording/data_write.h"

#include <unistd.h>

#include <cerrno>

namespace SonivarACQ32 {

WriteOutcome write_packet(int fd, const unsigned char* data, std::size_t len)
{
    WriteOutcome out;
    while (out.accepted < len) {
        const ssize_t n = ::write(fd, data + out.accepted, len - out.accepted);
        if (n > 0) {
            out.accepted += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        out.err = n < 0 ? errno : EIO;
        break;
    }
    return out;
}

int truncate_file(int fd, std::uint64_t length)
{
    while (::ftruncate(fd, static_cast<off_t>(length)) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

} // namespace SonivarACQ32
