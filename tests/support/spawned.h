#pragma once
// A program started by a test, its output gathered in a file: signalled,
// waited for, its exit status and output read. Variables named in `drop`
// are left out of its environment (a test under the simulated bus starts a
// launcher that builds a bus of its own); `add` ("NAME=value") go in.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace testsupport {

class Spawned {
public:
    Spawned(std::vector<std::string> argv, const std::string& output, const std::vector<std::string>& drop = {},
            const std::vector<std::string>& add = {})
        : output_(output)
    {
        std::vector<std::string> env = add;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            bool keep = true;
            for (const std::string& name : drop)
                keep = keep && entry.rfind(name + "=", 0) != 0;
            if (keep)
                env.push_back(entry);
        }
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&files, 1, 2);
        std::vector<char*> args, envp;
        for (std::string& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        if (posix_spawn(&pid_, args[0], &files, nullptr, args.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&files);
    }
    ~Spawned()
    {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool started() const { return pid_ > 0; }
    void signal(int sig) const { kill(pid_, sig); }
    // Waits for the program's end: its exit status, 128 + signal when killed.
    int wait()
    {
        int raw = 0;
        if (status_ < 0 && waitpid(pid_, &raw, 0) == pid_)
            status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return status_;
    }
    // Polls `ready` until it holds (true) or the program ends or `limit`
    // passes (false): a condition on the files the program writes.
    bool until(const std::function<bool()>& ready, std::chrono::seconds limit = std::chrono::seconds(60))
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            if (ready())
                return true;
            siginfo_t info{};
            if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_)
                return ready();  // ended: what it left is all there will be
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    std::string output() const
    {
        std::ifstream in(output_);
        return {std::istreambuf_iterator<char>(in), {}};
    }

private:
    std::string output_;
    pid_t pid_ = -1;
    int status_ = -1;
};

} // namespace testsupport
