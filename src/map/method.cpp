#include "map/method.h"

#include "map/delay_and_sum.h"
#include "map/matrix_methods.h"

namespace SonivarACQ32::acoustic_map {

std::unique_ptr<Method> make_method(MethodKind kind)
{
    switch (kind) {
    case MethodKind::delay_and_sum: return std::make_unique<DelayAndSum>();
    case MethodKind::functional: return std::make_unique<Functional>();
    case MethodKind::capon: return std::make_unique<Capon>();
    }
    return std::make_unique<DelayAndSum>();
}

const std::vector<MethodKind>& all_methods()
{
    static const std::vector<MethodKind> methods = {MethodKind::delay_and_sum, MethodKind::functional,
                                                    MethodKind::capon};
    return methods;
}

std::string method_name(MethodKind kind)
{
    switch (kind) {
    case MethodKind::delay_and_sum: return "Formation de voies";
    case MethodKind::functional: return "Fonctionnelle";
    case MethodKind::capon: return "Capon";
    }
    return {};
}

} // namespace SonivarACQ32::acoustic_map
