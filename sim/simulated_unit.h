#pragma once
// A simulated Sonivar 32 behind umockdev: the real libusb and its Linux usbfs
// backend talk to it as to the hardware. One SimulatedUnit at a time in a
// process, created before the program's first libusb_init; the process must
// run under the umockdev preload (LD_PRELOAD=libumockdev-preload.so.0).
#include "scene.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace sim {

struct Request {
    std::uint8_t request = 0;           // bRequest
    std::vector<std::uint8_t> data;     // the data stage

    friend bool operator==(const Request&, const Request&) = default;
};

// What a microphone hears. Scene (the default) is the unit's acoustic scene:
// a point source heard through the array's geometry (set_point_source,
// set_geometry_file), by default one circling slowly in front of the array.
struct Signal {
    enum class Kind { Scene, Silence, Constant, Sine, Noise } kind = Kind::Scene;
    double amplitude = 0.0;   // counts (int32) or units (float32); unused by Scene
    double frequency = 0.0;   // Hz, for Sine
};

// How a transfer fails when a fault is injected: Error and Stall end it at
// once with no data (the stream goes on in the next transfer); TimedOut
// holds it, and the stream with it, until the host gives up on it.
enum class Failure { Error, Stall, TimedOut };

class SimulatedUnit {
public:
    explicit SimulatedUnit(bool attached = true);
    ~SimulatedUnit();
    SimulatedUnit(const SimulatedUnit&) = delete;
    SimulatedUnit& operator=(const SimulatedUnit&) = delete;

    // Plug and unplug the cable. Plugging in starts from power-on settings.
    void attach();
    void detach();
    bool attached() const;

    // Every vendor request received, in order, stalled ones included; and
    // those the unit stalled (unknown code, wrong length or framing, a
    // parameter out of range).
    std::vector<Request> requests() const;
    std::vector<Request> stalled() const;
    void clear_requests();

    // Device node opens and closes, interface 0 claims and releases.
    int opens() const;
    int closes() const;
    int claims() const;
    int releases() const;

    // Streaming (after Start, B1/02). A frame is the counter word (flag
    // 0x80), the selected microphones in ascending global index, then the
    // status word (flag 0x40: bit 0 input 1, bit 1 input 2).
    void set_silent(bool silent);          // answers commands, never streams
    void set_paced(bool paced);            // at the programmed sample clock; default: as fast as reaped
    void set_input(int input, bool high);  // external inputs 1 and 2; a change is an edge
    bool input(int input) const;
    void set_signal(int mic, Signal signal);  // mic 0 to 31 (8 x beam + microphone)
    // Microphone positions from a MicGeom XML file with one pos per
    // microphone; false (and the geometry unchanged) when it cannot be read.
    // Default: the example plane grid of 4 cm pitch.
    bool set_geometry_file(const std::string& path);
    // A tone from a fixed point (metres; amplitude at 1 m in counts, or in
    // units x 2^31 for float samples) replaces the moving default source.
    void set_point_source(double x, double y, double z, double frequency, double amplitude);
    // The source moves to (x, y, z) from frame `frame` of the stream on
    // (counted from the Start, at the clock programmed now); and when that
    // frame falls due on the paced stream under way. A fixed source moved
    // again starts from where the move before took it.
    void move_source_at(std::uint64_t frame, double x, double y, double z);
    std::optional<std::chrono::steady_clock::time_point> frame_due(std::uint64_t frame) const;
    // A sound calibrator over microphone `mic` (global index): it hears the
    // calibrator's tone alone, at the simulated microphones' sensitivity
    // (scene.h); the others hear the scene.
    void set_calibrator(int mic, double level_db, double frequency_hz);
    void clear_calibrator();
    std::optional<Calibrator> calibrator() const;
    void set_first_counter(std::uint32_t value);  // counter of frame 0 (default 0)
    // From `frame` on (counted from each Start), the counter is `by` ahead.
    void jump_counter_at(std::uint64_t frame, std::uint32_t by);
    // The transfer `index` (counted from 0 at each Start) fails, once.
    void fail_transfer(std::uint32_t index, Failure failure);
    // The cable comes out once `bytes` more stream bytes are sent; a transfer
    // cut short ends as LIBUSB_TRANSFER_NO_DEVICE.
    void unplug_after(std::uint64_t bytes);
    // Stop is accepted and the data ends, but no short packet follows.
    void ignore_stop(bool ignore);
    // The stream of the next acquisition carries `bytes` more (or, negative,
    // fewer) bytes than programmed, then ends as usual; once.
    void set_length_error(int bytes);
    std::uint64_t bytes_sent() const;      // stream bytes sent since creation
    bool streaming() const;                // between a Start and the stream's end

    // Zero-copy memory (libusb_dev_mem_alloc), as a Linux host gives it: the
    // stream goes straight into a submitted transfer's buffer as its packets
    // fall due, before the transfer completes. Needs the project's preload
    // (libsonivar-zero-copy.so) before umockdev's in the host process; without
    // it, or off, the host gets no such memory and uses plain buffers, which
    // see their data only when the transfer is reaped. Default: on.
    void set_zero_copy(bool on);
    // Bulk transfers the unit has written in place, since creation.
    std::uint64_t zero_copy_transfers() const;

    // Every ioctl the device node received: a host that is idle, or waits
    // for a paced stream, must not keep asking.
    std::uint64_t ioctls() const;

    // The testbed's root (the launcher hands it to its child as UMOCKDEV_DIR).
    std::string root_dir() const;
    // The testbed itself, for other devices of the simulated machine.
    UMockdevTestbed* testbed() const;
    // What the array hears now and the scene's time (scene_time).
    struct SceneNow {
        Scene scene;
        double t = 0.0;
    };
    SceneNow scene_now() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace sim
