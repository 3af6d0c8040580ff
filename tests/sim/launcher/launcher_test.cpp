// sonivar-sim with a libusb host behind it (usb-probe, one context for its
// whole life, as the program has): keys from a pipe or a FIFO, and the
// cable pulled and put back at any pace, as the host sees them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

// The launcher, its stdin (keys), its stdout (the probe's answers) and its
// stderr (a state line for each key). The probe reads its commands from
// `commands`, which is its own stdin.
class Launched {
public:
    // `control`: the FIFO of --control, empty for keys on stdin; `program`:
    // what runs behind the launcher instead of the probe.
    explicit Launched(std::vector<std::string> options, const std::string& control = {},
                      std::vector<std::string> program = {"sh", "-c", "exec \"$0\" <&3 3<&-", USB_PROBE})
    {
        int in[2], cmd[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) || pipe2(cmd, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
            return;
        std::vector<std::string> args{SONIVAR_SIM};
        args.insert(args.end(), options.begin(), options.end());
        if (!control.empty())
            args.insert(args.end(), {"--control", control});
        // The probe's stdin is fd 3 of the launcher, which its child inherits.
        args.push_back("--");
        args.insert(args.end(), program.begin(), program.end());
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_adddup2(&files, in[0], 0);
        posix_spawn_file_actions_adddup2(&files, out[1], 1);
        posix_spawn_file_actions_adddup2(&files, err[1], 2);
        posix_spawn_file_actions_adddup2(&files, cmd[0], 3);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &files, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&files);
        for (int fd : {in[0], cmd[0], out[1], err[1]})
            close(fd);
        keys_ = in[1];
        commands_ = cmd[1];
        out_ = fdopen(out[0], "r");
        err_ = fdopen(err[0], "r");
    }
    ~Launched()
    {
        close(keys_);
        close(commands_);
        if (pid_ > 0)
            waitpid(pid_, nullptr, 0);
        std::fclose(out_);
        std::fclose(err_);
    }

    bool started() const { return pid_ > 0 && out_ != nullptr && err_ != nullptr; }

