#include "camera/simulated_camera.h"

#include "camera/camera_device.h"
#include "camera/camera_memory.h"
#include "camera/camera_optics.h"
#include "resolved_data.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace sim::camera {

namespace {

constexpr const char* sys_path = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/video4linux/video0";
constexpr const char* record =
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/video4linux/video0\n"
    "N: video0=00\n"
    "E: DEVNAME=/dev/video0\n"
    "E: SUBSYSTEM=video4linux\n"
    "E: MAJOR=81\n"
    "E: MINOR=0\n"
    "A: name=Caméra de scène (simulée)\\n\n"
    "A: index=0\\n\n"
    "A: dev=81:0\\n\n";

timeval monotonic_now()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return {now.tv_sec, now.tv_nsec / 1000};
}

[[noreturn]] void fail(const char* what, GError* error)
{
    std::string why = std::string("simulated camera: ") + what + ": " + (error ? error->message : "unknown error");
    g_clear_error(&error);
    throw std::runtime_error(why);
}

} // namespace

struct SimulatedCamera::Impl {
    SimulatedUnit& unit;
    UMockdevTestbed* testbed;
    std::string root;
    UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
    mutable std::mutex lock;
    CameraDevice device{[this](unsigned count, std::size_t length) { return map_buffers(count, length); }};
    std::vector<std::pair<std::uint8_t*, std::size_t>> mapped;
    bool plugged = false;
    bool attached = false;
    int fifo = -1;
    bool readable = false;  // a byte in the FIFO: a picture waits
    UMockdevIoctlClient* owner = nullptr;  // the open node that holds the buffers
    std::uint64_t delivered = 0, lost = 0;
    std::thread sensor;
    std::condition_variable wake;
    bool quitting = false;

    explicit Impl(SimulatedUnit& u) : unit(u), testbed(u.testbed()), root(u.root_dir()) {}
    std::vector<std::uint8_t*> map_buffers(unsigned count, std::size_t length);
    void unmap_buffers();
    void plug();
    void unplug();
    void make_node_a_fifo();
    void sync_fifo();
    void on_ioctl(UMockdevIoctlClient* client);
    void release_buffers();
    void on_vanished(UMockdevIoctlClient* client);
    void run_sensor();
};

namespace {
gboolean handle_ioctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    static_cast<SimulatedCamera::Impl*>(self)->on_ioctl(client);
    return TRUE;
}

void client_vanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    static_cast<SimulatedCamera::Impl*>(self)->on_vanished(client);
}
} // namespace

// Every buffer anew: the host maps them again after each request.
std::vector<std::uint8_t*> SimulatedCamera::Impl::map_buffers(unsigned count, std::size_t length)
{
    unmap_buffers();
    std::vector<std::uint8_t*> memory;
    for (unsigned i = 0; i < count; ++i) {
        const std::string name = buffer_object(root, i * length);
        const int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        void* m = MAP_FAILED;
        if (fd >= 0 && ::ftruncate(fd, static_cast<off_t>(length)) == 0)
            m = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (fd >= 0)
            ::close(fd);
        if (m == MAP_FAILED)
            return {};
        mapped.emplace_back(static_cast<std::uint8_t*>(m), length);
        memory.push_back(static_cast<std::uint8_t*>(m));
    }
    return memory;
}

void SimulatedCamera::Impl::unmap_buffers()
{
    for (std::size_t i = 0; i < mapped.size(); ++i) {
        ::munmap(mapped[i].first, mapped[i].second);
        ::shm_unlink(buffer_object(root, i * mapped[i].second).c_str());
    }
    mapped.clear();
}

void SimulatedCamera::Impl::plug()
{
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed, record, &error))
        fail("cannot add the video node", error);
    // Stays attached across unplugs: a host holding the old node open keeps
    // getting answers (ENODEV) on it.
    if (!attached && !umockdev_testbed_attach_ioctl(testbed, video_node, handler, &error))
        fail("cannot attach the ioctl handler", error);
    attached = true;
    make_node_a_fifo();
    std::lock_guard guard(lock);
    plugged = true;
    readable = false;
}

// The host polls the node for a picture: a FIFO that holds a byte exactly
// while a filled buffer waits to be dequeued.
void SimulatedCamera::Impl::make_node_a_fifo()
{
    const std::string path = root + video_node;
    ::unlink(path.c_str());
    if (::mkfifo(path.c_str(), 0666) != 0)
        throw std::runtime_error("simulated camera: cannot create the video node's FIFO");
    if (fifo >= 0)
        ::close(fifo);
    fifo = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fifo < 0)
        throw std::runtime_error("simulated camera: cannot open the video node's FIFO");
}

