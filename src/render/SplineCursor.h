#pragma once
// Walks the smooth curve through a chain's alpha carbons: a cardinal spline,
// segment by segment, yielding points for a line or points with a local frame
// for ribbons and tubes. Chains of fewer than four residues yield nothing.
#include "core/Vec3.h"
#include "render/DrawContext.h"

namespace velm {

class Molecule;

struct SplinePoint {
    Vec3 point;
    int atom = -1;  // the alpha carbon of the segment's first residue
};

// A point of the curve with its frame: N along the ribbon's width (length
// width), B across it (length thickness), T the unnormalised tangent.
struct SplineFrame {
    Vec3 centre, normal, binormal, tangent;
    int atom = -1;        // segment's first alpha carbon
    int colourAtom = -1;  // the alpha carbon whose colour this step takes
};

class SplineCursor {
public:
    // Throws "Bad resolution" for resolution < 0 and "Bad chain number -- too
    // small" / "Bad chain number -- too large" for a chain index out of range.
    // Tension outside [1, 3] is taken as 2.
    SplineCursor(const Molecule& molecule, int chain, int resolution, double tension);

    bool NextPoint(SplinePoint& out);
    bool NextFrame(SplineFrame& out);

    // Points per segment: resolution + 1.
    int StepsPerSegment() const { return steps_; }

private:
    bool Advance();  // to the next step; false when the chain is done
    void LoadSegment();
    Vec3 Ca(int residue) const;
    Vec3 Guide(int residue) const;

    const Molecule& molecule_;
    const DrawnPositions at_;
    int chain_;
    int n_;        // residues
    int i_ = 0;    // segment
    int step_ = 0; // step within the segment; u = step * du
    int steps_;
    double du_;
    double t_, s_;
    bool newSegment_ = true;
    bool first_ = true;
    Vec3 p_[4], g_[4];
    double w_[4] = {}, th_[4] = {};
    Vec3 previousSide_;
};

// The four basis weights at u for tension t (s = 1 / t), and their derivatives.
void CardinalWeights(double u, double t, double w[4]);
void CardinalDerivatives(double u, double t, double d[4]);

}  // namespace velm
