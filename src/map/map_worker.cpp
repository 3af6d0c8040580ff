#include "map/map_worker.h"

#include <utility>

namespace SonivarACQ32::acoustic_map {

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
        if (waiting_.size() == max_waiting) {
            StreamPiece oldest = std::move(waiting_.front());
            waiting_.erase(waiting_.begin());
            if (spare_.size() < max_waiting)
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

// Live pieces first; then a recording's stretch; then the last piece again
// when only the settings changed.
void MapWorker::loop(std::stop_token stop)
{
    std::vector<StreamPiece> work;
    for (;;) {
        bool remap = false;
        std::optional<WaitingSlice> slice;
        std::uint64_t dropped = 0;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, stop, [this] { return !waiting_.empty() || job_changed_ || slice_; });
            if (stop.stop_requested())
                return;
            if (job_changed_) {
                mapper_.set_job(job_);
                job_changed_ = false;
                remap = waiting_.empty();
            }
            if (waiting_.empty())
                slice = std::exchange(slice_, std::nullopt);
            work.swap(waiting_);
            dropped = dropped_;
            dropped_ = 0;
        }
        MapOutcome out = slice   ? mapper_.map_slice(slice->slice, slice->run)
                         : remap ? mapper_.remap()
                                 : mapper_.map(work);
        out.skipped += dropped;
        if (out.valid || !out.status.empty() || out.skipped > 0)
            deliver_(std::move(out));
        std::lock_guard lock(mutex_);
        for (StreamPiece& piece : work)
            if (spare_.size() < max_waiting)
                spare_.push_back(std::move(piece));
        work.clear();
    }
}

} // namespace SonivarACQ32::acoustic_map
