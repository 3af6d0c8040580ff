#pragma once
// How long the samples took from the unit to the sound server, gathered on
// the server's real-time thread without a lock or an allocation: a count
// per millisecond, read at the end of the run (median and worst).
#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace SonivarACQ32::diffusion {

class LatencyRecord {
public:
    static constexpr std::size_t max_ms = 1000;  // anything longer counts as this

    void reset()
    {
        for (auto& c : counts_)
            c.store(0, std::memory_order_relaxed);
    }
    void add(double ms)
    {
        const std::size_t bucket = ms <= 0.0 ? 0 : std::min(static_cast<std::size_t>(ms), max_ms);
        counts_[bucket].fetch_add(1, std::memory_order_relaxed);
    }
    std::uint64_t count() const
    {
        std::uint64_t n = 0;
        for (const auto& c : counts_)
            n += c.load(std::memory_order_relaxed);
        return n;
    }
    // The millisecond below which `fraction` of the samples fall (0.5: the
    // median, 1: the worst), rounded up; -1 with nothing recorded.
    int quantile_ms(double fraction) const
    {
        const std::uint64_t total = count();
        if (total == 0)
            return -1;
        const auto wanted = static_cast<std::uint64_t>(fraction * static_cast<double>(total) + 0.5);
        std::uint64_t seen = 0;
        for (std::size_t ms = 0; ms <= max_ms; ++ms) {
            seen += counts_[ms].load(std::memory_order_relaxed);
            if (seen >= std::max<std::uint64_t>(wanted, 1))
                return static_cast<int>(ms) + 1;
        }
        return static_cast<int>(max_ms) + 1;
    }

private:
    std::array<std::atomic<std::uint64_t>, max_ms + 1> counts_{};
};

} // namespace SonivarACQ32::diffusion
