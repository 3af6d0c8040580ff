#pragma once
// The microphone grid's geometry and its click rules, free of any widget.
//
// Beams are columns, microphones rows; the global index of microphone j of
// beam k is 8k + j. Two rules hold after every click: a beam box is checked
// exactly when its eight microphones are, and the all box exactly when the
// four beams are. Each rule copies the clicked box's new state and never
// flips one, so running it twice changes nothing more.
#include "selection/channel_map.h"

#include <array>

namespace SonivarACQ32::grid_rules {

using channels::nb_beams;
using channels::mics_per_beam;
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
constexpr Point all_position{column_x(nb_beams), beam_row_y};

// Check states of every box of the grid: the microphones (the selection
// itself), the beam boxes and the all box.
struct GridChecks {
    channels::Selection micro{};
    std::array<bool, nb_beams> beam{};
    bool all = false;
};

inline bool beam_complete(const GridChecks& s, int k)
{
    for (bool checked : s.micro[k])
        if (!checked)
            return false;
    return true;
}

inline void recompute_all(GridChecks& s)
{
    s.all = true;
    for (bool checked : s.beam)
        if (!checked)
            s.all = false;
}

// A microphone box of beam k was clicked (its new state is already in s).
inline void after_micro_click(GridChecks& s, int k)
{
    s.beam[k] = beam_complete(s, k);
    recompute_all(s);
}

// Beam box k was clicked: its eight microphones follow it.
inline void after_beam_click(GridChecks& s, int k)
{
    s.micro[k].fill(s.beam[k]);
    recompute_all(s);
}

// The all box was clicked: every beam and microphone follows it.
inline void after_all_click(GridChecks& s)
{
    for (int k = 0; k < nb_beams; ++k) {
        s.beam[k] = s.all;
        s.micro[k].fill(s.all);
    }
}

} // namespace SonivarACQ32::grid_rules
