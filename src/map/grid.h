#pragma once
// The plane of a map: parallel to the array at distance z from its centre,
// x and y from -extent to +extent by step.
namespace SonivarACQ32::acoustic_map {

constexpr int max_grid_side = 401;  // points per side of the grid

struct Grid {
    double extent = 1.0;  // m
    double step = 0.05;   // m
    double z = 1.0;       // m
    int side() const;     // points per side; 0 when the grid is not valid
    double coordinate(int i) const { return -extent + i * step; }
};

} // namespace SonivarACQ32::acoustic_map
