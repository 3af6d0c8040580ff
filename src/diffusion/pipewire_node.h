#pragma once
// The array as a sound source for every program of the desktop: a PipeWire
// node of media class Audio/Source, one channel per acquired microphone in
// global-index order (their names, MIC_00 to MIC_31, in the node's
// "sonivar.channel-names"), float samples at the unit's clock, which the
// server resamples to its graph. The node runs on a thread
// of the PipeWire library; the acquisition's thread only writes into its
// ring, never waits for it.
#include "diffusion/drift_match.h"
#include "diffusion/latency_record.h"
#include "diffusion/sample_ring.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct pw_thread_loop;
struct pw_stream;
struct spa_io_rate_match;

namespace SonivarACQ32::diffusion {

// What the node is made with.
struct NodeFormat {
    std::vector<int> micros;  // global indices, in channel order
    unsigned rate = 0;        // the unit's sample rate, Hz
};

// The node's name in the graph (what a program asks for) and the name
// shown to people.
inline constexpr const char* node_name = "sonivar-32";
inline constexpr const char* node_description = "Sonivar 32";
// Frames the ring holds when the server reads: the unit's samples come in
// pieces of a few milliseconds, so the ring keeps that much ahead.
constexpr double target_delay_s = 0.020;

class PipeWireNode {
public:
    PipeWireNode() = default;
    ~PipeWireNode();
    PipeWireNode(const PipeWireNode&) = delete;
    PipeWireNode& operator=(const PipeWireNode&) = delete;

    // Connects to the server and makes the node; false with the reason's
    // errno (EHOSTDOWN, ECONNREFUSED or ENOENT: no server to reach).
    bool open(const NodeFormat& format, int& error);
    void close();
    bool is_open() const { return loop_ != nullptr; }

    // Interleaved frames of the format's channels, in order. Dropped while no
    // program reads the node (nothing is waiting for them).
    void write(const float* frames, std::size_t count);
    // The server has gone (or ended the node).
    bool gone() const { return gone_.load(std::memory_order_acquire); }

    // Frames a reader could not take (its backlog dropped), the frames
    // written while it read, and the unit-to-node delay.
    std::uint64_t dropped() const { return ring_ ? ring_->dropped() : 0; }
    std::uint64_t frames_read() const { return frames_read_.load(std::memory_order_relaxed); }
    // Cycles that found the ring dry (the stream came late: silence filled in).
    std::uint64_t dry_cycles() const { return dry_cycles_.load(std::memory_order_relaxed); }
    const LatencyRecord& latency() const { return latency_; }
    // How punctual the two sides were: the server's cycles (a reader held up
    // leaves a backlog) and the stream's pieces (a writer held up leaves the
    // ring dry), the longest gaps between them, and the backlogs dropped.
    struct Timeliness {
        std::uint64_t late_cycles = 0;  // cycles more than three quanta after the one before
        double longest_cycle_gap_ms = 0.0;
        double longest_write_gap_ms = 0.0;
        std::uint64_t backlogs = 0;
    };
    Timeliness timeliness() const;

    // For the library's callbacks (plain C functions).
    void process();
    void state_changed(int state, const char* error);
    void rate_match_io(spa_io_rate_match* area) { rate_match_ = area; }

private:
    void stamp_written(std::uint64_t frames);
    void record_latency(std::uint64_t read_end);
    void note_cycle();

    NodeFormat format_;
    pw_thread_loop* loop_ = nullptr;
    pw_stream* stream_ = nullptr;
    std::unique_ptr<SampleRing> ring_;
    spa_io_rate_match* rate_match_ = nullptr;
    std::atomic<bool> reading_{false};   // a program reads the node
    bool primed_ = false;                // the reader's ring reached its target (reader's own)
    std::atomic<std::uint64_t> frames_read_{0};
    std::atomic<std::uint64_t> dry_cycles_{0};
    // The newest frame written and when, for the delay of each read.
    std::atomic<std::uint64_t> stamp_frames_{0};
    std::atomic<std::int64_t> stamp_ns_{0};
    LatencyRecord latency_;
    std::optional<DriftMatch> drift_;
    std::atomic<bool> gone_{false};
    std::int64_t last_cycle_ns_ = 0;  // the server's thread only
    std::int64_t last_write_ns_ = 0;  // the writer's only
    std::atomic<std::uint64_t> late_cycles_{0};
    std::atomic<std::int64_t> longest_cycle_gap_ns_{0};
    std::atomic<std::int64_t> longest_write_gap_ns_{0};
    std::atomic<std::uint64_t> backlogs_{0};
};

} // namespace SonivarACQ32::diffusion
