#include "zero_copy_memory.h"

#include <cstdio>

namespace sim::zero_copy {

namespace {
std::string base_name(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
} // namespace

std::string object_prefix(const std::string& testbed_root)
{
    return "/sonivar-zero-copy-" + base_name(testbed_root) + "-";
}

std::string object_name(const std::string& testbed_root, std::uintptr_t address)
{
    char hex[2 * sizeof address + 1];
    std::snprintf(hex, sizeof hex, "%jx", static_cast<std::uintmax_t>(address));
    return object_prefix(testbed_root) + hex;
}

std::string offer_path(const std::string& testbed_root) { return testbed_root + "/zero-copy-offered"; }

} // namespace sim::zero_copy
