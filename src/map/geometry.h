#pragma once
// Microphone positions of the array, in metres, in global index order
// (8 x beam + microphone), read from a MicGeom XML file:
//   <MicArray name="..."><pos Name="Point 1" x=".." y=".." z=".."/>...</MicArray>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace SonivarACQ32::acoustic_map {

constexpr int array_microphones = 32;  // positions a geometry must hold
// A microphone farther than this from the array's centre (m) is a mistake
// in the file, not an array: the maps and the focusing would be empty.
constexpr double farthest_microphone_m = 10.0;

struct Position {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

struct Geometry {
    std::string name;
    std::vector<Position> positions;  // index = global microphone index
};

struct GeometryResult {
    std::optional<Geometry> geometry;
    std::string error;  // French, for the operator, when there is no geometry
};

// The positions of `micros` (global indices), in their order; those the
// geometry does not place are left out.
inline std::vector<Position> placed_microphones(const Geometry& geometry, const std::vector<int>& micros)
{
    std::vector<Position> placed;
    for (int m : micros)
        if (m >= 0 && static_cast<std::size_t>(m) < geometry.positions.size())
            placed.push_back(geometry.positions[m]);
    return placed;
}

// The geometry held in XML text.
GeometryResult parse_geometry(std::string_view xml);
// The geometry of a file; the error names the file.
GeometryResult read_geometry(const std::string& path);

// The example geometry built into the program (a 4 cm plane grid), as a
// Qt resource path that read_geometry takes.
inline constexpr const char* example_geometry_path = ":/geometry/sonivar32-example.xml";

} // namespace SonivarACQ32::acoustic_map
