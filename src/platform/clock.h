#pragma once
// Millisecond ticks and sleeps go through one seam, so that tests can run the
// long waits of the program (the 30 s trigger wait, the 500 ms clock settle)
// on a fast clock instead of the wall clock.
#include "platform/seam.h"

#include <cstdint>

namespace SonivarACQ32::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary origin; wraps like GetTickCount.
    virtual std::uint32_t ticks_ms() = 0;
    virtual void sleep_ms(std::uint32_t ms) = 0;
};

// The clock in force (not owned): the steady wall clock unless a test
// installed another.
Seam<Clock*>& clock_seam();
inline Clock& clock() { return *clock_seam().get(); }

inline std::uint32_t tick_count() { return clock().ticks_ms(); }
inline void sleep(std::uint32_t ms) { clock().sleep_ms(ms); }

// The steady wall clock's ticks, whatever clock is in force.
std::uint32_t steady_ms();

} // namespace SonivarACQ32::platform
