#pragma once
// Whether the grid's two rules hold for a set of check states: each beam box
// checked exactly when its eight microphones are, the all box exactly when
// the four beams are.
#include "selection/grid_rules.h"

namespace testsupport {

inline bool consistent(const SonivarACQ32::grid_rules::GridChecks& s)
{
    bool all = true;
    for (int k = 0; k < SonivarACQ32::channels::nb_beams; ++k) {
        if (s.beam[k] != SonivarACQ32::grid_rules::beam_complete(s, k))
            return false;
        all = all && s.beam[k];
    }
    return s.all == all;
}

} // namespace testsupport
