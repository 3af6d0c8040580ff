#pragma once
// The hand-over of the stream's samples from the acquisition's thread to the
// sound server's real-time thread: one writer, one reader, no lock, no
// allocation after construction. Frames of `channels` floats. The writer
// never waits: what does not fit is dropped and counted (a reader that
// stalls costs the acquisition nothing). The reader may skip ahead (a
// backlog after a stall is dropped rather than played late).
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace SonivarACQ32::diffusion {

class SampleRing {
public:
    SampleRing(std::size_t capacity_frames, std::size_t channels)
        : capacity_(capacity_frames), channels_(channels), samples_(capacity_frames * channels)
    {
    }
    std::size_t capacity() const { return capacity_; }
    std::size_t channels() const { return channels_; }

    // Writer: as many of the `frames` frames as fit; the rest is dropped.
    std::size_t write(const float* data, std::size_t frames)
    {
        const std::uint64_t w = written_.load(std::memory_order_relaxed);
        const std::uint64_t r = read_.load(std::memory_order_acquire);
        const std::size_t room = capacity_ - static_cast<std::size_t>(w - r);
        const std::size_t taken = std::min(room, frames);
        copy_in(w, data, taken);
        written_.store(w + taken, std::memory_order_release);
        dropped_.fetch_add(frames - taken, std::memory_order_relaxed);
        return taken;
    }

    // Reader: frames waiting.
    std::size_t fill() const
    {
        return static_cast<std::size_t>(written_.load(std::memory_order_acquire) -
                                        read_.load(std::memory_order_relaxed));
    }
    // Reader: up to `frames` frames into `out`; returns how many.
    std::size_t read(float* out, std::size_t frames)
    {
        const std::uint64_t r = read_.load(std::memory_order_relaxed);
        const std::size_t taken = std::min(fill(), frames);
        copy_out(r, out, taken);
        read_.store(r + taken, std::memory_order_release);
        return taken;
    }
    // Reader: drops all but the newest `keep` frames, counted as dropped
    // when `counted` (a backlog nobody will hear, not stale frames from
    // before a reader came).
    void keep_newest(std::size_t keep, bool counted)
    {
        const std::size_t waiting = fill();
        if (waiting <= keep)
            return;
        read_.fetch_add(waiting - keep, std::memory_order_release);
        if (counted)
            dropped_.fetch_add(waiting - keep, std::memory_order_relaxed);
    }
    // Frames through the ring so far (the writer's count), and dropped.
    std::uint64_t written() const { return written_.load(std::memory_order_acquire); }
    std::uint64_t read_position() const { return read_.load(std::memory_order_acquire); }
    std::uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    void copy_in(std::uint64_t at, const float* data, std::size_t frames)
    {
        const std::size_t start = static_cast<std::size_t>(at % capacity_);
        const std::size_t first = std::min(frames, capacity_ - start);
        std::memcpy(&samples_[start * channels_], data, first * channels_ * sizeof(float));
        std::memcpy(samples_.data(), data + first * channels_, (frames - first) * channels_ * sizeof(float));
    }
    void copy_out(std::uint64_t at, float* out, std::size_t frames) const
    {
        const std::size_t start = static_cast<std::size_t>(at % capacity_);
        const std::size_t first = std::min(frames, capacity_ - start);
        std::memcpy(out, &samples_[start * channels_], first * channels_ * sizeof(float));
        std::memcpy(out + first * channels_, samples_.data(), (frames - first) * channels_ * sizeof(float));
    }

    std::size_t capacity_;
    std::size_t channels_;
    std::vector<float> samples_;
    std::atomic<std::uint64_t> written_{0};
    std::atomic<std::uint64_t> read_{0};
    std::atomic<std::uint64_t> dropped_{0};
};

} // namespace SonivarACQ32::diffusion
