#pragma once
// The thread that runs a live window's computation (the map, the
// spectrum): the acquisition's thread hands it pieces of the stream and
// jobs, and gets outcomes back through `deliver`, which the worker calls on
// its own thread (the caller posts the result to its window). It reads
// nothing of the window's.
//
// The lock guards only the hand-over: the window never waits for an
// outcome, a job's configuration or a file read. Waiting pieces are bounded
// in bytes: when the computation falls far behind, the oldest piece not
// begun is dropped (counted as skipped) so that memory stays flat.
//
// A Computation has a Job and an Outcome (with `valid`, `status` and
// `skipped`), and set_job(job), compute(pieces), recompute() and
// compute_slice(slice, run) (map/live_mapper.h, spectrum/live_spectrum.h).
#include "stream/recording_slice.h"
#include "stream/stream_tail.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>
#include <vector>

namespace SonivarACQ32::feed {

template <class Computation>
class StreamWorker {
public:
    using Job = typename Computation::Job;
    using Outcome = typename Computation::Outcome;
    using Deliver = std::function<void(Outcome)>;
    static constexpr std::size_t max_waiting_bytes = std::size_t{32} << 20;
    static constexpr std::size_t max_spare = 16;  // pieces whose buffers are kept

    explicit StreamWorker(Deliver deliver)
        : deliver_(std::move(deliver)), thread_([this](std::stop_token stop) { loop(stop); })
    {
    }
    ~StreamWorker()  // waits for the outcome in progress
    {
        thread_.request_stop();
        wake_.notify_all();
        thread_.join();
    }
    StreamWorker(const StreamWorker&) = delete;
    StreamWorker& operator=(const StreamWorker&) = delete;

    // A copy of the piece joins the waiting ones; a stretch of a recording
    // not begun is dropped (a run streams: its pieces come first).
    void push(const unsigned char* data, std::size_t len, std::uint64_t stream_position, std::uint64_t run)
    {
        {
            std::lock_guard lock(mutex_);
            make_room(len);
            stream::StreamPiece piece = spare_piece();
            piece.bytes.assign(data, data + len);
            piece.stream_position = stream_position;
            piece.run = run;
            waiting_bytes_ += len;
            waiting_.push_back(std::move(piece));
            slice_.reset();
        }
        wake_.notify_one();
    }

    // New settings: the last stretch is computed again with them when no
    // piece waits.
    void set_job(const Job& job)
    {
        {
            std::lock_guard lock(mutex_);
            job_ = job;
            job_changed_ = true;
        }
        wake_.notify_one();
    }

    // A stretch of a recording to compute with `job`, once no live piece
    // waits; it replaces a stretch not begun (only the newest matters).
    void compute_slice(const Job& job, const stream::FileSlice& slice, std::uint64_t run)
    {
        {
            std::lock_guard lock(mutex_);
            job_ = job;
            job_changed_ = true;
            slice_ = WaitingSlice{slice, run};
        }
        wake_.notify_one();
    }

private:
    struct WaitingSlice {
        stream::FileSlice slice;
        std::uint64_t run = 0;
    };
    // What the loop takes in one hand-over.
    struct Batch {
        std::optional<Job> job;  // new settings, applied outside the lock
        std::optional<WaitingSlice> slice;
        std::uint64_t dropped = 0;
        bool again = false;
    };

    void make_room(std::size_t len)  // under the lock
    {
        while (!waiting_.empty() && waiting_bytes_ + len > max_waiting_bytes) {
            waiting_bytes_ -= waiting_.front().bytes.size();
            stream::StreamPiece oldest = std::move(waiting_.front());
            waiting_.erase(waiting_.begin());
            if (spare_.size() < max_spare)
                spare_.push_back(std::move(oldest));
            ++dropped_;
        }
    }

    stream::StreamPiece spare_piece()  // under the lock
    {
        if (spare_.empty())
            return {};
        stream::StreamPiece piece = std::move(spare_.back());
        spare_.pop_back();
        return piece;
    }

    // Everything waiting, taken at once: live pieces first; then a
    // recording's stretch; then the stretch kept again when only the
    // settings changed.
    Batch take(std::stop_token stop, std::vector<stream::StreamPiece>& work)
    {
        Batch batch;
        std::unique_lock lock(mutex_);
        wake_.wait(lock, stop, [this] { return !waiting_.empty() || job_changed_ || slice_; });
        if (stop.stop_requested())
            return batch;
        if (job_changed_) {
            batch.job = job_;
            job_changed_ = false;
            batch.again = waiting_.empty();
        }
        if (waiting_.empty())
            batch.slice = std::exchange(slice_, std::nullopt);
        work.swap(waiting_);
        waiting_bytes_ = 0;
        batch.dropped = std::exchange(dropped_, 0);
        return batch;
    }

    void give_back(std::vector<stream::StreamPiece>& work)
    {
        std::lock_guard lock(mutex_);
        for (stream::StreamPiece& piece : work)
            if (spare_.size() < max_spare)
                spare_.push_back(std::move(piece));
        work.clear();
    }

    void loop(std::stop_token stop)
    {
        std::vector<stream::StreamPiece> work;
        while (!stop.stop_requested()) {
            Batch batch = take(stop, work);
            if (stop.stop_requested())
                return;
            if (batch.job)
                computation_.set_job(*batch.job);
            Outcome out = batch.slice   ? computation_.compute_slice(batch.slice->slice, batch.slice->run)
                          : work.empty() ? (batch.again ? computation_.recompute() : Outcome{})
                                         : computation_.compute(work);
            out.skipped += batch.dropped;
            if (out.valid || !out.status.empty() || out.skipped > 0)
                deliver_(std::move(out));
            give_back(work);
        }
    }

    Deliver deliver_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::vector<stream::StreamPiece> waiting_;
    std::size_t waiting_bytes_ = 0;
    std::vector<stream::StreamPiece> spare_;  // pieces whose buffers are reused
    std::uint64_t dropped_ = 0;
    Job job_;
    bool job_changed_ = false;
    std::optional<WaitingSlice> slice_;
    Computation computation_;  // the worker's alone
    std::jthread thread_;      // last: started once everything else is built
};

} // namespace SonivarACQ32::feed
