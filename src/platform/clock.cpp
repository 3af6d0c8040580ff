#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace SonivarACQ32::platform {
namespace {

class WallClock : public Clock {
public:
    std::uint32_t ticks_ms() override { return steady_ms(); }
    void sleep_ms(std::uint32_t ms) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

} // namespace

std::uint32_t steady_ms()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

Seam<Clock*>& clock_seam()
{
    static WallClock wall_clock;
    static Seam<Clock*> seam(&wall_clock);
    return seam;
}

} // namespace SonivarACQ32::platform
