#pragma once
// When the elapsed-time label is shown.
#include <cstdint>

namespace SonivarACQ32::display {

// Whether the elapsed-time label follows the view switch: always for an
// open-ended run (no sample count), and for a fixed run only when it lasts
// more than a minute. The duration is compared as the float it is held in,
// so a 59.9 s run counts as a short one.
inline bool elapsed_label_follows_view(std::uint32_t count, float duree)
{
    return count == 0 || duree > 59.9f;
}

} // namespace SonivarACQ32::display
