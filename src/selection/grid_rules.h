#pragma once
// The microphone grid's geometry and its click rules, free of any widget.
//
// Beams are columns, microphones rows; the global index of microphone j of
// beam k is 8k + j. Two rules hold after every click: a beam box is checked
// exactly when its eight microphones are, and the all box exactly when the
// four beams are. Each rule copies the clicked box's new state and never
// flips one, so running it twice changes nothing more.
#include <array>
#include <cstdint>

namespace SonivarACQ32::grid_rules {

constexpr int beams = 4;
constexpr int micros_per_beam = 8;
constexpr int box_size = 16;  // every grid control is 16 x 16

struct Point {
    int x;
    int y;
    friend constexpr bool operator==(Point, Point) = default;
};

// Positions inside the microphone group box. The beam row sits lower than
// the next microphone row would (216, not 197), to set it apart.
constexpr int column_x(int k) { return 96 + 23 * k; }
constexpr int row_y(int j) { return 45 + 19 * j; }
constexpr int beam_row_y = 216;
constexpr int heading_x = 73;

constexpr Point micro_position(int k, int j) { return {column_x(k), row_y(j)}; }
constexpr Point beam_position(int k) { return {column_x(k), beam_row_y}; }
constexpr Point beam_heading_position(int k) { return {column_x(k), 26}; }
constexpr Point micro_heading_position(int j) { return {heading_x, row_y(j)}; }
constexpr Point beam_row_heading_position{heading_x, beam_row_y};
constexpr Point all_position{column_x(beams), beam_row_y};

// Check states of every box of the grid.
struct Selection {
    std::array<std::array<bool, micros_per_beam>, beams> micro{};
    std::array<bool, beams> beam{};
    bool all = false;
};

inline bool beam_complete(const Selection& s, int k)
{
    for (bool checked : s.micro[k])
        if (!checked)
            return false;
    return true;
}

inline void recompute_all(Selection& s)
{
    s.all = true;
    for (bool checked : s.beam)
        if (!checked)
            s.all = false;
}

// A microphone box of beam k was clicked (its new state is already in s).
inline void after_micro_click(Selection& s, int k)
{
    s.beam[k] = beam_complete(s, k);
    recompute_all(s);
}

// Beam box k was clicked: its eight microphones follow it.
inline void after_beam_click(Selection& s, int k)
{
    s.micro[k].fill(s.beam[k]);
    recompute_all(s);
}

// The all box was clicked: every beam and microphone follows it.
inline void after_all_click(Selection& s)
{
    for (int k = 0; k < beams; ++k) {
        s.beam[k] = s.all;
        s.micro[k].fill(s.all);
    }
}

inline bool consistent(const Selection& s)
{
    bool all = true;
    for (int k = 0; k < beams; ++k) {
        if (s.beam[k] != beam_complete(s, k))
            return false;
        all = all && s.beam[k];
    }
    return s.all == all;
}

// Whether the elapsed-time label follows the view switch: always for an
// open-ended run (no sample count), and for a fixed run only when it lasts
// more than a minute. The duration is compared as the float it is held in,
// so a 59.9 s run counts as a short one.
inline bool elapsed_label_follows_view(std::uint32_t count, float duree)
{
    return count == 0 || duree > 59.9f;
}

} // namespace SonivarACQ32::grid_rules
