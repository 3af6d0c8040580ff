#pragma once
// A file-size limit on the test's process stands for a full disk: writes
// past it fail with EFBIG (the program sets the signal aside itself).
// Lifted at the end of its scope.
#include <sys/resource.h>

namespace testsupport {

class FileSizeLimit {
public:
    FileSizeLimit() { getrlimit(RLIMIT_FSIZE, &old_); }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool set(rlim_t bytes)
    {
        const rlimit limit{bytes, old_.rlim_max};
        return setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    void lift() { setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
};

} // namespace testsupport
