#pragma once
// The twelve enablement switches of the control panel (`Principale::enabled`)
// by name: which control group each one governs.
#include <cstddef>

namespace SonivarACQ32::sw {

enum : std::size_t {
    init = 0,         // the Init button
    init_panel = 1,   // the frequency panel beside it
    duration = 2,     // the duration panel and its "defined" box
    counter = 3,      // the counter channel box
    data_type = 4,    // integer or float samples
    record = 5,       // the recording box
    file = 6,         // the file and comment buttons
    micros = 7,       // the microphone grid
    advanced = 8,     // the advanced mode box and group
    start = 9,        // Start and the trigger choice
    stop = 10,        // Stop
    information = 11, // the information pane
    count = 12
};

} // namespace SonivarACQ32::sw
