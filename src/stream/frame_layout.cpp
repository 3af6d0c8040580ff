#include "stream/frame_layout.h"

#include <algorithm>

namespace SonivarACQ32::stream {

std::vector<int> active_micros(const SonivarACQ32::type_header_file& header)
{
    std::vector<int> micros;
    for (int m = 0; m < static_cast<int>(sizeof header.micros_actifs); ++m)
        if (header.micros_actifs[m] != 0)
            micros.push_back(m);
    return micros;
}

LayoutResult derive_layout(const SonivarACQ32::type_header_file& header, long long nb_voies)
{
    FrameLayout layout;
    layout.micros = active_micros(header);
    layout.counter = header.compteurs_actifs[0] != 0;
    const long long needed = static_cast<long long>(layout.micros.size()) + (layout.counter ? 1 : 0);
    if (nb_voies <= 0)
        return {std::nullopt, "aucune voie par trame (Nb_voies = " + std::to_string(nb_voies) + ")"};
    if (nb_voies != needed && nb_voies != needed + 1)
        return {std::nullopt, "Nb_voies = " + std::to_string(nb_voies) +
                                  " ne correspond pas à l'en-tête (" +
                                  std::to_string(layout.micros.size()) + " micros" +
                                  (layout.counter ? " et le compteur" : "") + " : " +
                                  std::to_string(needed) + " ou " + std::to_string(needed + 1) +
                                  " voies avec le status)"};
    layout.nb_voies = static_cast<int>(nb_voies);
    layout.status = nb_voies == needed + 1;
    layout.is_float = header.type_float != 0;
    return {layout, {}};
}

FrameLayout live_layout(int nb_voies, bool counter, const std::vector<int>& micros, bool is_float)
{
    FrameLayout layout;
    layout.nb_voies = nb_voies;
    layout.counter = counter;
    layout.micros = micros;
    layout.is_float = is_float;
    layout.status = has_status_word(nb_voies, micros.size(), counter);
    return layout;
}

std::optional<std::vector<int>> words_of(const FrameLayout& layout, const std::vector<int>& wanted)
{
    std::vector<int> words;
    words.reserve(wanted.size());
    for (int m : wanted) {
        const auto it = std::lower_bound(layout.micros.begin(), layout.micros.end(), m);
        if (it == layout.micros.end() || *it != m)
            return std::nullopt;
        words.push_back(layout.micro_word(static_cast<std::size_t>(it - layout.micros.begin())));
    }
    return words;
}

} // namespace SonivarACQ32::stream
