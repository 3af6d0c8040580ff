#include "map/map_worker.h"

#include <utility>

namespace SonivarACQ32::acoustic_map {

struct MapWorker::Batch {
    std::optional<MapJob> job;  // new settings, applied outside the lock
    std::optional<WaitingSlice> slice;
    std::uint64_t dropped = 0;
    bool remap = false;
};

MapWorker::MapWorker(Deliver deliver)
    : deliver_(std::move(deliver)), thread_([this](std::stop_token stop) { loop(stop); })
{
}

MapWorker::~MapWorker()
{
    thread_.request_stop();
    wake_.notify_all();
    thread_.join();
}

void MapWorker::push(const unsigned char* data, std::size_t len, std::uint64_t stream_position,
                     std::uint64_t run)
{
    {
        std::lock_guard lock(mutex_);
        while (!waiting_.empty() && waiting_bytes_ + len > max_waiting_bytes) {
            waiting_bytes_ -= waiting_.front().bytes.size();
            StreamPiece oldest = std::move(waiting_.front());
            waiting_.erase(waiting_.begin());
            if (spare_.size() < max_spare)
                spare_.push_back(std::move(oldest));
            ++dropped_;
        }
        StreamPiece piece;
        if (!spare_.empty()) {
            piece = std::move(spare_.back());
            spare_.pop_back();
        }
        piece.bytes.assign(data, data + len);
        piece.stream_position = stream_position;
        piece.run = run;
        waiting_bytes_ += len;
        waiting_.push_back(std::move(piece));
        slice_.reset();  // a run streams: its pieces take precedence over a review
    }
    wake_.notify_one();
}

void MapWorker::set_job(const MapJob& job)
{
    {
        std::lock_guard lock(mutex_);
        job_ = job;
        job_changed_ = true;
    }
    wake_.notify_one();
}

void MapWorker::map_slice(const MapJob& job, const stream::FileSlice& slice, std::uint64_t run)
{
    {
        std::lock_guard lock(mutex_);
        job_ = job;
        job_changed_ = true;
        slice_ = WaitingSlice{slice, run};
    }
    wake_.notify_one();
}

// Everything waiting, taken at once: live pieces first; then a recording's
// stretch; then the stretch kept again when only the settings changed.
MapWorker::Batch MapWorker::take(std::stop_token stop, std::vector<StreamPiece>& work)
{
    Batch batch;
    std::unique_lock lock(mutex_);
    wake_.wait(lock, stop, [this] { return !waiting_.empty() || job_changed_ || slice_; });
    if (stop.stop_requested())
        return batch;
    if (job_changed_) {
        batch.job = job_;
        job_changed_ = false;
        batch.remap = waiting_.empty();
    }
    if (waiting_.empty())
        batch.slice = std::exchange(slice_, std::nullopt);
    work.swap(waiting_);
    waiting_bytes_ = 0;
    batch.dropped = std::exchange(dropped_, 0);
    return batch;
}

void MapWorker::give_back(std::vector<StreamPiece>& work)
{
    std::lock_guard lock(mutex_);
    for (StreamPiece& piece : work)
        if (spare_.size() < max_spare)
            spare_.push_back(std::move(piece));
    work.clear();
}

void MapWorker::loop(std::stop_token stop)
{
    std::vector<StreamPiece> work;
    while (!stop.stop_requested()) {
        Batch batch = take(stop, work);
        if (stop.stop_requested())
            return;
        if (batch.job)
            mapper_.set_job(*batch.job);
        MapOutcome out = batch.slice   ? mapper_.map_slice(batch.slice->slice, batch.slice->run)
                         : work.empty() ? (batch.remap ? mapper_.remap() : MapOutcome{})
                                        : mapper_.map(work);
        out.skipped += batch.dropped;
        if (out.valid || !out.status.empty() || out.skipped > 0)
            deliver_(std::move(out));
        give_back(work);
    }
}

} // namespace SonivarACQ32::acoustic_map
