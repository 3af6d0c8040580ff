#include "stream/input_file.h"

#include "recording/system_errors.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace SonivarACQ32::stream {
namespace {

std::string not_regular(const std::string& what, const std::string& path, mode_t mode)
{
    return what + " : " + path + " est " + kind_of(mode) + ", pas un fichier ordinaire";
}

std::string unreadable(const std::string& what, const std::string& path, int err)
{
    if (err == ENOENT)
        return what + " introuvable : " + path;
    return what + " illisible : " + path + " (" + system_reason(err) + ")";
}

} // namespace

std::optional<FileIdentity> identity_of(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino};
}

std::string kind_of(mode_t mode)
{
    if (S_ISDIR(mode))
        return "un dossier";
    if (S_ISFIFO(mode))
        return "un tube nommé";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "un périphérique";
    if (S_ISSOCK(mode))
        return "une socket";
    return "un fichier spécial";
}

std::string system_reason(int err)
{
    return SonivarACQ32::raison_erreur(err).toStdString();
}

InputFile::~InputFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_), identity_(other.identity_)
{
}

InputFile& InputFile::operator=(InputFile&& other) noexcept
{
    std::swap(fd_, other.fd_);
    size_ = other.size_;
    identity_ = other.identity_;
    return *this;
}

bool InputFile::open(const std::string& path, const std::string& what, std::string& error)
{
    // Looked at before opening: opening a device may act on it, and opening
    // a pipe waits for a writer.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = unreadable(what, path, errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = not_regular(what, path, st.st_mode);
        return false;
    }
    // Non-blocking, and looked at again, in case the name changed meanwhile.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = unreadable(what, path, errno);
        return false;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = not_regular(what, path, st.st_mode);
        ::close(fd);
        return false;
    }
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
    identity_ = {st.st_dev, st.st_ino};
    return true;
}

long long InputFile::read(void* out, std::size_t n)
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

} // namespace SonivarACQ32::stream
