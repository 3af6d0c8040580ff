#include "map/method.h"

#include "map/clean_sc.h"
#include "map/delay_and_sum.h"
#include "map/matrix_methods.h"
#include "stream/french_text.h"

#include <algorithm>
#include <cctype>

namespace SonivarACQ32::acoustic_map {

namespace {

template <typename M>
std::unique_ptr<Method> make() { return std::make_unique<M>(); }

template <double MethodParameters::*field>
ParameterRange real(const char* name, const char* option, const char* value, const char* help, double low,
                    double high, int decimals)
{
    return {name, option, value, help, low, high, decimals, false,
            [](const MethodParameters& p) { return p.*field; },
            [](MethodParameters& p, double v) { p.*field = v; }};
}

ParameterRange iterations()
{
    return {"Itérations", "--iterations", "N", "itérations de CLEAN-SC au plus, par raie", 1.0,
            static_cast<double>(max_iterations), 0, true,
            [](const MethodParameters& p) { return static_cast<double>(p.iterations); },
            [](MethodParameters& p, double v) { p.iterations = static_cast<int>(v); }};
}

} // namespace

const std::vector<MethodDescription>& method_table()
{
    static const std::vector<MethodDescription> table = {
        {MethodKind::delay_and_sum, "das", "Formation de voies", {}, true, make<DelayAndSum>, ZoneRule::normalised_by_response},
        {MethodKind::functional, "functional", "Fonctionnelle",
         {real<&MethodParameters::exponent>("Exposant ν", "--exponent", "NU", "exposant de la fonctionnelle", 1.0,
                                            200.0, 0)},
         false, make<Functional>, ZoneRule::normalised_by_response},
        {MethodKind::clean_sc, "clean-sc", "CLEAN-SC",
         {real<&MethodParameters::loop_gain>("Gain de boucle", "--loop-gain", "G", "gain de boucle de CLEAN-SC",
                                             0.01, 1.0, 2),
          iterations()},
         true, make<CleanSc>, ZoneRule::sum},
        {MethodKind::capon, "capon", "Capon",
         {real<&MethodParameters::loading>("Charge diagonale", "--loading", "F",
                                           "charge diagonale de Capon, fraction de la trace", 1e-5, 1.0, 5)},
         false, make<Capon>, ZoneRule::peak},
    };
    return table;
}

const MethodDescription& describe(MethodKind kind)
{
    for (const MethodDescription& d : method_table())
        if (d.kind == kind)
            return d;
    return method_table().front();
}

const ParameterRange* method_parameter(MethodKind kind)
{
    const MethodDescription& d = describe(kind);
    return d.parameters.empty() ? nullptr : &d.parameters.front();
}

std::unique_ptr<Method> make_method(MethodKind kind) { return describe(kind).make(); }

const std::vector<MethodKind>& all_methods()
{
    static const std::vector<MethodKind> kinds = [] {
        std::vector<MethodKind> k;
        for (const MethodDescription& d : method_table())
            k.push_back(d.kind);
        return k;
    }();
    return kinds;
}

std::string method_name(MethodKind kind) { return describe(kind).name; }
std::string method_key(MethodKind kind) { return describe(kind).key; }

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
    return method_name(kind) + ", " + name + " " + number(range->get(parameters), range->decimals);
}


} // namespace SonivarACQ32::acoustic_map
