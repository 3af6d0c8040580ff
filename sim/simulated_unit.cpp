// The usbfs bridge: a umockdev testbed with the unit's sysfs entry and device
// node, whose ioctls are answered from the stream engine. The handler runs on
// umockdev's worker thread and the pacing thread finishes transfers when their
// data is due; both, and the test's control calls, share one lock.
#include "simulated_unit.h"
#include "unit_bridge.h"

#include "descriptors.h"
#include "resolved_data.h"
#include "zerocopy/zero_copy_memory.h"

#include <umockdev.h>

#include <dirent.h>
#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

namespace sim {

namespace {

constexpr const char* sys_path = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1";
constexpr const char* dev_node = "/dev/bus/usb/001/002";

// The sysfs entry of the unit, its strings and descriptors filled in.
constexpr const char* device_record_format =
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-1\n"
    "N: bus/usb/001/002\n"
    "E: DEVNAME=/dev/bus/usb/001/002\n"
    "E: DEVTYPE=usb_device\n"
    "E: SUBSYSTEM=usb\n"
    "E: BUSNUM=001\n"
    "E: DEVNUM=002\n"
    "E: MAJOR=189\n"
    "E: MINOR=1\n"
    "A: busnum=1\\n\n"
    "A: devnum=2\\n\n"
    "A: speed=480\\n\n"
    "A: bConfigurationValue=1\\n\n"
    "A: bNumConfigurations=1\\n\n"
    "A: idVendor=fe27\\n\n"
    "A: idProduct=ac03\\n\n"
    "A: dev=189:1\\n\n"
    "A: manufacturer=%s\\n\n"
    "A: product=%s\\n\n"
    "A: serial=%s\\n\n"
    "H: descriptors=%s\n";

constexpr std::uint32_t base_capabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                       USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                       USBDEVFS_CAP_BULK_SCATTER_GATHER |
                                       USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

std::string device_record()
{
    char* record = g_strdup_printf(device_record_format, manufacturer_string, product_string, serial_string,
                                   descriptors_hex().c_str());
    std::string text = record;
    g_free(record);
    return text;
}

bool debug_enabled()
{
    static const bool on = std::getenv("SONIVAR_SIM_DEBUG") != nullptr;
    return on;
}

} // namespace


// ------------------------------------------------------------- callbacks
namespace {

gboolean handle_ioctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    static_cast<SimulatedUnit::Impl*>(self)->on_ioctl(client);
    return TRUE;
}

void complete(UMockdevIoctlClient* client, long result, int error)
{
    umockdev_ioctl_client_complete(client, result, error);
}

} // namespace

// --------------------------------------------------------------- set-up
SimulatedUnit::Impl::Impl(bool attach_now)
{
    testbed = umockdev_testbed_new();
    char* dir = umockdev_testbed_get_root_dir(testbed);
    root = dir;
    g_free(dir);
    handler = umockdev_ioctl_base_new();
    g_signal_connect(handler, "handle-ioctl", G_CALLBACK(handle_ioctl), this);
    watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    offer_zero_copy();
    if (attach_now)
        plug();
    else
        engine.disconnect();
    pacer = std::thread([this] { pace(); });
}

SimulatedUnit::Impl::~Impl()
{
    {
        std::lock_guard guard(lock);
        quitting = true;
    }
    pacer_wake.notify_all();
    pacer.join();
    if (handler_attached)
        umockdev_testbed_detach_ioctl(testbed, dev_node, nullptr);
    {
        std::lock_guard guard(lock);
        drop_urbs();
    }
    remove_leftovers();
    if (fifo >= 0)
        ::close(fifo);
    if (watch >= 0)
        ::close(watch);
    g_object_unref(handler);
    g_object_unref(testbed);  // removes the testbed's directory
}

void SimulatedUnit::Impl::plug()
{
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed, device_record().c_str(), &error)) {
        std::string what = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("simulated unit: cannot add the device: " + what);
    }
    // The handler stays attached across unplugs: the host may still hold the
    // old node open and must keep getting answers (ENODEV) on it.
    if (!handler_attached && !umockdev_testbed_attach_ioctl(testbed, dev_node, handler, &error)) {
        std::string what = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("simulated unit: cannot attach the ioctl handler: " + what);
    }
    handler_attached = true;
    make_node_a_fifo();
    std::lock_guard guard(lock);
    drop_urbs();  // what the host left unreaped before the unplug is gone
    engine.connect();
    attached = true;
    sync_fifo();
}

