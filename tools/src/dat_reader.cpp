#include "dat_reader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace sonivar_dat {

DatReader::~DatReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool DatReader::open(const std::string& path, std::string& error)
{
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error = "ouverture impossible de " + path + " : " + std::strerror(errno);
        return false;
    }
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

long long DatReader::read(void* out, std::size_t n)
{
    auto* bytes = static_cast<char*>(out);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd_, bytes + got, n - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return -1;
        if (r == 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    return static_cast<long long>(got);
}

} // namespace sonivar_dat
