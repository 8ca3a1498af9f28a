#include "render/SphereOcclusion.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velm {

namespace {

constexpr int kCell = 2;           // pixels per grid cell
constexpr int kMaxSide = 16384;    // larger views are not culled
// The disc trusted to cover, as a share of the projected radius, and the
// depth added to the front of the sphere over it, as a share of the radius:
// room for the perspective the orthographic estimate leaves out.
constexpr float kInner = 0.9f;
constexpr float kDepthMargin = 0.25f;
constexpr float kOuter = 1.25f;    // and the share that bounds what the sphere may touch

struct Projected {
    float x, y;        // window pixels
    float inner, outer;
    float centreDepth, frontDepth;  // distances along the line of sight, eye space
    bool ok;           // in front of the eye, far enough to project
};

}  // namespace

void VisibleSpheres(const SphereSet& s, const float mv[16], const float p[16], const int viewport[4],
                    std::vector<std::uint32_t>& visible) {
    const auto all = [&] {
        for (std::size_t i = 0; i < s.count; ++i) visible.push_back(static_cast<std::uint32_t>(i));
    };
    if (viewport[2] <= 0 || viewport[3] <= 0 || viewport[2] > kMaxSide || viewport[3] > kMaxSide) return all();
    // The scale of the model-view (uniform), for the radii.
    const float scale = std::sqrt(mv[0] * mv[0] + mv[1] * mv[1] + mv[2] * mv[2]);
    const int columns = (viewport[2] + kCell - 1) / kCell, rows = (viewport[3] + kCell - 1) / kCell;
    std::vector<float> cover(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows),
                             std::numeric_limits<float>::infinity());
    std::vector<Projected> at(s.count);
    const float halfWidth = 0.5f * static_cast<float>(viewport[2]), halfHeight = 0.5f * static_cast<float>(viewport[3]);
    for (std::size_t i = 0; i < s.count; ++i) {
        const float* c = s.centres + 3 * i;
        const float ex = mv[0] * c[0] + mv[4] * c[1] + mv[8] * c[2] + mv[12];
        const float ey = mv[1] * c[0] + mv[5] * c[1] + mv[9] * c[2] + mv[13];
        const float ez = mv[2] * c[0] + mv[6] * c[1] + mv[10] * c[2] + mv[14];
        const float r = s.radii[i] * scale;
        Projected& q = at[i];
        const float depth = -ez;
        q.ok = depth > 2 * r && depth > 0;
        if (!q.ok) continue;
        const float cx = p[0] * ex + p[4] * ey + p[8] * ez + p[12];
        const float cy = p[1] * ex + p[5] * ey + p[9] * ez + p[13];
        const float w = p[3] * ex + p[7] * ey + p[11] * ez + p[15];
        q.x = (cx / w + 1) * halfWidth;  // from the viewport's corner
        q.y = (cy / w + 1) * halfHeight;
        // The silhouette seen from the eye is a little larger than r / depth.
        const float pixels = std::min(p[0] * halfWidth, p[5] * halfHeight) * r / depth;
        const float widest = std::max(p[0] * halfWidth, p[5] * halfHeight) * r / std::sqrt(depth * depth - r * r);
        q.inner = kInner * pixels;
        q.outer = kOuter * widest + 2;
        q.centreDepth = depth;
        q.frontDepth = depth - r;
        if (!s.opaque[i]) continue;
        // Cells wholly inside the inner disc hold the depth of the sphere's
        // front at their corner farthest from the centre: nowhere in the
        // cell is the sphere farther.
        const int x0 = std::max(0, static_cast<int>(std::ceil((q.x - q.inner) / kCell)));
        const int x1 = std::min(columns, static_cast<int>(std::floor((q.x + q.inner) / kCell)));
        const int y0 = std::max(0, static_cast<int>(std::ceil((q.y - q.inner) / kCell)));
        const int y1 = std::min(rows, static_cast<int>(std::floor((q.y + q.inner) / kCell)));
        const float disc2 = pixels * pixels, inner2 = q.inner * q.inner;
        for (int gy = y0; gy < y1; ++gy)
            for (int gx = x0; gx < x1; ++gx) {
                const float fx = std::max(std::abs(static_cast<float>(gx * kCell) - q.x),
                                          std::abs(static_cast<float>((gx + 1) * kCell) - q.x));
                const float fy = std::max(std::abs(static_cast<float>(gy * kCell) - q.y),
                                          std::abs(static_cast<float>((gy + 1) * kCell) - q.y));
                const float far2 = fx * fx + fy * fy;
                if (far2 > inner2) continue;
                const float front = depth - r * std::sqrt(1 - far2 / disc2) + kDepthMargin * r;
                float& d = cover[static_cast<std::size_t>(gy) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(gx)];
                d = std::min(d, front);
            }
    }
    for (std::size_t i = 0; i < s.count; ++i) {
        const Projected& q = at[i];
        if (!q.ok) {
            visible.push_back(static_cast<std::uint32_t>(i));
            continue;
        }
        const int x0 = static_cast<int>(std::floor((q.x - q.outer) / kCell));
        const int x1 = static_cast<int>(std::floor((q.x + q.outer) / kCell));
        const int y0 = static_cast<int>(std::floor((q.y - q.outer) / kCell));
        const int y1 = static_cast<int>(std::floor((q.y + q.outer) / kCell));
        if (x1 < 0 || y1 < 0 || x0 >= columns || y0 >= rows) continue;  // wholly outside the view
        bool hidden = x0 >= 0 && y0 >= 0 && x1 < columns && y1 < rows;  // at the view's edge: keep
        for (int gy = y0; hidden && gy <= y1; ++gy)
            for (int gx = x0; hidden && gx <= x1; ++gx)
                hidden = cover[static_cast<std::size_t>(gy) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(gx)] <
                         q.frontDepth;
        if (!hidden) visible.push_back(static_cast<std::uint32_t>(i));
    }
}

}  // namespace velm
