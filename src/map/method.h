#pragma once
// The methods that turn the cross-spectral matrices of a band into a map:
// siblings behind one interface, each given the same matrices and the same
// steering, each giving the power of every grid point in the same
// convention (a point source reads its own power at the array's centre).
#include "map/csm.h"
#include "map/steering.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace SonivarACQ32::acoustic_map {

// In the order the operator is offered them.
enum class MethodKind { delay_and_sum, functional, clean_sc, capon };

constexpr int max_iterations = 1000;  // CLEAN-SC's, per bin

// The parameters of the methods that have one.
struct MethodParameters {
    double exponent = 16.0;  // functional beamforming's nu, 1 to 200
    double loading = 1e-3;   // Capon's diagonal loading, a fraction of the matrix's trace
    double loop_gain = 0.6;  // CLEAN-SC's share of a source taken out at each iteration
    int iterations = 100;    // CLEAN-SC's iterations at most, per bin
};

// The parameter the operator sets for a method: its name (French), its
// range and where it is kept.
struct ParameterRange {
    const char* name;
    double low, high;
    int decimals;
    double MethodParameters::*field;
};
// Nothing for a method without a parameter (delay-and-sum).
const ParameterRange* method_parameter(MethodKind kind);

struct MethodInput {
    const CrossSpectra& spectra;  // averaged, for the steering's band
    const Steering& steering;
    bool remove_diagonal = false;  // delay-and-sum and CLEAN-SC
    MethodParameters parameters;
};

class Method {
public:
    virtual ~Method() = default;
    virtual MethodKind kind() const = 0;
    // The power of every grid point summed over the band, linear (units of
    // the data squared), into out (steering.points() values). Returns why
    // there is no map (French), empty on success.
    virtual std::string powers(const MethodInput& input, std::span<float> out) = 0;
};

std::unique_ptr<Method> make_method(MethodKind kind);
// Every method, in the order the operator is offered them.
const std::vector<MethodKind>& all_methods();
// The method's name for the operator (French).
std::string method_name(MethodKind kind);
// The method's name in command lines and settings files: das, functional,
// clean-sc, capon.
std::string method_key(MethodKind kind);
std::optional<MethodKind> method_of_key(std::string_view key);
// A number as the reader expects it, `decimals` after the separator.
using NumberText = std::string (*)(double value, int decimals);
std::string french_number(double value, int decimals);  // "0,60"
// The method and its parameter as a map's caption shows them:
// "CLEAN-SC, gain de boucle 0,60".
std::string method_caption(MethodKind kind, const MethodParameters& parameters,
                           NumberText number = french_number);

} // namespace SonivarACQ32::acoustic_map
