#pragma once
// A simulated Sonivar 32 behind umockdev: the real libusb and its Linux usbfs
// backend talk to it as to the hardware. One SimulatedUnit at a time in a
// process, created before the program's first libusb_init; the process must
// run under the umockdev preload (LD_PRELOAD=libumockdev-preload.so.0).
#include <cstdint>
#include <memory>
#include <vector>

namespace sim {

struct Request {
    std::uint8_t request = 0;           // bRequest
    std::vector<std::uint8_t> data;     // the data stage
};

// What a microphone hears.
struct Signal {
    enum class Kind { Scene, Silence, Constant, Sine, Noise } kind = Kind::Scene;
    double amplitude = 0.0;   // counts (int32) or units (float32)
    double frequency = 0.0;   // Hz, for Sine
};

// How a transfer fails when a fault is injected.
enum class Failure { Error, Stall, TimedOut };

class SimulatedUnit {
public:
    explicit SimulatedUnit(bool attached = true);
    ~SimulatedUnit();
    SimulatedUnit(const SimulatedUnit&) = delete;
    SimulatedUnit& operator=(const SimulatedUnit&) = delete;

    // Plug and unplug the cable.
    void attach();
    void detach();

    // Every vendor request received, in order.
    std::vector<Request> requests() const;
    void clear_requests();

    // Device node opens and closes, interface 0 claims and releases.
    int opens() const;
    int closes() const;
    int claims() const;
    int releases() const;

    // Streaming (after Start, B1/02).
    void set_silent(bool silent);          // answers commands, never streams
    void set_paced(bool paced);            // at the programmed sample clock
    void set_input(int input, bool high);  // external inputs 1 and 2
    void set_signal(int mic, Signal signal);
    void jump_counter_at(std::uint64_t frame, std::uint32_t by);
    void fail_transfer(std::uint32_t index, Failure failure);
    void unplug_after(std::uint64_t bytes);
    void ignore_stop(bool ignore);
    std::uint64_t bytes_sent() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace sim
