#pragma once
// The unit behind its USB interface, without umockdev: control requests go to
// the device model; bulk IN requests wait in a queue and the stream fills the
// oldest one. Time is passed in, so that pacing can be tested without waiting.
// Not thread-safe: the owner serialises every call.
#include "device_model.h"
#include "frame_source.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <vector>

namespace sim {

using Clock = std::chrono::steady_clock;

// A request the unit has finished with, ready to be reaped.
struct Finished {
    std::uint64_t id = 0;
    int status = 0;                  // 0, or a negative errno as usbfs reports it
    int actual_length = 0;
    std::vector<std::uint8_t> data;  // the bytes delivered (bulk IN, control IN)
    std::size_t data_offset = 0;     // where they go in the URB's buffer: after a setup packet
};

class StreamEngine {
public:
    // Control transfer: answered at once, stalled (-EPIPE) when refused.
    // Standard requests get their descriptors and status; vendor OUT
    // requests go to the device model.
    void submit_control(std::uint64_t id, const SetupPacket& setup,
                        const std::vector<std::uint8_t>& data, Clock::time_point now);
    // Bulk IN transfer of `length` bytes; false when the unit is unplugged.
    // With `in_place` (the transfer's buffer, zero-copy memory the host
    // reads in place), the stream is written there packet by packet as it
    // falls due, before the transfer completes; its Finished carries no data.
    bool submit_bulk(std::uint64_t id, std::uint32_t length, Clock::time_point now,
                     std::uint8_t* in_place = nullptr);
    // Cancels a request still pending (-ECONNRESET); false when none is.
    bool discard(std::uint64_t id, Clock::time_point now);
    // The transfer's host is gone (its process ended): the transfer leaves
    // the queue and the finished list without a word, as the kernel drops a
    // closed file's URBs.
    void forget(std::uint64_t id, Clock::time_point now);
    // The oldest finished request. When none is left, the unit may go on
    // filling: unpaced, the stream moves on only once the host has drained
    // what was ready, so that one event-handling pass of the host ends.
    std::optional<Finished> reap(Clock::time_point now);
    bool has_finished() const { return !finished_.empty(); }

    // Delivers whatever the stream has ready by `now`.
    void pump(Clock::time_point now);
    // When the paced stream next has something to deliver.
    std::optional<Clock::time_point> next_deadline() const;

    void set_input(int input, bool high, Clock::time_point now);
    bool input(int input) const { return inputs_[input - 1]; }
    // What the microphones hear; a stream under way hears the change at once.
    void set_scene(const Scene& scene);
    const Scene& scene() const { return scene_; }
    // The scene's time at `now`, s: that of the stream's newest frame while
    // it streams (due, when paced; sent, otherwise), else the time since
    // the unit was made, so that the scene goes on between runs.
    double scene_time(Clock::time_point now) const;
    // When frame `frame` of the paced stream under way falls due.
    std::optional<Clock::time_point> frame_due(std::uint64_t frame) const;

    // The cable: pulled (pending requests end with -ESHUTDOWN) and plugged
    // back (power-on settings, nothing pending).
    void disconnect();
    void connect();
    bool connected() const { return connected_; }
    // The unplug fault fired: the owner must take the unit off the bus.
    bool unplug_due() const { return unplug_due_; }
    void clear_unplug_due() { unplug_due_ = false; }

    bool streaming() const { return phase_ == Phase::Streaming; }
    bool waiting_trigger() const { return phase_ == Phase::Waiting; }
    std::size_t queued() const { return queued_.size(); }

    DeviceModel model;
    std::array<Signal, 32> signals{};
    std::uint32_t first_counter = 0;
    std::vector<CounterJump> jumps;
    std::map<std::uint32_t, Failure> failures;  // by transfer index since Start, once each
    std::optional<std::uint64_t> unplug_at;     // a value of bytes_sent
    bool silent = false;
    bool paced = false;
    bool ignore_stop = false;
    int length_error = 0;  // bytes more (or fewer) in the next stream, then 0
    std::uint64_t bytes_sent = 0;

private:
    enum class Phase { Idle, Waiting, Streaming };
    struct Pending {
        std::uint64_t id;
        std::uint32_t length;
        std::uint8_t* in_place = nullptr;
        std::uint32_t written = 0;  // bytes already in place
    };

    void start(Clock::time_point now);
    void begin_streaming(Clock::time_point now);
    void stop(Clock::time_point now);
    bool trigger_met(bool before, bool after) const;
    std::uint64_t with_length_error(std::uint64_t end) const;
    std::uint64_t frames_due(Clock::time_point now) const;
    std::uint64_t available(Clock::time_point now) const;
    bool fail_front();
    void deliver(const Pending& urb, std::uint64_t n, int status);
    void write_in_place(Pending& urb, std::uint64_t ready);
    std::uint64_t in_place_step() const;

    std::deque<Pending> queued_;
    std::deque<Finished> finished_;
    bool connected_ = true;
    bool unplug_due_ = false;
    bool host_drained_ = true;  // the host's last reap found nothing
    std::array<bool, 2> inputs_{};
    Scene scene_;
    Clock::time_point made_ = Clock::now();

    Phase phase_ = Phase::Idle;
    Trigger trigger_;
    FrameSource source_;
    Clock::time_point t0_{};
    std::uint64_t offset_ = 0;  // stream bytes delivered
    std::optional<std::uint64_t> end_;  // stream length, once known
    bool no_end_packet_ = false;        // Stop ignored: the data ends, no short packet
    int run_length_error_ = 0;          // length_error taken by this stream
    std::uint32_t transfer_index_ = 0;  // transfers filled since Start
    std::optional<std::uint64_t> held_; // a transfer left to time out
};

} // namespace sim
