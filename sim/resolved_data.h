#pragma once
// Memory of a host process reached from a umockdev ioctl handler.
#include <umockdev.h>

#include <cstddef>
#include <utility>

namespace sim {

// A block of the host's memory resolved through umockdev: each resolution
// is a reference of its own, released here (the parent keeps the block for
// the copy back to the host). Unreleased, every transfer's buffer was kept.
class Resolved {
public:
    Resolved(UMockdevIoctlData* parent, std::size_t offset, std::size_t length)
        : data_(umockdev_ioctl_data_resolve(parent, offset, length, nullptr))
    {
    }
    ~Resolved()
    {
        if (data_ != nullptr)
            umockdev_ioctl_data_unref(data_);
    }
    Resolved(const Resolved&) = delete;
    Resolved& operator=(const Resolved&) = delete;
    explicit operator bool() const { return data_ != nullptr; }
    UMockdevIoctlData* operator->() const { return data_; }
    UMockdevIoctlData* get() const { return data_; }
    UMockdevIoctlData* release() { return std::exchange(data_, nullptr); }

private:
    UMockdevIoctlData* data_;
};

} // namespace sim
