#pragma once
// Marching-cubes cases: for each of the 256 ways the eight corners of a cube
// can lie at or below the iso-level, which of its twelve edges the surface
// crosses and the triangles that join those crossings.
//
// Corners: 0 (0,0,0), 1 (1,0,0), 2 (1,1,0), 3 (0,1,0), then 4..7 the same at
// z + 1. Edges: 0..3 around the lower face (0-1, 1-2, 2-3, 3-0), 4..7 around
// the upper face (4-5, 5-6, 6-7, 7-4), 8..11 vertical (0-4, 1-5, 2-6, 3-7).
// Corner bit k of a case is set when corner k is at or below the level.
#include <array>
#include <cstdint>

namespace velm {

struct MarchingCubesTables {
    std::array<std::uint16_t, 256> edges{};             // bit e: edge e is crossed
    std::array<std::array<std::int8_t, 16>, 256> triangles{};  // edge triples, -1 ends
};

// Built once. On every face the crossings are paired the same way whichever
// cube the face belongs to (a face with two diagonal corners at or below the
// level keeps those corners apart), so neighbouring cubes meet edge to edge
// and the mesh closes. Triangles wind counter-clockwise seen from the side at
// or below the level.
const MarchingCubesTables& GetMarchingCubesTables();

inline constexpr int kCubeEdgeCorners[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                                {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
inline constexpr int kCubeCorners[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                           {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};

}  // namespace velm
