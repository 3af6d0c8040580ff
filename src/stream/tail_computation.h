#pragma once
// What a live window's computation does with the stream whatever it
// computes (feed/stream_worker.h): the pieces kept as the newest stretch of
// the run, a stretch of a recording loaded in their place, and an outcome
// made of the stretch kept. `Derived` makes it: outcome(made, skipped), its
// Outcome having `valid`, `status` and `made`.
#include "stream/recording_slice.h"
#include "stream/stream_tail.h"

#include <cstdint>
#include <string>
#include <vector>

namespace SonivarACQ32::stream {

template <class Derived, class Outcome>
class TailComputation {
public:
    // Adds `pieces` (oldest first) to the stretch kept; one outcome for
    // them all, the pieces beyond the first counting as skipped.
    Outcome compute(std::vector<StreamPiece>& pieces)
    {
        if (pieces.empty())
            return {};
        for (const StreamPiece& piece : pieces)
            tail_.add(piece);
        return self().outcome(1, pieces.size() - 1);
    }
    // The stretch kept again, with the job in force.
    Outcome recompute() { return tail_.empty() ? Outcome{} : self().outcome(0, 0); }
    // A stretch of a recording, read from its file, in place of the stretch
    // kept, as the piece of run `run`.
    Outcome compute_slice(const FileSlice& slice, std::uint64_t run)
    {
        std::string error;
        if (!tail_.load(slice, run, error)) {
            Outcome out;
            out.status = error;
            return out;
        }
        Outcome out = recompute();
        out.made = out.valid ? 1 : 0;
        return out;
    }

protected:
    StreamTail tail_;

private:
    Derived& self() { return static_cast<Derived&>(*this); }
};

} // namespace SonivarACQ32::stream
