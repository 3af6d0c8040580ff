#pragma once
// The thread that makes the live maps: the acquisition's thread hands it
// pieces of the stream and the settings, and gets maps back through
// `deliver`, which the worker calls on its own thread (the caller posts the
// result to its window). It reads nothing of the window's.
//
// The lock guards only the hand-over: the window never waits for a map,
// a job's configuration or a file read. Waiting pieces are bounded in
// bytes: when the maps fall far behind, the oldest piece not begun is
// dropped (counted as skipped) so that memory stays flat.
#include "map/live_mapper.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace SonivarACQ32::acoustic_map {

class MapWorker {
public:
    using Deliver = std::function<void(MapOutcome)>;
    static constexpr std::size_t max_waiting_bytes = std::size_t{32} << 20;
    static constexpr std::size_t max_spare = 16;  // pieces whose buffers are kept

    explicit MapWorker(Deliver deliver);
    ~MapWorker();  // waits for the map in progress
    MapWorker(const MapWorker&) = delete;
    MapWorker& operator=(const MapWorker&) = delete;

    // A copy of the piece joins the waiting ones; a stretch of a recording
    // not begun is dropped.
    void push(const unsigned char* data, std::size_t len, std::uint64_t stream_position,
              std::uint64_t run);
    // New settings: the last piece is mapped again with them when no piece
    // waits.
    void set_job(const MapJob& job);
    // A stretch of a recording to map with `job`, once no live piece waits;
    // it replaces a stretch not begun (only the newest position matters).
    void map_slice(const MapJob& job, const stream::FileSlice& slice, std::uint64_t run);

private:
    void loop(std::stop_token stop);
    // What the loop takes in one hand-over.
    struct Batch;
    Batch take(std::stop_token stop, std::vector<StreamPiece>& work);
    void give_back(std::vector<StreamPiece>& work);

    Deliver deliver_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::vector<StreamPiece> waiting_;
    std::size_t waiting_bytes_ = 0;
    std::vector<StreamPiece> spare_;  // pieces whose buffers are reused
    std::uint64_t dropped_ = 0;
    MapJob job_;
    bool job_changed_ = false;
    struct WaitingSlice {
        stream::FileSlice slice;
        std::uint64_t run = 0;
    };
    std::optional<WaitingSlice> slice_;
    LiveMapper mapper_;  // the worker's alone
    std::jthread thread_;
};

} // namespace SonivarACQ32::acoustic_map
