#include "platform/local_time.h"

#include <QDateTime>

namespace SonivarACQ32::platform {

SYSTEMTIME GetLocalTime()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    SYSTEMTIME st{};
    st.wYear = static_cast<std::uint16_t>(d.year());
    st.wMonth = static_cast<std::uint16_t>(d.month());
    st.wDayOfWeek = static_cast<std::uint16_t>(d.dayOfWeek() % 7); // Qt: Monday 1 .. Sunday 7
    st.wDay = static_cast<std::uint16_t>(d.day());
    st.wHour = static_cast<std::uint16_t>(t.hour());
    st.wMinute = static_cast<std::uint16_t>(t.minute());
    st.wSecond = static_cast<std::uint16_t>(t.second());
    st.wMilliseconds = static_cast<std::uint16_t>(t.msec());
    return st;
}

} // namespace SonivarACQ32::platform
