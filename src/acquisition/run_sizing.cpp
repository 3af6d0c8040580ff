#include "acquisition/run_sizing.h"

#include <algorithm>

#include <cmath>

namespace SonivarACQ32::run_sizing {

std::uint64_t requested_bytes(std::int32_t nb_voies, std::uint32_t count)
{
    return 4ULL * static_cast<std::uint64_t>(nb_voies) * count;
}

PacketPlan plan_packets(std::uint64_t requested)
{
    PacketPlan plan;
    plan.remainder = requested % packet_bytes;
    plan.n_pkt = static_cast<std::uint32_t>(requested / packet_bytes + (plan.remainder ? 1 : 0));
    return plan;
}

std::uint32_t open_ended_packets(std::uint64_t usable)
{
    return static_cast<std::uint32_t>(usable / packet_bytes - 1);
}

double packet_fill_ms(std::int32_t nb_voies, double frequence)
{
    if (nb_voies <= 0 || frequence <= 0)
        return 0.0;
    const std::int32_t frames = static_cast<std::int32_t>(packet_words) / nb_voies;
    return frames / frequence * 1000.0;
}

std::int32_t transfer_timeout_ms(std::int32_t nb_voies, double frequence)
{
    const double eight = 8 * packet_fill_ms(nb_voies, frequence);
    if (eight > 1000)
        return static_cast<std::int32_t>(eight + 1000);
    return 2000;
}

std::uint32_t trigger_wait_limit_ms(std::int32_t nb_voies, double frequence, bool zero_copy)
{
    if (zero_copy)
        return trigger_wait_ms;
    return trigger_wait_ms +
           static_cast<std::uint32_t>(std::ceil(packet_fill_ms(nb_voies, frequence)));
}

std::uint64_t usable_space(std::uint64_t free_bytes)
{
    return free_bytes > disk_reserve ? free_bytes - disk_reserve : 0;
}

std::uint64_t usable_gibibytes(std::uint64_t usable) { return usable / 1073741824ULL; }

float seconds_allowed(std::uint64_t usable, std::int32_t nb_voies, double frequence)
{
    return static_cast<float>(static_cast<double>(usable) / (4.0 * nb_voies * frequence));
}

bool disk_limit_reached(std::uint32_t num_pkt, std::uint64_t usable)
{
    // num_pkt + 16 >= usable / 1 MiB - 1, with nothing subtracted.
    return static_cast<std::uint64_t>(num_pkt) + disk_margin_packets + 1 >= usable / packet_bytes;
}

std::int32_t elapsed_seconds(std::uint32_t start_tick, std::uint32_t now_tick)
{
    return static_cast<std::int32_t>(now_tick - start_tick) / 1000;
}

std::uint32_t stop_grace_ms(std::int32_t transfer_timeout_ms)
{
    return static_cast<std::uint32_t>(std::max(transfer_timeout_ms / 2, 500));
}

std::uint32_t frames_written(std::uint64_t ntw, std::int32_t nb_voies)
{
    if (nb_voies <= 0)
        return 0;
    return static_cast<std::uint32_t>(ntw / 4 / static_cast<std::uint64_t>(nb_voies));
}

float recorded_duration(std::uint32_t nb_ech, double frequence)
{
    if (frequence <= 0)
        return 0.0f;
    return static_cast<float>(static_cast<double>(nb_ech) / frequence);
}

std::uint32_t stream_time_ms(std::uint64_t bytes, std::int32_t nb_voies, double frequence)
{
    if (nb_voies <= 0 || frequence <= 0)
        return 0;
    const std::uint64_t frames = bytes / stream::frame_bytes(nb_voies);
    return static_cast<std::uint32_t>(std::llround(static_cast<double>(frames) / frequence * 1000.0));
}

double mebibytes(std::uint64_t ntr) { return static_cast<double>(ntr / 1024) / 1024.0; }

} // namespace SonivarACQ32::run_sizing
