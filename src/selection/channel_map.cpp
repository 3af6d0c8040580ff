#include "selection/channel_map.h"

namespace SonivarACQ32::channels {

ChannelMap channel_map(const Selection& selection, bool counter, bool status)
{
    ChannelMap map;
    for (int k = 0; k < nb_beams; ++k) {
        for (int j = 0; j < mics_per_beam; ++j) {
            if (!selection[k][j])
                continue;
            const int m = global_index(k, j);
            map.masks[k] = static_cast<std::uint8_t>(map.masks[k] | (1u << j));
            map.flags[m] = 1;
            map.num_mic_valid[map.nb_micros++] = m;
        }
    }
    map.nb_voies = map.nb_micros;
    if (counter) {
        map.extra_flags |= counter_flag;
        ++map.nb_voies;
        map.compteur = true;
    }
    if (status) {
        map.extra_flags |= status_flag;
        ++map.nb_voies;
    }
    return map;
}

} // namespace SonivarACQ32::channels
