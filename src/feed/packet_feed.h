#pragma once
// The one feed of the run's data to the windows that show it live: each
// accepted packet is handed once to every subscriber, and so is the filled
// part of a transfer still in flight, so that a slow stream is seen before
// its transfer completes. Each piece is passed on at most once: a packet
// whose beginning was already offered passes on only the rest. The capture
// state (stopped, awaiting a trigger, running) is signalled when a run
// begins and ends; every run has a serial of its own, so that a subscriber
// starts its averages afresh.
//
// Everything here runs on the acquisition's thread; a subscriber copies
// what it keeps, since the bytes go back to the unit after the call.
#include "stream/frame_layout.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace SonivarACQ32::feed {

enum class Capture { stopped, awaiting_trigger, running };

struct RunFacts {
    std::uint64_t serial = 0;  // 0 before the first run
    stream::FrameLayout layout;
    double sample_rate = 0.0;  // Hz
    std::string recording;     // the .dat the run writes; empty when it writes none
};

// A piece of the run's stream: `len` bytes from byte `stream_position`.
struct Piece {
    const unsigned char* data = nullptr;
    std::size_t len = 0;
    std::uint64_t stream_position = 0;
    std::uint64_t run = 0;  // the serial of its run
};

// How often the transfer in flight is offered by default: 25 times a
// second, so that the live windows follow the scene at video rate whatever
// the rate (a transfer takes 0.16 s to fill at the top rate, 43 s at
// 2 000 Hz with 2 microphones).
constexpr std::uint32_t video_offer_ms = 40;

class Subscriber {
public:
    virtual ~Subscriber() = default;
    virtual void capture(Capture state, const RunFacts& run) = 0;
    virtual void piece(const Piece& piece) = 0;
    // How often this subscriber needs the transfer in flight offered; the
    // feed offers it as often as its most demanding subscriber asks.
    virtual std::uint32_t offer_interval_ms() const { return video_offer_ms; }
};

class PacketFeed {
public:
    // A new subscriber learns the state at once.
    void subscribe(Subscriber* s);
    void unsubscribe(Subscriber* s);
    bool has_subscribers() const { return !subscribers_.empty(); }
    std::uint32_t offer_interval_ms() const;

    // A run is being started (a new serial), has begun, or has ended.
    void run_starting(Capture state, const stream::FrameLayout& layout, double sample_rate,
                      const std::string& recording = {});
    void set_state(Capture state);
    Capture state() const { return state_; }
    const RunFacts& run() const { return run_; }

    // The bytes of the stream from `stream_position` that are now in hand:
    // what was not offered yet is passed on. Nothing while stopped.
    void publish(const unsigned char* data, std::size_t len, std::uint64_t stream_position);
    // How far the stream has been passed on.
    std::uint64_t offered_end() const { return offered_end_; }
    std::uint64_t pieces = 0;  // handed on since the program started

private:
    std::vector<Subscriber*> subscribers_;
    Capture state_ = Capture::stopped;
    RunFacts run_;
    std::uint64_t offered_end_ = 0;
};

// Marks a transfer's buffer as not yet filled before it goes to the unit:
// the first bytes of each stride of the fill (stream_format.h).
void mark_unfilled(unsigned char* buffer, std::size_t size);
// The filled part of a zero-copy transfer in flight, marked before it went
// to the unit: the strides before the last one whose mark is overwritten
// (a mark is two words of fill: a single word equal to it may be data),
// searched from `known` (a stride's start) on.
std::size_t filled_bytes(const unsigned char* buffer, std::size_t size, std::size_t known);

// The end of the last whole frame of a piece of `len` bytes at byte
// `stream_position`, as a length from the piece's start (pieces passed on
// before a transfer completes end on a frame, so the next starts on one).
std::size_t whole_frames_length(std::size_t len, std::uint64_t stream_position,
                                const stream::FrameLayout& layout);

} // namespace SonivarACQ32::feed
