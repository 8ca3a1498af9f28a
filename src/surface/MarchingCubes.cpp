#include "surface/MarchingCubes.h"

#include <stdexcept>
#include <vector>

namespace velm {

namespace {

struct Face {
    int corners[4];  // in order around the face
    int normal[3];   // pointing out of the cube
};

constexpr Face kFaces[6] = {
    {{0, 1, 2, 3}, {0, 0, -1}}, {{4, 5, 6, 7}, {0, 0, 1}},  {{0, 1, 5, 4}, {0, -1, 0}},
    {{3, 2, 6, 7}, {0, 1, 0}},  {{0, 3, 7, 4}, {-1, 0, 0}}, {{1, 2, 6, 5}, {1, 0, 0}},
};

int EdgeBetween(int a, int b) {
    for (int e = 0; e < 12; ++e)
        if ((kCubeEdgeCorners[e][0] == a && kCubeEdgeCorners[e][1] == b) ||
            (kCubeEdgeCorners[e][0] == b && kCubeEdgeCorners[e][1] == a))
            return e;
    return -1;
}

struct Point {
    double x, y, z;
};
Point Corner(int c) { return {double(kCubeCorners[c][0]), double(kCubeCorners[c][1]), double(kCubeCorners[c][2])}; }
Point EdgeMiddle(int e) {
    const Point a = Corner(kCubeEdgeCorners[e][0]), b = Corner(kCubeEdgeCorners[e][1]);
    return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
}

// The crossing segment from edge `from` to edge `to` on a face, turned so
// that, seen from outside the cube, the low side (point `low`) lies on its
// left. Surfaces whose boundary runs this way wind counter-clockwise seen
// from the low side, and the segments of neighbouring faces meet head to tail.
void AddSegment(int a, int b, const Point& low, const int normal[3], int next[12]) {
    const Point pa = EdgeMiddle(a), pb = EdgeMiddle(b);
    const double d[3] = {pb.x - pa.x, pb.y - pa.y, pb.z - pa.z};
    const double s[3] = {low.x - pa.x, low.y - pa.y, low.z - pa.z};
    const double cross[3] = {d[1] * s[2] - d[2] * s[1], d[2] * s[0] - d[0] * s[2], d[0] * s[1] - d[1] * s[0]};
    const double turn = cross[0] * normal[0] + cross[1] * normal[1] + cross[2] * normal[2];
    if (turn > 0) next[a] = b;
    else next[b] = a;
}

MarchingCubesTables Build() {
    MarchingCubesTables t;
    for (int c = 0; c < 256; ++c) {
        const auto low = [c](int corner) { return (c >> corner) & 1; };
        for (int e = 0; e < 12; ++e)
            if (low(kCubeEdgeCorners[e][0]) != low(kCubeEdgeCorners[e][1])) t.edges[c] |= std::uint16_t(1u << e);

        int next[12];
        for (int& n : next) n = -1;
        for (const Face& f : kFaces) {
            int crossed[4], n = 0;
            for (int k = 0; k < 4; ++k) {
                const int a = f.corners[k], b = f.corners[(k + 1) % 4];
                if (low(a) != low(b)) crossed[n++] = EdgeBetween(a, b);
            }
            if (n == 2) {
                Point centre{0, 0, 0};
                int lows = 0;
                for (int corner : f.corners)
                    if (low(corner)) {
                        const Point p = Corner(corner);
                        centre.x += p.x, centre.y += p.y, centre.z += p.z;
                        ++lows;
                    }
                centre = {centre.x / lows, centre.y / lows, centre.z / lows};
                AddSegment(crossed[0], crossed[1], centre, f.normal, next);
            } else if (n == 4) {
                // Two diagonal low corners: each is cut off on its own.
                for (int k = 0; k < 4; ++k) {
                    const int corner = f.corners[k];
                    if (!low(corner)) continue;
                    const int before = EdgeBetween(f.corners[(k + 3) % 4], corner);
                    const int after = EdgeBetween(corner, f.corners[(k + 1) % 4]);
                    AddSegment(before, after, Corner(corner), f.normal, next);
                }
            }
        }

        // Follow the segments round each closed loop and fan it into triangles.
        bool used[12] = {};
        int written = 0;
        for (int start = 0; start < 12; ++start) {
            if (next[start] < 0 || used[start]) continue;
            std::vector<int> loop;
            for (int e = start; !used[e]; e = next[e]) {
                if (next[e] < 0) throw std::logic_error("marching cubes: open loop");
                used[e] = true;
                loop.push_back(e);
            }
            for (size_t k = 1; k + 1 < loop.size(); ++k) {
                if (written + 3 > 15) throw std::logic_error("marching cubes: too many triangles");
                t.triangles[c][written++] = std::int8_t(loop[0]);
                t.triangles[c][written++] = std::int8_t(loop[k]);
                t.triangles[c][written++] = std::int8_t(loop[k + 1]);
            }
        }
        for (int k = written; k < 16; ++k) t.triangles[c][k] = -1;
    }
    return t;
}

}  // namespace

const MarchingCubesTables& GetMarchingCubesTables() {
    static const MarchingCubesTables tables = Build();
    return tables;
}

}  // namespace velm
