#pragma once
// Conventional delay-and-sum: h^H C h summed over the band. Without the
// diagonal, the microphones' own noise leaves the map, each bin counts for
// at least nothing, and a point source's power is restored by the
// steering's diagonal norm.
#include "map/method.h"

namespace SonivarACQ32::acoustic_map {

class DelayAndSum : public Method {
public:
    MethodKind kind() const override { return MethodKind::delay_and_sum; }
    std::string powers(const MethodInput& input, std::span<float> out) override;
};

} // namespace SonivarACQ32::acoustic_map