// The host's URB from its submission to its reap; a URB address the host
// submits again (after a replug) replaces the old entry.
void SimulatedUnit::Impl::keep_urb(std::uint64_t id, UMockdevIoctlData* urb, UMockdevIoctlClient* owner)
{
    auto [it, added] = urbs.try_emplace(id, urb);
    if (!added) {
        umockdev_ioctl_data_unref(it->second);
        it->second = urb;
    }
    owners[id] = owner;
}

// A host that closed the node (its process killed, say) takes its URBs with
// it, reaped or not: none may go to the next host, whose URBs may even sit
// at the same addresses. umockdev does not tell when a host's connection
// ends; but only one host at a time holds the interface, so when one
// claims it, the URBs of any other come from a host that has let go.
void SimulatedUnit::Impl::drop_other_hosts(UMockdevIoctlClient* host)
{
    const auto now = Clock::now();
    std::size_t dropped = 0;
    for (auto it = owners.begin(); it != owners.end();) {
        if (it->second == host) {
            ++it;
            continue;
        }
        const std::uint64_t id = it->first;
        engine.forget(id, now);
        unmap_in_place(id);
        if (auto urb = urbs.find(id); urb != urbs.end()) {
            umockdev_ioctl_data_unref(urb->second);
            urbs.erase(urb);
        }
        it = owners.erase(it);
        ++dropped;
    }
    if (debug_enabled() && dropped > 0)
        std::fprintf(stderr, "sim: %zu URBs of a host gone dropped\n", dropped);
    after_change();
}

void SimulatedUnit::Impl::drop_urbs()
{
    for (auto& [addr, data] : urbs)
        umockdev_ioctl_data_unref(data);
    urbs.clear();
    owners.clear();
    for (auto& [id, mapping] : in_place)
        ::munmap(mapping.first, mapping.second);
    in_place.clear();
}

// The host's zero-copy buffer at `address`, when it is one: the shared
// memory the preload served it with, mapped here until the reap.
std::uint8_t* SimulatedUnit::Impl::map_in_place(std::uint64_t id, const void* address, std::uint32_t length)
{
    const std::string name = zero_copy::object_name(root, reinterpret_cast<std::uintptr_t>(address));
    const int fd = ::shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;  // plain memory: its data goes at the reap
    struct stat st {};
    void* memory = MAP_FAILED;
    if (::fstat(fd, &st) == 0 && st.st_size >= static_cast<off_t>(length) && length > 0)
        memory = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (memory == MAP_FAILED)
        return nullptr;
    unmap_in_place(id);
    in_place[id] = {memory, length};
    ++zero_copy_transfers;
    return static_cast<std::uint8_t*>(memory);
}

void SimulatedUnit::Impl::unmap_in_place(std::uint64_t id)
{
    const auto it = in_place.find(id);
    if (it == in_place.end())
        return;
    ::munmap(it->second.first, it->second.second);
    in_place.erase(it);
}

// The preload serves zero-copy memory only while this file exists.
void SimulatedUnit::Impl::offer_zero_copy()
{
    const std::string path = zero_copy::offer_path(root);
    if (zero_copy)
        ::close(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    else
        ::unlink(path.c_str());
}

// Objects of a host that ended without freeing its buffers.
void SimulatedUnit::Impl::remove_leftovers()
{
    const std::string prefix = zero_copy::object_prefix(root).substr(1);
    DIR* dir = ::opendir("/dev/shm");
    if (dir == nullptr)
        return;
    while (const dirent* entry = ::readdir(dir))
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
        {
            std::string name = "/";
            name += entry->d_name;
            ::shm_unlink(name.c_str());
        }
    ::closedir(dir);
}

// umockdev's device nodes are plain files, always ready: libusb's poll would
// never sleep. A FIFO of one page holding one byte polls not writable; the
// byte is taken out while a finished transfer waits to be reaped.
void SimulatedUnit::Impl::make_node_a_fifo()
{
    const std::string path = root + dev_node;
    ::unlink(path.c_str());
    if (::mkfifo(path.c_str(), 0666) != 0)
        throw std::runtime_error("simulated unit: cannot create the device FIFO");
    if (fifo >= 0) {  // the previous plug's node: its own close is not the host's
        std::lock_guard guard(lock);
        read_node_events();
        ::close(fifo);
        read_node_events();
        --closes;
    }
    fifo = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fifo < 0)
        throw std::runtime_error("simulated unit: cannot open the device FIFO");
    if (watch >= 0)
        ::inotify_add_watch(watch, path.c_str(), IN_OPEN | IN_CLOSE);
    ::fcntl(fifo, F_SETPIPE_SZ, 4096);
    fifo_blocked = false;
}

