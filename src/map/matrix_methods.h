#pragma once
// The methods that work on a function of each bin's matrix rather than on
// the matrix itself, with the steering normalised to unit length so that a
// point source still reads its own power at the array's centre. Functional
// beamforming: (w^H C^(1/nu) w)^nu, C^(1/nu) from the Hermitian
// eigendecomposition (negative eigenvalues, rounding noise, taken as zero);
// w = h / |h|, and the power is scaled by |h|^2, the steering's own gain.
#include "map/method.h"

namespace SonivarACQ32::acoustic_map {

class Functional : public Method {
public:
    MethodKind kind() const override { return MethodKind::functional; }
    std::string powers(const MethodInput& input, std::span<float> out) override;
};

} // namespace SonivarACQ32::acoustic_map
