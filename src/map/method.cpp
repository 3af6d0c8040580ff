#include "map/method.h"

#include "map/clean_sc.h"
#include "map/delay_and_sum.h"
#include "map/matrix_methods.h"
#include "stream/french_text.h"

#include <algorithm>
#include <cctype>

namespace SonivarACQ32::acoustic_map {

std::unique_ptr<Method> make_method(MethodKind kind)
{
    switch (kind) {
    case MethodKind::delay_and_sum: return std::make_unique<DelayAndSum>();
    case MethodKind::functional: return std::make_unique<Functional>();
    case MethodKind::clean_sc: return std::make_unique<CleanSc>();
    case MethodKind::capon: return std::make_unique<Capon>();
    }
    return std::make_unique<DelayAndSum>();
}

const std::vector<MethodKind>& all_methods()
{
    static const std::vector<MethodKind> methods = {MethodKind::delay_and_sum, MethodKind::functional,
                                                    MethodKind::clean_sc, MethodKind::capon};
    return methods;
}

std::string method_name(MethodKind kind)
{
    switch (kind) {
    case MethodKind::delay_and_sum: return "Formation de voies";
    case MethodKind::functional: return "Fonctionnelle";
    case MethodKind::clean_sc: return "CLEAN-SC";
    case MethodKind::capon: return "Capon";
    }
    return {};
}

std::string method_key(MethodKind kind)
{
    switch (kind) {
    case MethodKind::delay_and_sum: return "das";
    case MethodKind::functional: return "functional";
    case MethodKind::clean_sc: return "clean-sc";
    case MethodKind::capon: return "capon";
    }
    return {};
}

std::optional<MethodKind> method_of_key(std::string_view key)
{
    for (MethodKind kind : all_methods())
        if (method_key(kind) == key)
            return kind;
    return std::nullopt;
}

std::string french_number(double value, int decimals) { return stream::french_decimal(value, decimals); }

std::string method_caption(MethodKind kind, const MethodParameters& parameters, NumberText number)
{
    const ParameterRange* range = method_parameter(kind);
    if (range == nullptr)
        return method_name(kind);
    std::string name = range->name;
    name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
    return method_name(kind) + ", " + name + " " + number(parameters.*(range->field), range->decimals);
}

const ParameterRange* method_parameter(MethodKind kind)
{
    static const ParameterRange exponent{"Exposant ν", 1.0, 200.0, 0, &MethodParameters::exponent};
    static const ParameterRange loop_gain{"Gain de boucle", 0.01, 1.0, 2, &MethodParameters::loop_gain};
    static const ParameterRange loading{"Charge diagonale", 1e-5, 1.0, 5, &MethodParameters::loading};
    switch (kind) {
    case MethodKind::functional: return &exponent;
    case MethodKind::clean_sc: return &loop_gain;
    case MethodKind::capon: return &loading;
    case MethodKind::delay_and_sum: break;
    }
    return nullptr;
}

} // namespace SonivarACQ32::acoustic_map
