#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace SonivarACQ32::platform {
namespace {

std::uint32_t steady_ms()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

class WallClock : public Clock {
public:
    std::uint32_t ticks_ms() override { return steady_ms(); }
    void sleep_ms(std::uint32_t ms) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

WallClock wall_clock;
Clock* current = &wall_clock;

} // namespace

Clock& clock() { return *current; }

void set_clock(Clock* replacement) { current = replacement ? replacement : &wall_clock; }

std::uint32_t FastClock::ticks_ms() { return steady_ms() + offset_; }

void FastClock::sleep_ms(std::uint32_t ms) { offset_ += ms; }

} // namespace SonivarACQ32::platform
