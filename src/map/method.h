#pragma once
// The methods that turn the cross-spectral matrices of a band into a map:
// siblings behind one interface, each given the same matrices and the same
// steering, each giving the power of every grid point in the same
// convention (a point source reads its own power at the array's centre).
#include "map/csm.h"
#include "map/steering.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

namespace SonivarACQ32::acoustic_map {

enum class MethodKind { delay_and_sum, functional, capon };

// The parameters of the methods that have one.
struct MethodParameters {
    double exponent = 16.0;  // functional beamforming's nu, 1 to 200
    double loading = 1e-3;   // Capon's diagonal loading, a fraction of the matrix's trace
};

struct MethodInput {
    const CrossSpectra& spectra;  // averaged, for the steering's band
    const Steering& steering;
    bool remove_diagonal = false;  // delay-and-sum only
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

} // namespace SonivarACQ32::acoustic_map
