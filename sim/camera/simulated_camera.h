#pragma once
// A simulated webcam filming the simulated unit's scene, on the same
// simulated machine: a V4L2 video node (/dev/video0) in the unit's umockdev
// testbed, whose ioctls are answered here, so that the program's own camera
// code (Qt Multimedia's V4L2 camera) lists, opens and streams it as a real
// webcam. Its buffers are shared-memory objects the program maps through the
// project's preload (libsonivar-zero-copy.so, before umockdev's).
#include "simulated_unit.h"

#include <cstdint>
#include <memory>

namespace sim::camera {

class SimulatedCamera {
public:
    // Plugged in at once; the unit must outlive the camera.
    explicit SimulatedCamera(SimulatedUnit& unit);
    ~SimulatedCamera();
    SimulatedCamera(const SimulatedCamera&) = delete;
    SimulatedCamera& operator=(const SimulatedCamera&) = delete;

    // The cable: unplugged, the node goes away and a host that still holds
    // it open gets ENODEV, as from a webcam pulled out.
    void plug();
    void unplug();
    bool plugged() const;
    // Pictures the host has taken, and pictures lost because it had no
    // buffer queued when they were taken.
    std::uint64_t delivered() const;
    std::uint64_t lost() const;
    bool streaming() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace sim::camera