    // A command to the probe, and its answer.
    std::string ask(const std::string& command)
    {
        const std::string line = command + "\n";
        if (write(commands_, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            return {};
        return next_line(out_);
    }

    // Keys on the launcher's stdin, or into `fifo`; waits for the launcher
    // to have answered each of them with its state line, and returns the last.
    std::string press(const std::string& keys, const std::string& fifo = {})
    {
        int fd = keys_;
        if (!fifo.empty())
            fd = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
        const bool sent = write(fd, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size());
        if (!fifo.empty())
            close(fd);
        std::string state;
        for (std::size_t i = 0; sent && i < keys.size(); ++i)
            do
                state = next_line(err_);
            while (!state.empty() && state.find("sonivar-sim: unit") == std::string::npos);
        return state;
    }

    // Everything the program behind the launcher writes, until it ends:
    // its stdout, then its stderr (shared with the launcher's).
    std::string output()
    {
        std::string all;
        for (FILE* from : {out_, err_})
            for (std::string line = next_line(from); !line.empty() || !std::feof(from); line = next_line(from))
                all += line + "\n";
        return all;
    }

    // Closes the probe's commands: it ends, and the launcher with it.
    int exit_status()
    {
        close(commands_);
        commands_ = -1;
        int status = 0;
        if (waitpid(pid_, &status, 0) != pid_)
            return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    static std::string next_line(FILE* from)
    {
        char* line = nullptr;
        std::size_t size = 0;
        const ssize_t n = getline(&line, &size, from);
        std::string text = n > 0 ? std::string(line, static_cast<std::size_t>(n)) : std::string();
        std::free(line);
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        return text;
    }

    pid_t pid_ = -1;
    int keys_ = -1;
    int commands_ = -1;
    FILE* out_ = nullptr;
    FILE* err_ = nullptr;
};

bool plugged(const std::string& state) { return state.find("unit plugged in") != std::string::npos; }

TEST(Launcher, KeysFromAPipePlugInAnAbsentUnit)
{
    Launched sim({"--absent"});
    ASSERT_TRUE(sim.started());
    EXPECT_EQ(sim.ask("open"), "absent");
    EXPECT_TRUE(plugged(sim.press("u")));
    EXPECT_EQ(sim.ask("open"), "found");
    EXPECT_FALSE(plugged(sim.press("u")));
    EXPECT_EQ(sim.ask("open"), "absent");
    EXPECT_EQ(sim.exit_status(), 0);
}

// Out and back in with no pause, ten times; the unit found and streaming
// after each.
TEST(Launcher, ControlFifoReplugsAtAnyPace)
{
    const std::string fifo = testing::TempDir() + "sonivar-sim-keys-" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    {
        Launched sim({}, fifo);
        ASSERT_TRUE(sim.started());
        for (int i = 0; i < 10; ++i) {
            SCOPED_TRACE(i);
            EXPECT_TRUE(plugged(sim.press("uu", fifo)));
            EXPECT_EQ(sim.ask("open"), "found");
        }
        const std::string streamed = sim.ask("stream 0.2");
        ASSERT_EQ(streamed.rfind("bytes ", 0), 0u) << streamed;
        EXPECT_GT(std::stoll(streamed.substr(6)), 0);
        EXPECT_EQ(sim.exit_status(), 0);
    }
    unlink(fifo.c_str());
}

// The program's process gets zero-copy memory that the launcher's unit
// writes into; with --plain-memory it gets none and streams all the same.
TEST(Launcher, ServesZeroCopyMemoryAcrossProcesses)
{
    for (const bool plain : {false, true}) {
        SCOPED_TRACE(plain ? "plain" : "zero-copy");
        Launched sim(plain ? std::vector<std::string>{"--plain-memory"} : std::vector<std::string>{});
        ASSERT_TRUE(sim.started());
        const std::string streamed = sim.ask("stream 0.3 zero-copy");
        ASSERT_EQ(streamed.rfind("bytes ", 0), 0u) << streamed;
        EXPECT_GT(std::stoll(streamed.substr(6)), 0);
        EXPECT_EQ(streamed.find("zero-copy") != std::string::npos, !plain) << streamed;
        EXPECT_EQ(sim.exit_status(), 0);
    }
}

// A program killed while its transfers are queued takes them with it, as
// the kernel drops a closed file's URBs: the next program under the same
// launcher streams to its end (it used to hang, handed the dead one's).
TEST(Launcher, AKilledProgramsTransfersDoNotReachTheNext)
{
    alarm(120);  // a hang fails the test instead of blocking the suite
    Launched sim({"--paced"}, {}, {"sh", "-c", "echo die | \"$0\"; exec \"$0\" <&3 3<&-", USB_PROBE});
    ASSERT_TRUE(sim.started());
    const std::string streamed = sim.ask("stream 0.3");
    ASSERT_EQ(streamed.rfind("bytes ", 0), 0u) << streamed;
    EXPECT_GT(std::stoll(streamed.substr(6)), 0);
    EXPECT_EQ(sim.exit_status(), 0);
    alarm(0);
}

// A sanitizer's log_path in the environment does not crash the launcher
// (its runtime made the log's folder through the preload before it was ready).
TEST(Launcher, RunsWithASanitizerLogPath)
{
    const char* before = std::getenv("ASAN_OPTIONS");
    const std::string kept = before != nullptr ? before : "";
    setenv("ASAN_OPTIONS", (testing::TempDir() + "sonivar-sim-asan").insert(0, "log_path=").c_str(), 1);
    Launched sim({}, {}, {"/bin/true"});
    ASSERT_TRUE(sim.started());
    EXPECT_EQ(sim.exit_status(), 0);
    if (before != nullptr)
        setenv("ASAN_OPTIONS", kept.c_str(), 1);
    else
        unsetenv("ASAN_OPTIONS");
}

// A standard tool reads the unit's strings, qualifier and status as from
// the hardware.
TEST(Launcher, LsusbReadsTheStandardDescriptorsAndStatus)
{
    const char* lsusb = "/usr/bin/lsusb";
    if (access(lsusb, X_OK) != 0)
        GTEST_SKIP() << "usbutils is not installed (no " << lsusb << "): lsusb not tried";
    Launched sim({}, {}, {lsusb, "-v", "-d", "fe27:ac03"});
    ASSERT_TRUE(sim.started());
    const std::string listing = sim.output();
    for (const char* line : {"iManufacturer           1 Sonivar", "iProduct                2 Sonivar 32",
                             "iSerial                 3 SV32-SIM-0001", "Device Qualifier", "Device Status:"})
        EXPECT_NE(listing.find(line), std::string::npos) << line << " not in:\n" << listing;
    EXPECT_EQ(listing.find("cannot read device status"), std::string::npos) << listing;
    EXPECT_EQ(sim.exit_status(), 0);
}

} // namespace
