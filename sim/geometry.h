#pragma once
// Where the unit's microphones sit, in metres, read from a MicGeom XML file
// (<MicArray name="..."><pos Name="Point 1" x="..." y="..." z="..."/>...), one
// pos per microphone in global index order (8 x beam + microphone).
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct Position {
    double x = 0.0, y = 0.0, z = 0.0;
};

double distance(const Position& a, const Position& b);

constexpr int microphone_count = 32;
using Geometry = std::array<Position, microphone_count>;

// Every pos of the document in order; nothing when it is not such a file
// (not XML, no MicArray, a pos without a readable x, y or z).
std::optional<std::vector<Position>> parse_mic_geometry(std::string_view xml);
// The file's positions, when it holds exactly one per microphone.
std::optional<Geometry> read_geometry_file(const std::string& path);

// The example array (the project's resources/geometry/sonivar32-example.xml):
// a plane grid of 4 cm pitch centred on the origin, x along a beam's
// microphones, y across the beams, z = 0.
Geometry example_geometry();

} // namespace sim
