#pragma once
// The methods that turn the cross-spectral matrices of a band into a map:
// siblings behind one interface, each given the same matrices and the same
// steering, each giving the power of every grid point in the same
// convention (a point source reads its own power at the array's centre).
#include "spectra/csm.h"
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

// A parameter of a method: its name for the operator (French), the
// toolkit's option and help for it, its range, and where it is kept.
struct ParameterRange {
    const char* name;     // "Exposant ν"
    const char* option;   // "--exponent"
    const char* value;    // the value's name in the toolkit's usage: "NU"
    const char* help;     // "exposant de la fonctionnelle"
    double low, high;
    int decimals;         // as the operator reads it
    bool whole;           // only whole numbers
    double (*get)(const MethodParameters&);
    void (*set)(MethodParameters&, double);
};

class Method;

// How a zone of the map gives the level of the sources in it: a clean map
// holds the sources themselves, so its powers over the zone add up to
// theirs; a beamformer's map spreads each source over its beam, so the
// zone's sum is divided by the sum over the zone of the method's own
// response to a unit point source at the zone's centre, over the noise the
// microphones hear (source power integration); Capon's map adapts to the
// whole scene, so no response of a lone source describes it: its peak in
// the zone, the power it passes undistorted, is the zone's level.
enum class ZoneRule { sum, normalised_by_response, peak };

// Everything the program says of a method, in one place: the window's
// choices, the toolkit's options and help, the settings file and the
// benchmarks read it. A new method is a file of its own and a row of
// method_table().
struct MethodDescription {
    MethodKind kind;
    const char* key;   // in command lines and settings files: "das"
    const char* name;  // for the operator: "Formation de voies"
    std::vector<ParameterRange> parameters;  // the first is the one the window offers
    bool removes_diagonal;  // can leave each microphone's own noise out
    std::unique_ptr<Method> (*make)();
    ZoneRule zone_rule;
};

// Every method, in the order the operator is offered them.
const std::vector<MethodDescription>& method_table();
const MethodDescription& describe(MethodKind kind);
// The parameter the window offers; nothing for a method without one.
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
// The table's readers: every kind in order, its name and key.
const std::vector<MethodKind>& all_methods();
std::string method_name(MethodKind kind);
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
