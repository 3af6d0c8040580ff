#pragma once
// The choice of the totals line the advanced mode shows at the end of a run.
#include <cstdint>

namespace SonivarACQ32::run_totals {

enum class Totals { RecordedDefined, RecordedOpen, UnrecordedDefined, UnrecordedOpen };

// Recorded or not, with a sample count (defined length) or open-ended.
constexpr Totals totals_kind(bool record, std::uint32_t count)
{
    if (record)
        return count != 0 ? Totals::RecordedDefined : Totals::RecordedOpen;
    return count != 0 ? Totals::UnrecordedDefined : Totals::UnrecordedOpen;
}

} // namespace SonivarACQ32::run_totals