void SimulatedUnit::Impl::read_node_events()
{
    alignas(inotify_event) char events[4096];
    for (;;) {
        const ssize_t n = ::read(watch, events, sizeof events);
        if (n <= 0)
            return;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            if (event->mask & IN_OPEN)
                ++opens;
            if (event->mask & IN_CLOSE)
                ++closes;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

void SimulatedUnit::Impl::sync_fifo()
{
    if (fifo < 0)
        return;
    const bool want_blocked = !engine.has_finished();
    if (want_blocked == fifo_blocked)
        return;
    if (want_blocked) {
        const char byte = 0;
        if (::write(fifo, &byte, 1) == 1)
            fifo_blocked = true;
    } else {
        char byte;
        if (::read(fifo, &byte, 1) == 1)
            fifo_blocked = false;
    }
}

// The cable is pulled by the host's side (detach), by the unplug fault on
// the pacing thread, and plugged back by the host's side: one at a time, so
// that the testbed never adds and removes the device at once, and a replug
// that comes before a due unplug has run does that unplug first.
void SimulatedUnit::Impl::unplug()
{
    std::lock_guard plugging(cable);
    pull_cable();
}

void SimulatedUnit::Impl::unplug_if_due()
{
    std::lock_guard plugging(cable);
    {
        std::lock_guard guard(lock);
        if (!engine.unplug_due())
            return;
    }
    pull_cable();
}

void SimulatedUnit::Impl::replug()
{
    std::lock_guard plugging(cable);
    {
        std::lock_guard guard(lock);
        if (attached && !engine.unplug_due())
            return;
    }
    pull_cable();
    plug();
    umockdev_testbed_uevent(testbed, sys_path, "add");
}

// With the cable lock held.
void SimulatedUnit::Impl::pull_cable()
{
    {
        std::lock_guard guard(lock);
        if (!attached)
            return;
        attached = false;
        engine.disconnect();
        engine.clear_unplug_due();
        sync_fifo();
    }
    umockdev_testbed_uevent(testbed, sys_path, "remove");
    umockdev_testbed_remove_device(testbed, sys_path);
}

// Called with the lock held after anything that may finish a transfer.
void SimulatedUnit::Impl::after_change()
{
    sync_fifo();
    pacer_wake.notify_all();
}

// ----------------------------------------------------------------- ioctls
void SimulatedUnit::Impl::on_ioctl(UMockdevIoctlClient* client)
{
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::unique_lock guard(lock);
    ++ioctls;
    if (!engine.connected() && request != USBDEVFS_REAPURBNDELAY) {
        complete(client, -1, ENODEV);
        return;
    }
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        Resolved caps(arg, 0, sizeof(std::uint32_t));
        const std::uint32_t capabilities = base_capabilities | (zero_copy ? USBDEVFS_CAP_MMAP : 0u);
        if (caps)
            std::memcpy(caps->data, &capabilities, sizeof capabilities);
        complete(client, 0, 0);
        return;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM:
        ++claims;
        drop_other_hosts(client);
        complete(client, 0, 0);
        return;
    case USBDEVFS_RELEASEINTERFACE:
        ++releases;
        complete(client, 0, 0);
        return;
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL:
        complete(client, -1, ENODATA);  // no kernel driver is bound
        return;
    case USBDEVFS_SUBMITURB: submit(client, arg); break;
    case USBDEVFS_REAPURBNDELAY: reap(client, arg); break;
    case USBDEVFS_DISCARDURB: discard(client, arg); break;
    default:
        std::fprintf(stderr, "simulated unit: unexpected ioctl 0x%lx answered ENOTTY\n", request);
        complete(client, -1, ENOTTY);
        return;
    }
    after_change();
}

void SimulatedUnit::Impl::submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    Resolved urb_data(arg, 0, sizeof(usbdevfs_urb));
    if (!urb_data) {
        complete(client, -1, EFAULT);
        return;
    }
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urb_data->data);
    const std::uint64_t id = urb_data->client_addr;
    const auto now = Clock::now();
    if (urb->type == USBDEVFS_URB_TYPE_CONTROL && urb->buffer_length >= 8) {
        Resolved buffer(urb_data.get(), offsetof(usbdevfs_urb, buffer), urb->buffer_length);
        if (!buffer) {
            complete(client, -1, EFAULT);
            return;
        }
        const std::uint8_t* b = buffer->data;
        SetupPacket setup{b[0], b[1], static_cast<std::uint16_t>(b[2] | (b[3] << 8)),
                          static_cast<std::uint16_t>(b[4] | (b[5] << 8)),
                          static_cast<std::uint16_t>(b[6] | (b[7] << 8))};
        const std::size_t length = (setup.request_type & 0x80) ? 0 : setup.length;  // OUT data stage
        std::vector<std::uint8_t> data(b + 8, b + 8 + std::min<std::size_t>(length, urb->buffer_length - 8));
        keep_urb(id, urb_data.release(), client);
        engine.submit_control(id, setup, data, now);
    } else if (urb->type == USBDEVFS_URB_TYPE_BULK && urb->endpoint == 0x81) {
        const auto length = static_cast<std::uint32_t>(urb->buffer_length);
        std::uint8_t* memory = zero_copy ? map_in_place(id, urb->buffer, length) : nullptr;
        keep_urb(id, urb_data.release(), client);
        engine.submit_bulk(id, length, now, memory);
    } else {
        std::fprintf(stderr, "simulated unit: URB type %d on endpoint 0x%02x refused\n", urb->type,
                     urb->endpoint);
        complete(client, -1, EINVAL);
        return;
    }
    if (debug_enabled())
        std::fprintf(stderr, "sim: submit %llx type %d len %d\n", static_cast<unsigned long long>(id),
                     urb->type, urb->buffer_length);
    complete(client, 0, 0);
}

