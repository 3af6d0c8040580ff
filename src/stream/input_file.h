#pragma once
// Opening of a recording's files for reading. Each must be a regular file
// once symbolic links are followed: a folder cannot be read, a named pipe
// blocks and a device such as /dev/zero never ends.
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace SonivarACQ32::stream {

// Which file a path names, symbolic links followed: two spellings of one
// file (links, "./", hard links) give the same identity.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of what `path` names now; nullopt when it names nothing.
std::optional<FileIdentity> identity_of(const std::string& path);

// "un dossier", "un tube nommé", ... for a file that is not a regular one.
std::string kind_of(mode_t mode);

// The French reason of a system error number.
std::string system_reason(int err);

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;

    // Opens `path` for reading; `what` names it in the messages ("fichier de
    // données"). False with `error` set when it is missing, unreadable or not
    // a regular file; nothing that could block is opened.
    bool open(const std::string& path, const std::string& what, std::string& error);

    int fd() const { return fd_; }
    std::uint64_t size() const { return size_; }
    FileIdentity identity() const { return identity_; }

    // Reads up to n bytes from the current place; fewer only at the end of
    // the file. -1 on a read error (errno set).
    long long read(void* out, std::size_t n);

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    FileIdentity identity_;
};

} // namespace SonivarACQ32::stream
