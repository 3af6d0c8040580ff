#pragma once
// The local date and time in the 16-byte SYSTEMTIME layout that the header
// record stores as it is.
#include <cstdint>

namespace SonivarACQ32::platform {

struct SYSTEMTIME {
    std::uint16_t wYear;
    std::uint16_t wMonth;      // 1-12
    std::uint16_t wDayOfWeek;  // 0 = Sunday
    std::uint16_t wDay;
    std::uint16_t wHour;
    std::uint16_t wMinute;
    std::uint16_t wSecond;
    std::uint16_t wMilliseconds;
};
static_assert(sizeof(SYSTEMTIME) == 16, "SYSTEMTIME must be 16 bytes");

SYSTEMTIME GetLocalTime();

} // namespace SonivarACQ32::platform