void SimulatedCamera::Impl::sync_fifo()
{
    // Unplugged, the node reads ready so that the host asks, and hears ENODEV.
    const bool want = !plugged || device.has_done();
    if (want == readable || fifo < 0)
        return;
    char byte = 0;
    readable = want ? ::write(fifo, "p", 1) == 1 : !(::read(fifo, &byte, 1) == 1);
}

void SimulatedCamera::Impl::unplug()
{
    {
        std::lock_guard guard(lock);
        plugged = false;
        release_buffers();
        sync_fifo();
    }
    umockdev_testbed_uevent(testbed, sys_path, "remove");
    umockdev_testbed_remove_device(testbed, sys_path);
}

void SimulatedCamera::Impl::on_ioctl(UMockdevIoctlClient* client)
{
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard guard(lock);
    if (!plugged) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return;
    }
    Resolved data(arg, 0, _IOC_SIZE(request));
    int error = data ? device.ioctl(request, data->data) : EFAULT;
    if (error == ENOTTY)
        std::fprintf(stderr, "simulated camera: unexpected ioctl 0x%lx answered ENOTTY\n", request);
    if (error == 0 && request == VIDIOC_DQBUF)
        ++delivered;
    umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
    if (error == 0 && request == VIDIOC_REQBUFS)
        owner = client;
    sync_fifo();
}

// As a driver does when the file that holds them is closed (and as a
// camera plugged back starts): streaming off, buffers freed.
void SimulatedCamera::Impl::release_buffers()
{
    int capture = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    device.ioctl(VIDIOC_STREAMOFF, &capture);
    v4l2_requestbuffers none{};
    none.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    none.memory = V4L2_MEMORY_MMAP;
    device.ioctl(VIDIOC_REQBUFS, &none);
    owner = nullptr;
}

void SimulatedCamera::Impl::on_vanished(UMockdevIoctlClient* client)
{
    std::lock_guard guard(lock);
    if (client == owner) {
        release_buffers();
        sync_fifo();
    }
}

// The sensor's clock: a picture every 1/25 s, of the scene at its time.
void SimulatedCamera::Impl::run_sensor()
{
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::microseconds(1000000 / frames_per_second);
    auto next = Clock::now() + period;
    std::unique_lock guard(lock);
    while (!wake.wait_until(guard, next, [this] { return quitting; })) {
        next += period;
        if (!plugged || !device.streaming())
            continue;
        guard.unlock();
        const SimulatedUnit::SceneNow now = unit.scene_now();  // the unit's lock, never inside ours
        guard.lock();
        if (plugged && device.streaming()) {
            if (!device.capture(now.scene, now.t, monotonic_now()))
                ++lost;
            sync_fifo();
        }
    }
}

SimulatedCamera::SimulatedCamera(SimulatedUnit& unit) : impl_(std::make_unique<Impl>(unit))
{
    g_signal_connect(impl_->handler, "handle-ioctl", G_CALLBACK(handle_ioctl), impl_.get());
    g_signal_connect(impl_->handler, "client-vanished", G_CALLBACK(client_vanished), impl_.get());
    impl_->plug();
    impl_->sensor = std::thread([this] { impl_->run_sensor(); });
}

SimulatedCamera::~SimulatedCamera()
{
    {
        std::lock_guard guard(impl_->lock);
        impl_->quitting = true;
    }
    impl_->wake.notify_all();
    impl_->sensor.join();
    if (impl_->attached)
        umockdev_testbed_detach_ioctl(impl_->testbed, video_node, nullptr);
    std::lock_guard guard(impl_->lock);
    impl_->unmap_buffers();
    if (impl_->fifo >= 0)
        ::close(impl_->fifo);
    g_object_unref(impl_->handler);
}

void SimulatedCamera::plug()
{
    if (!plugged())
        impl_->plug();
}

void SimulatedCamera::unplug()
{
    if (plugged())
        impl_->unplug();
}

bool SimulatedCamera::plugged() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->plugged;
}

std::uint64_t SimulatedCamera::delivered() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->delivered;
}

std::uint64_t SimulatedCamera::lost() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->lost;
}

bool SimulatedCamera::streaming() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->device.streaming();
}

} // namespace sim::camera
