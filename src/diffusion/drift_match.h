#pragma once
// The unit's clock and the sound server's drift apart (two crystals): the
// ring between them would slowly fill or empty. Rather than drop or repeat
// samples in bursts, the server's resampler is nudged so that the ring
// stays at its fill, with the delay-locked loop the server's own network
// sources use. rate() < 1 asks the resampler to take more of the unit's
// samples per cycle, > 1 fewer.
//
// The fill is a sawtooth (the unit's samples come in pieces, the server
// takes a cycle's worth at a time): its mean over the first cycles is the
// level kept, so that the loop corrects drift only, not the sawtooth's
// offset from a nominal figure (which would bend the rate for many seconds).
// The loop is slow on purpose: the pieces come late now and then (the
// acquisition's thread is busy for a few milliseconds), and a loop as quick
// as the server's own bent the rate by 1e-3 for seconds after a late start;
// a crystal's drift (1e-4 at most) is still matched within a minute.
#include <spa/utils/dll.h>

#include <algorithm>
#include <cstddef>

namespace SonivarACQ32::diffusion {

class DriftMatch {
public:
    // `target`: frames the ring should hold when a cycle reads; `quantum`
    // and `rate`: the server's cycle, in frames at its rate.
    DriftMatch(double target, unsigned quantum, unsigned rate)
        : target_(target), max_error_(target / 2.0),
          settling_cycles_(std::max(1, static_cast<int>(settling_s * rate / std::max(quantum, 1u))))
    {
        spa_dll_init(&dll_);
        spa_dll_set_bw(&dll_, loop_bandwidth, std::max(quantum, 1u), std::max(rate, 1u));
    }
    // The fill the ring reaches before a reader starts.
    double target() const { return target_; }
    // The level kept, once the first cycles have measured it.
    double level() const { return level_; }
    // The resampler's rate for a cycle that finds `fill` frames waiting.
    double rate(std::size_t fill)
    {
        if (measured_ < settling_cycles_) {
            sum_ += static_cast<double>(fill);
            if (++measured_ == settling_cycles_)
                level_ = sum_ / settling_cycles_;
            return 1.0;
        }
        const double error = std::clamp(level_ - static_cast<double>(fill), -max_error_, max_error_);
        return 1.0 / spa_dll_update(&dll_, error);
    }

private:
    static constexpr double loop_bandwidth = SPA_DLL_BW_MIN / 4;
    static constexpr double settling_s = 1.5;  // the level's measure, past the start's late pieces
    spa_dll dll_{};
    double target_;
    double max_error_;
    int settling_cycles_;
    double level_ = 0.0;
    double sum_ = 0.0;
    int measured_ = 0;
};

} // namespace SonivarACQ32::diffusion
