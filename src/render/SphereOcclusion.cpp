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

}  // namespace

SphereOcclusion::SphereOcclusion(const SphereSet& s, const float mv[16], const float p[16], const int viewport[4])
    : spheres_(s) {
    std::copy(mv, mv + 16, mv_);
    std::copy(p, p + 16, p_);
    gridded_ = viewport[2] > 0 && viewport[3] > 0 && viewport[2] <= kMaxSide && viewport[3] <= kMaxSide;
    if (!gridded_) return;
    // The scale of the model-view (uniform), for the radii.
    scale_ = std::sqrt(mv[0] * mv[0] + mv[1] * mv[1] + mv[2] * mv[2]);
    columns_ = (viewport[2] + kCell - 1) / kCell, rows_ = (viewport[3] + kCell - 1) / kCell;
    cover_.assign(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_),
                  std::numeric_limits<float>::infinity());
    at_.resize(s.count);
    halfWidth_ = 0.5f * static_cast<float>(viewport[2]), halfHeight_ = 0.5f * static_cast<float>(viewport[3]);
    for (std::size_t i = 0; i < s.count; ++i) {
        const float* c = s.centres + 3 * i;
        const float ex = mv[0] * c[0] + mv[4] * c[1] + mv[8] * c[2] + mv[12];
        const float ey = mv[1] * c[0] + mv[5] * c[1] + mv[9] * c[2] + mv[13];
        const float ez = mv[2] * c[0] + mv[6] * c[1] + mv[10] * c[2] + mv[14];
        const float r = s.radii[i] * scale_;
        Projected& q = at_[i];
        const float depth = -ez;
        q.ok = depth > 2 * r && depth > 0;
        if (!q.ok) continue;
        const float cx = p[0] * ex + p[4] * ey + p[8] * ez + p[12];
        const float cy = p[1] * ex + p[5] * ey + p[9] * ez + p[13];
        const float w = p[3] * ex + p[7] * ey + p[11] * ez + p[15];
        q.x = (cx / w + 1) * halfWidth_;  // from the viewport's corner
        q.y = (cy / w + 1) * halfHeight_;
        // The silhouette seen from the eye is a little larger than r / depth.
        const float pixels = std::min(p[0] * halfWidth_, p[5] * halfHeight_) * r / depth;
        const float widest = std::max(p[0] * halfWidth_, p[5] * halfHeight_) * r / std::sqrt(depth * depth - r * r);
        q.inner = kInner * pixels;
        q.outer = kOuter * widest + 2;
        q.frontDepth = depth - r;
        if (!s.opaque[i]) continue;
        // Cells wholly inside the inner disc hold the depth of the sphere's
        // front at their corner farthest from the centre: nowhere in the
        // cell is the sphere farther.
        const int x0 = std::max(0, static_cast<int>(std::ceil((q.x - q.inner) / kCell)));
        const int x1 = std::min(columns_, static_cast<int>(std::floor((q.x + q.inner) / kCell)));
        const int y0 = std::max(0, static_cast<int>(std::ceil((q.y - q.inner) / kCell)));
        const int y1 = std::min(rows_, static_cast<int>(std::floor((q.y + q.inner) / kCell)));
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
                float& d = cover_[static_cast<std::size_t>(gy) * static_cast<std::size_t>(columns_) +
                                  static_cast<std::size_t>(gx)];
                d = std::min(d, front);
            }
    }
}

bool SphereOcclusion::Covered(float left, float bottom, float right, float top, float front) const {
    const int x0 = static_cast<int>(std::floor(left / kCell)), x1 = static_cast<int>(std::floor(right / kCell));
    const int y0 = static_cast<int>(std::floor(bottom / kCell)), y1 = static_cast<int>(std::floor(top / kCell));
    if (x0 < 0 || y0 < 0 || x1 >= columns_ || y1 >= rows_) return false;  // at the view's edge: keep
    for (int gy = y0; gy <= y1; ++gy) {
        const float* row = cover_.data() + static_cast<std::size_t>(gy) * static_cast<std::size_t>(columns_);
        for (int gx = x0; gx <= x1; ++gx)
            if (!(row[gx] < front)) return false;
    }
    return true;
}

void SphereOcclusion::VisibleSpheres(std::vector<std::uint32_t>& visible) const {
    for (std::size_t i = 0; i < spheres_.count; ++i) {
        if (!gridded_ || !at_[i].ok) {
            visible.push_back(static_cast<std::uint32_t>(i));
            continue;
        }
        const Projected& q = at_[i];
        if (q.x + q.outer < 0 || q.y + q.outer < 0 || std::floor((q.x - q.outer) / kCell) >= columns_ ||
            std::floor((q.y - q.outer) / kCell) >= rows_)
            continue;  // wholly outside the view
        if (!Covered(q.x - q.outer, q.y - q.outer, q.x + q.outer, q.y + q.outer, q.frontDepth))
            visible.push_back(static_cast<std::uint32_t>(i));
    }
}

void SphereOcclusion::VisibleCylinders(const CylinderSet& s, std::vector<std::uint32_t>& visible) const {
    const float* mv = mv_;
    const float* p = p_;
    const float r = s.radius * scale_;
    for (std::size_t i = 0; i < s.count; ++i) {
        // The eye-space box around both ends and the radius holds the whole
        // tube; in front of the eye, its corners' projections bound its
        // picture, whatever the perspective does off the axis.
        float lo[3], hi[3];
        for (int e = 0; e < 2; ++e) {
            const float* c = s.ends + 6 * i + 3 * e;
            for (int k = 0; k < 3; ++k) {
                const float v = mv[k] * c[0] + mv[4 + k] * c[1] + mv[8 + k] * c[2] + mv[12 + k];
                lo[k] = e ? std::min(lo[k], v - r) : v - r;
                hi[k] = e ? std::max(hi[k], v + r) : v + r;
            }
        }
        const float nearest = -hi[2];
        if (!gridded_ || !(nearest > r && nearest > 0)) {
            visible.push_back(static_cast<std::uint32_t>(i));
            continue;
        }
        float left = std::numeric_limits<float>::infinity(), right = -left, bottom = left, top = -left;
        for (int corner = 0; corner < 8; ++corner) {
            const float ex = corner & 1 ? hi[0] : lo[0], ey = corner & 2 ? hi[1] : lo[1],
                        ez = corner & 4 ? hi[2] : lo[2];
            const float w = p[3] * ex + p[7] * ey + p[11] * ez + p[15];
            const float x = ((p[0] * ex + p[4] * ey + p[8] * ez + p[12]) / w + 1) * halfWidth_;
            const float y = ((p[1] * ex + p[5] * ey + p[9] * ez + p[13]) / w + 1) * halfHeight_;
            left = std::min(left, x), right = std::max(right, x), bottom = std::min(bottom, y), top = std::max(top, y);
        }
        // A pixel of room for the rasteriser's rounding.
        left -= 1, bottom -= 1, right += 1, top += 1;
        if (right < 0 || top < 0 || std::floor(left / kCell) >= columns_ || std::floor(bottom / kCell) >= rows_)
            continue;  // wholly outside the view
        if (!Covered(left, bottom, right, top, nearest)) visible.push_back(static_cast<std::uint32_t>(i));
    }
}

void VisibleSpheres(const SphereSet& spheres, const float modelView[16], const float projection[16],
                    const int viewport[4], std::vector<std::uint32_t>& visible) {
    SphereOcclusion(spheres, modelView, projection, viewport).VisibleSpheres(visible);
}

}  // namespace velm
