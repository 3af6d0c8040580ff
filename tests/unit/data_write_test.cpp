// A packet written to the data file: counted only as far as the system took it.
#include "recording/data_write.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <vector>

using SonivarACQ32::write_packet;

namespace {
const std::vector<unsigned char> packet(1 << 20, 0x5A);
}

TEST(DataWrite, WholePacketOnRoomyFile)
{
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    const auto out = write_packet(fileno(f), packet.data(), packet.size());
    EXPECT_EQ(out.accepted, packet.size());
    EXPECT_EQ(out.err, 0);
    EXPECT_EQ(lseek(fileno(f), 0, SEEK_END), static_cast<off_t>(packet.size()));
    std::fclose(f);
}

TEST(DataWrite, FullDiskCountsNothing)
{
    const int fd = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(fd, 0);
    const auto out = write_packet(fd, packet.data(), packet.size());
    EXPECT_EQ(out.accepted, 0u);
    EXPECT_EQ(out.err, ENOSPC);
    ::close(fd);
}

// Under a file-size limit (SIGXFSZ ignored, as the program does) the count
// is exactly the file's size, so the header's frames are those in the file.
TEST(DataWrite, FileSizeLimitCountsWhatTheFileHolds)
{
    constexpr rlim_t limit = 100000;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit lim{limit, limit};
        std::FILE* f = std::tmpfile();
        if (f == nullptr || setrlimit(RLIMIT_FSIZE, &lim) != 0)
            _exit(2);
        const auto out = write_packet(fileno(f), packet.data(), packet.size());
        const off_t size = lseek(fileno(f), 0, SEEK_END);
        _exit(out.accepted == limit && size == static_cast<off_t>(out.accepted) &&
                      out.err == EFBIG
                  ? 0
                  : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
