#include "map/method.h"

#include "map/delay_and_sum.h"

namespace SonivarACQ32::acoustic_map {

std::unique_ptr<Method> make_method(MethodKind kind)
{
    switch (kind) {
    case MethodKind::delay_and_sum: return std::make_unique<DelayAndSum>();
    }
    return std::make_unique<DelayAndSum>();
}

const std::vector<MethodKind>& all_methods()
{
    static const std::vector<MethodKind> methods = {MethodKind::delay_and_sum};
    return methods;
}

std::string method_name(MethodKind kind)
{
    switch (kind) {
    case MethodKind::delay_and_sum: return "Formation de voies";
    }
    return {};
}

} // namespace SonivarACQ32::acoustic_map
