#pragma once
// A clock for tests: sleeping advances time at once, without waiting, so the
// program's long waits (the 30 s trigger wait, the clock settle) run fast.
#include "platform/clock.h"

namespace testsupport {

class FastClock : public SonivarACQ32::platform::Clock {
public:
    std::uint32_t ticks_ms() override { return SonivarACQ32::platform::steady_ms() + offset_; }
    void sleep_ms(std::uint32_t ms) override { offset_ += ms; }
    void advance(std::uint32_t ms) { offset_ += ms; }

private:
    std::uint32_t offset_ = 0;
};

} // namespace testsupport
