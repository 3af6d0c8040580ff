#include "recording/temporary_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>

namespace SonivarACQ32 {

int create_temporary(const std::string& folder, std::string& path)
{
    path = folder + "/.sonivar-XXXXXX";
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0)
        return -1;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    return fd;
}

} // namespace SonivarACQ32
