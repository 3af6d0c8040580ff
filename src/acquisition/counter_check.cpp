#include "acquisition/counter_check.h"

namespace SonivarACQ32::counter {

using stream::packet_words;

std::int32_t increment_position(std::int32_t nb_voies)
{
    if (nb_voies <= 0)
        return 0;
    const auto n = static_cast<std::uint32_t>(nb_voies);
    return static_cast<std::int32_t>((n - packet_words % n) % n);
}

std::int32_t increment_compteur(std::int32_t nb_voies)
{
    if (nb_voies <= 0)
        return 0;
    const auto n = static_cast<std::uint32_t>(nb_voies);
    const auto step = static_cast<std::uint32_t>(increment_position(nb_voies));
    return static_cast<std::int32_t>((step + packet_words) / n);
}

Checkpoint next_checkpoint(const Checkpoint& previous, std::int32_t nb_voies,
                           std::int32_t increment_position, std::int32_t increment_compteur)
{
    if (nb_voies <= 0)
        return previous;
    const auto n = static_cast<std::uint32_t>(nb_voies);
    const std::uint32_t p =
        (previous.position + static_cast<std::uint32_t>(increment_position)) % n;
    std::uint32_t expected = static_cast<std::uint32_t>(previous.expected) +
                             static_cast<std::uint32_t>(increment_compteur);
    // The first frame start wrapped to an earlier word: one frame fewer lies
    // between the two counter words.
    if (p < previous.position)
        expected -= 1;
    return {p, static_cast<std::int32_t>(expected)};
}

bool packet_is_checked(std::uint32_t len, std::int32_t nb_voies, bool compteur,
                       bool erreur_compteur)
{
    if (erreur_compteur || !compteur || nb_voies <= 0)
        return false;
    return static_cast<std::uint64_t>(len) > 16u * static_cast<std::uint64_t>(nb_voies);
}

} // namespace SonivarACQ32::counter
