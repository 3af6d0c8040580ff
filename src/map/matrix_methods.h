#pragma once
// The methods that work on a function of each bin's matrix rather than on
// the matrix itself, through its Hermitian eigendecomposition C = V L V^H
// (negative eigenvalues, rounding noise, taken as zero), with the steering
// normalised to unit length so that a point source still reads its own
// power at the array's centre (w = h / |h|, the power scaled by |h|^2):
//  - functional beamforming: (w^H C^(1/nu) w)^nu;
//  - Capon (minimum variance): 1 / (w^H (C + eps I)^-1 w), eps a fraction of
//    the trace, so that a singular matrix still gives a map.
// Each form is a sum of positive terms over the eigenvectors, which keeps
// its precision where the matrix is badly conditioned.
#include "map/method.h"

namespace SonivarACQ32::acoustic_map {

class Functional : public Method {
public:
    MethodKind kind() const override { return MethodKind::functional; }
    std::string powers(const MethodInput& input, std::span<float> out) override;
};

class Capon : public Method {
public:
    MethodKind kind() const override { return MethodKind::capon; }
    std::string powers(const MethodInput& input, std::span<float> out) override;
};

} // namespace SonivarACQ32::acoustic_map
