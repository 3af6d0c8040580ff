#include "counter_scan.h"

#include <algorithm>

namespace sonivar_dat {

CounterScanner::CounterScanner(int nb_voies, std::size_t max_kept_gaps)
    : nb_voies_(std::max(nb_voies, 1)), max_kept_(max_kept_gaps)
{
}

// Whether the frames from `pos` carry start, start + 1, ... With `last` the
// frames left may be fewer than confirm_frames; one alone proves nothing
// after a break, so `undecided` tells the caller when only one was there.
bool CounterScanner::run_from(const std::uint32_t* words, std::size_t pos, std::size_t n,
                              bool last, std::uint32_t start, bool* undecided) const
{
    const std::size_t nv = static_cast<std::size_t>(nb_voies_);
    const std::size_t available = pos <= n ? (n - pos) / nv : 0;
    const std::size_t m = std::min<std::size_t>(confirm_frames, available);
    if (undecided != nullptr)
        *undecided = m < 2;
    if (m == 0 || (!last && m < static_cast<std::size_t>(confirm_frames)))
        return false;
    for (std::size_t k = 0; k < m; ++k)
        if (words[pos + k * nv] != static_cast<std::uint32_t>(start + k))
            return false;
    return true;
}

void CounterScanner::record(CounterGap gap)
{
    ++gap_count_;
    if (gap.frames_lost > 0)
        frames_lost_ += static_cast<std::uint64_t>(gap.frames_lost);
    if (gaps_.size() < max_kept_)
        gaps_.push_back(gap);
}

// The counter runs on from `found` at word `pos` of the current block.
std::size_t CounterScanner::align_at(std::size_t pos, std::uint32_t found)
{
    const std::uint64_t at = consumed_ + pos;
    if (started_) {
        record({frames_, 4 * lost_since_, expected_, found,
                static_cast<std::int32_t>(found - expected_), at - lost_since_, true});
    } else {
        if (at > 0)  // words before the first frame whose counter runs
            record({0, 0, found, found, 0, at, true});
        first_ = found;
        started_ = true;
    }
    aligned_ = true;
    expected_ = found;
    return pos;
}

std::size_t CounterScanner::feed(const std::uint32_t* w, std::size_t n, bool last)
{
    const std::size_t nv = static_cast<std::size_t>(nb_voies_);
    const std::size_t need = lookahead_words();
    std::size_t pos = 0;
    while (pos + nv <= n) {
        if (aligned_) {
            std::uint32_t e = expected_;
            std::uint64_t f = frames_;
            while (pos + nv <= n && w[pos] == e) {
                ++e;
                ++f;
                pos += nv;
            }
            expected_ = e;
            frames_ = f;
            if (pos + nv > n || (!last && pos + need > n))
                break;
            const std::uint32_t found = w[pos];
            if (run_from(w, pos + nv, n, last, expected_ + 1, nullptr)) {
                // One wrong counter word, the run goes on: nothing was lost.
                record({frames_, 4 * (consumed_ + pos), expected_, found, 0, 0, true});
            } else if (run_from(w, pos, n, last, found, nullptr)) {
                lost_since_ = consumed_ + pos;
                align_at(pos, found);
                continue;
            } else {
                aligned_ = false;
                lost_since_ = consumed_ + pos;
                ++pos;
                continue;
            }
            ++expected_;
            ++frames_;
            pos += nv;
            continue;
        }
        if (!last && pos + need > n)
            break;
        bool undecided = false;
        if (run_from(w, pos, n, last, w[pos], &undecided) && (!started_ || !undecided)) {
            align_at(pos, w[pos]);
            continue;
        }
        ++pos;
    }
    if (!last) {
        consumed_ += pos;
        return pos;
    }
    if (!aligned_ && (started_ || n > 0 || consumed_ > 0)) {
        const std::uint64_t since = started_ ? lost_since_ : 0;
        record({frames_, 4 * since, expected_, 0, 0, consumed_ + n - since, false});
    }
    consumed_ += n;
    return n;
}

} // namespace sonivar_dat
