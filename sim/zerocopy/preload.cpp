// LD_PRELOAD library, loaded before umockdev's: serves mmap on the emulated
// device nodes (which umockdev backs with FIFOs of the simulated devices'):
// on the unit's usbfs node (libusb_dev_mem_alloc) with a shared-memory
// object that the simulated unit writes the stream into, removed at munmap;
// on the camera's video node (its V4L2 buffers) with the buffer object the
// simulated camera made for that offset. Every other mmap goes straight
// through. No C++ runtime state: it runs from
// the first mmap of the process on.
#include "zero_copy_memory.h"
#include "camera/camera_memory.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <cstdlib>
#include <mutex>

namespace {

using mmap_fn = void* (*)(void*, size_t, int, int, int, off_t);
using munmap_fn = int (*)(void*, size_t);

mmap_fn next_mmap = nullptr;
munmap_fn next_munmap = nullptr;

__attribute__((constructor)) void find_next()
{
    next_mmap = reinterpret_cast<mmap_fn>(dlsym(RTLD_NEXT, "mmap"));
    next_munmap = reinterpret_cast<munmap_fn>(dlsym(RTLD_NEXT, "munmap"));
}

void* real_mmap(void* addr, size_t len, int prot, int flags, int fd, off_t off)
{
    if (next_mmap != nullptr)
        return next_mmap(addr, len, prot, flags, fd, off);
    return reinterpret_cast<void*>(syscall(SYS_mmap, addr, len, prot, flags, fd, off));
}

int real_munmap(void* addr, size_t len)
{
    if (next_munmap != nullptr)
        return next_munmap(addr, len);
    return static_cast<int>(syscall(SYS_munmap, addr, len));
}

// The buffers served, so that munmap knows which objects to remove.
constexpr int max_buffers = 64;
struct Served {
    std::uintptr_t address = 0;
    size_t length = 0;
};
Served served[max_buffers];
std::mutex served_lock;

bool remember(std::uintptr_t address, size_t length)
{
    std::lock_guard guard(served_lock);
    for (Served& s : served)
        if (s.address == 0) {
            s = {address, length};
            return true;
        }
    return false;
}

bool forget(std::uintptr_t address)
{
    std::lock_guard guard(served_lock);
    for (Served& s : served)
        if (s.address == address) {
            s = {};
            return true;
        }
    return false;
}

// A node of the testbed: the file the fd was opened on lies under `under`
// in the testbed's root.
bool emulated_node(int fd, const char* root, const char* under)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = '\0';
    const std::string node = std::string(root) + under;
    return std::strncmp(target, node.c_str(), node.size()) == 0;
}

void* serve(size_t len, int prot, const char* root)
{
    // Named after the address, known only once mapped: created under a name
    // of its own, mapped, then renamed (shared-memory objects live in /dev/shm).
    static std::atomic<unsigned> serial{0};
    const std::string staging = sim::zero_copy::object_name(root, 0) + "-" + std::to_string(getpid()) +
                                "-" + std::to_string(++serial);
    const int fd = shm_open(staging.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return MAP_FAILED;
    void* memory = MAP_FAILED;
    if (ftruncate(fd, static_cast<off_t>(len)) == 0)
        memory = real_mmap(nullptr, len, prot, MAP_SHARED, fd, 0);
    const auto address = reinterpret_cast<std::uintptr_t>(memory);
    const std::string name = sim::zero_copy::object_name(root, address);
    const bool named = memory != MAP_FAILED && std::rename(("/dev/shm" + staging).c_str(),
                                                           ("/dev/shm" + name).c_str()) == 0;
    close(fd);
    if (!named || !remember(address, len)) {
        shm_unlink((named ? name : staging).c_str());
        if (memory != MAP_FAILED)
            real_munmap(memory, len);
        return MAP_FAILED;
    }
    return memory;
}

// The simulated camera's buffer at `off`, made by the camera.
void* serve_camera_buffer(size_t len, int prot, const char* root, off_t off)
{
    const std::string name = sim::camera::buffer_object(root, static_cast<std::size_t>(off));
    const int fd = shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0)
        return MAP_FAILED;
    void* memory = real_mmap(nullptr, len, prot, MAP_SHARED, fd, 0);
    close(fd);
    return memory;
}

} // namespace

extern "C" {

void* mmap(void* addr, size_t len, int prot, int flags, int fd, off_t off)
{
    void* result = real_mmap(addr, len, prot, flags, fd, off);
    if (result != MAP_FAILED || errno != ENODEV || addr != nullptr || (flags & MAP_SHARED) == 0)
        return result;
    const char* root = std::getenv("UMOCKDEV_DIR");
    if (root != nullptr && emulated_node(fd, root, "/dev/video")) {
        void* memory = serve_camera_buffer(len, prot, root, off);
        if (memory == MAP_FAILED)
            errno = ENODEV;
        return memory;
    }
    if (off != 0 || root == nullptr || !emulated_node(fd, root, "/dev/bus/usb/") ||
        access(sim::zero_copy::offer_path(root).c_str(), F_OK) != 0) {
        errno = ENODEV;
        return MAP_FAILED;
    }
    void* memory = serve(len, prot, root);
    if (memory == MAP_FAILED)
        errno = ENODEV;
    return memory;
}

void* mmap64(void* addr, size_t len, int prot, int flags, int fd, off_t off)
{
    return mmap(addr, len, prot, flags, fd, off);
}

int munmap(void* addr, size_t len)
{
    const auto address = reinterpret_cast<std::uintptr_t>(addr);
    if (forget(address)) {
        if (const char* root = std::getenv("UMOCKDEV_DIR"))
            shm_unlink(sim::zero_copy::object_name(root, address).c_str());
    }
    return real_munmap(addr, len);
}

} // extern "C"
