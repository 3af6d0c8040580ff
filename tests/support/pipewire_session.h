#pragma once
// A private desktop sound session for a test: a D-Bus session bus, the
// PipeWire daemon and its session manager (WirePlumber), in folders of the
// test's own, gone when it ends. Programs the test starts reach it through
// `environment()`.
#include "spawned.h"

#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class PipeWireSession {
public:
    PipeWireSession()
    {
        const std::string root = dir_.path().toStdString();
        std::filesystem::create_directories(root + "/run");
        std::filesystem::permissions(root + "/run", std::filesystem::perms::owner_all);
        env_ = {"XDG_RUNTIME_DIR=" + root + "/run", "DBUS_SESSION_BUS_ADDRESS=unix:path=" + root + "/run/bus",
                "XDG_CONFIG_HOME=" + root + "/config", "XDG_STATE_HOME=" + root + "/state", "HOME=" + root};
        bus_ = start({"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile",
                      "--address=unix:path=" + root + "/run/bus"}, "dbus");
        until_exists(root + "/run/bus");
        daemon_ = start({"/usr/bin/pipewire"}, "pipewire");
        until_exists(root + "/run/pipewire-0");
        manager_ = start({"/usr/bin/wireplumber"}, "wireplumber");
        ready_ = until_listed("Client", "WirePlumber");
    }
    ~PipeWireSession()
    {
        for (auto* p : {&manager_, &daemon_, &bus_})
            if (*p) {
                (*p)->signal(SIGTERM);
                (*p)->wait();
            }
    }
    bool ready() const { return ready_; }
    const std::vector<std::string>& environment() const { return env_; }
    std::string folder() const { return dir_.path().toStdString(); }

    // A program of the session, its output in `name`.log of the session's folder.
    std::unique_ptr<Spawned> start(const std::vector<std::string>& argv, const std::string& name) const
    {
        return std::make_unique<Spawned>(argv, folder() + "/" + name + ".log",
                                         std::vector<std::string>{"LD_PRELOAD", "UMOCKDEV_DIR"}, env_);
    }
    // Polls `pw-cli ls KIND` until an object shows `text`.
    bool until_listed(const std::string& kind, const std::string& text, int tries = 250) const
    {
        for (int i = 0; i < tries; ++i) {
            auto list = start({"/usr/bin/pw-cli", "ls", kind}, "pw-cli");
            list->wait();
            if (list->output().find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        return false;
    }
    // The daemon, killed at once (a crash).
    void kill_daemon()
    {
        daemon_->signal(SIGKILL);
        daemon_->wait();
    }

private:
    static void until_exists(const std::string& path)
    {
        for (int i = 0; i < 250 && !std::filesystem::exists(path); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

    QTemporaryDir dir_;
    std::vector<std::string> env_;
    std::unique_ptr<Spawned> bus_, daemon_, manager_;
    bool ready_ = false;
};

} // namespace testsupport
