#pragma once
// Checks the counter word of every frame of a raw stream, fed in blocks of
// any size. The counter grows by 1 per frame and wraps modulo 2^32. After a
// break the scanner looks for the place where the counter runs on again,
// shifting by whole words, so that a lost block that is not a whole number
// of frames is reported once rather than as a gap on every later frame.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sonivar_dat {

struct CounterGap {
    std::uint64_t frame = 0;         // frames checked in order before the break
    std::uint64_t byte_offset = 0;   // where the break stands in the file
    std::uint32_t expected = 0;      // counter value that should have come
    std::uint32_t found = 0;         // counter value found where the run goes on
    std::int64_t frames_lost = 0;    // found - expected (negative: the counter went back)
    std::uint64_t skipped_words = 0; // words of torn frames before the run goes on
    bool resumed = true;             // false: the counter never ran on to the end
};

class CounterScanner {
public:
    // Frames confirming a counter run after a break.
    static constexpr int confirm_frames = 4;

    explicit CounterScanner(int nb_voies, std::size_t max_kept_gaps = 1000);

    // Checks words[0, n), which follow the words fed so far. Returns how many
    // were consumed; the caller feeds the rest again at the head of the next
    // call (at most confirm_frames frames wait for lookahead). With `last`
    // set every word is consumed.
    std::size_t feed(const std::uint32_t* words, std::size_t n, bool last);

    // How many words a caller must offer for feed() to make progress.
    std::size_t lookahead_words() const { return static_cast<std::size_t>(nb_voies_) * confirm_frames; }

    const std::vector<CounterGap>& gaps() const { return gaps_; }
    std::uint64_t gap_count() const { return gap_count_; }
    std::uint64_t frames_lost() const { return frames_lost_; }
    std::uint64_t frames_checked() const { return frames_; }
    bool synchronised() const { return aligned_; }
    std::uint32_t first_counter() const { return first_; }

private:
    bool run_from(const std::uint32_t* words, std::size_t pos, std::size_t n, bool last,
                  std::uint32_t start, bool* undecided) const;
    void record(CounterGap gap);
    std::size_t align_at(std::size_t pos, std::uint32_t found);

    int nb_voies_;
    std::size_t max_kept_;
    bool aligned_ = false;
    bool started_ = false;
    std::uint32_t expected_ = 0;
    std::uint32_t first_ = 0;
    std::uint64_t frames_ = 0;
    std::uint64_t consumed_ = 0;        // words consumed before the current block
    std::uint64_t lost_since_ = 0;      // word where the search began
    std::vector<CounterGap> gaps_;
    std::uint64_t gap_count_ = 0;
    std::uint64_t frames_lost_ = 0;
};

} // namespace sonivar_dat