void SimulatedUnit::Impl::reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    std::optional<Finished> done = engine.reap(Clock::now());
    if (!done) {
        complete(client, -1, engine.connected() ? EAGAIN : ENODEV);
        return;
    }
    auto it = urbs.find(done->id);
    if (it == urbs.end()) {  // a transfer from before a re-plug: nobody to hand it to
        complete(client, -1, EAGAIN);
        return;
    }
    UMockdevIoctlData* urb_data = it->second;
    urbs.erase(it);
    owners.erase(done->id);
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urb_data->data);
    unmap_in_place(done->id);  // its data is in place already
    if (!done->data.empty()) {
        const std::size_t end = done->data_offset + done->data.size();
        Resolved buffer(urb_data, offsetof(usbdevfs_urb, buffer), end);
        if (buffer && static_cast<std::size_t>(urb->buffer_length) >= end)
            std::memcpy(buffer->data + done->data_offset, done->data.data(), done->data.size());
    }
    urb->status = done->status;
    urb->actual_length = done->actual_length;
    if (Resolved slot(arg, 0, sizeof(void*)); slot)
        umockdev_ioctl_data_set_ptr(slot.get(), 0, urb_data);
    if (debug_enabled())
        std::fprintf(stderr, "sim: reap %llx status %d len %d\n",
                     static_cast<unsigned long long>(done->id), done->status, done->actual_length);
    complete(client, 0, 0);
    umockdev_ioctl_data_unref(urb_data);
}

void SimulatedUnit::Impl::discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    std::uint64_t addr = 0;
    std::memcpy(&addr, arg->data, std::min<std::size_t>(sizeof addr, arg->data_len));
    if (debug_enabled())
        std::fprintf(stderr, "sim: discard %llx\n", static_cast<unsigned long long>(addr));
    if (engine.discard(addr, Clock::now()))
        complete(client, 0, 0);
    else
        complete(client, -1, EINVAL);  // already finished
}

// ----------------------------------------------------------------- pacing
void SimulatedUnit::Impl::pace()
{
    std::unique_lock guard(lock);
    while (!quitting) {
        engine.pump(Clock::now());
        sync_fifo();
        if (engine.unplug_due()) {
            guard.unlock();
            unplug_if_due();
            guard.lock();
            continue;
        }
        const auto deadline = engine.next_deadline();
        if (deadline)
            pacer_wake.wait_until(guard, *deadline);
        else
            pacer_wake.wait(guard);
    }
}

} // namespace sim
