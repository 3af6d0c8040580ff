#pragma once
// Millisecond ticks and sleeps go through one seam, so that tests can run the
// long waits of the program (the 30 s trigger wait, the 500 ms clock settle)
// on a fast clock instead of the wall clock.
#include <cstdint>

namespace SonivarACQ32::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary origin; wraps like GetTickCount.
    virtual std::uint32_t ticks_ms() = 0;
    virtual void sleep_ms(std::uint32_t ms) = 0;
};

// The clock in force: the steady wall clock unless a test installed another.
Clock& clock();
// Installs a clock (not owned); nullptr restores the wall clock.
void set_clock(Clock* replacement);

inline std::uint32_t tick_count() { return clock().ticks_ms(); }
inline void sleep(std::uint32_t ms) { clock().sleep_ms(ms); }

// A clock for tests: sleeping advances time at once, without waiting.
class FastClock : public Clock {
public:
    std::uint32_t ticks_ms() override;
    void sleep_ms(std::uint32_t ms) override;
    void advance(std::uint32_t ms) { offset_ += ms; }

private:
    std::uint32_t offset_ = 0;
};

} // namespace SonivarACQ32::platform
