#pragma once
// The plane of a map: parallel to the array at distance z from its centre,
// x and y from -extent to +extent by step.
namespace SonivarACQ32::acoustic_map {

constexpr int max_grid_side = 401;  // points per side of the grid
// The plane's distance and a point listened to: nearer, the array's own
// size dominates and the focusing divides by almost nothing; farther, a
// lab's scene ends.
constexpr double nearest_plane_m = 0.05;
constexpr double farthest_plane_m = 50.0;

struct Grid {
    double extent = 1.0;  // m
    double step = 0.05;   // m
    double z = 1.0;       // m
    int side() const;     // points per side; 0 when the grid is not valid
    double coordinate(int i) const { return -extent + i * step; }
};

} // namespace SonivarACQ32::acoustic_map
