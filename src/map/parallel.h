#pragma once
// Work shared between the processor's cores: [0, count) cut into as many
// contiguous parts as there are cores (at most `count`), the first done on
// the calling thread, the others on threads of their own, all finished on
// return. The parts must write to data of their own.
#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

namespace SonivarACQ32::acoustic_map {

template <typename Work>
void in_parts(std::size_t count, Work work)
{
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t parts = std::min(count, cores);
    if (parts <= 1) {
        if (count > 0)
            work(std::size_t{0}, count);
        return;
    }
    std::vector<std::jthread> others;
    for (std::size_t p = 1; p < parts; ++p)
        others.emplace_back([&work, p, parts, count] { work(p * count / parts, (p + 1) * count / parts); });
    work(std::size_t{0}, count / parts);
}

} // namespace SonivarACQ32::acoustic_map
