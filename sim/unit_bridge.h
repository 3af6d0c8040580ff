#pragma once
// The simulated unit's inside, shared by the usbfs bridge
// (simulated_unit.cpp) and the controls a test or the launcher uses
// (simulated_unit_controls.cpp): the stream engine, the umockdev testbed and
// its handler, the host's URBs, and the one lock they all share.
#include "simulated_unit.h"
#include "stream_engine.h"

#include <umockdev.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace sim {

struct SimulatedUnit::Impl {
    mutable std::mutex lock;
    StreamEngine engine;
    UMockdevTestbed* testbed = nullptr;
    UMockdevIoctlBase* handler = nullptr;
    std::string root;
    bool attached = false;
    bool handler_attached = false;
    int fifo = -1;
    bool fifo_blocked = false;  // the byte is in: the node polls not writable
    // The host's URBs, by their address in the host, from submission to
    // reap, and the client (the host's open node) each came from.
    std::map<std::uint64_t, UMockdevIoctlData*> urbs;
    std::map<std::uint64_t, UMockdevIoctlClient*> owners;
    int opens = 0, closes = 0, claims = 0, releases = 0;
    std::uint64_t ioctls = 0;

    // Opens and closes of the node, by any process, seen through inotify:
    // the kernel queues the event before close() returns, so a count read
    // right after the host closed the node is final.
    int watch = -1;
    void read_node_events();

    std::thread pacer;
    std::condition_variable pacer_wake;
    bool quitting = false;

    explicit Impl(bool attach_now);
    ~Impl();

    std::mutex cable;  // taken before `lock`, never while holding it
    void plug();
    void unplug();
    void unplug_if_due();
    void replug();
    void pull_cable();
    void make_node_a_fifo();
    void sync_fifo();
    void after_change();

    // Zero-copy buffers of the host mapped here, by URB, from submission to reap.
    bool zero_copy = true;
    std::map<std::uint64_t, std::pair<void*, std::size_t>> in_place;
    std::uint64_t zero_copy_transfers = 0;
    std::uint8_t* map_in_place(std::uint64_t id, const void* address, std::uint32_t length);
    void unmap_in_place(std::uint64_t id);
    void offer_zero_copy();
    void remove_leftovers();

    void keep_urb(std::uint64_t id, UMockdevIoctlData* urb, UMockdevIoctlClient* owner);
    void drop_urbs();
    void drop_other_hosts(UMockdevIoctlClient* host);
    void on_ioctl(UMockdevIoctlClient* client);
    void submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void pace();
};

} // namespace sim
