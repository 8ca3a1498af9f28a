#pragma once
// Walks the smooth curve through a chain's trace atoms (alpha carbons, or a
// nucleotide's phosphorus): a cardinal spline, segment by segment, yielding
// points for a line or points with a local frame for ribbons and tubes, from
// the first trace atom to the last. Runs of fewer than four residues yield
// nothing.
#include "core/Vec3.h"
#include "render/BackboneRuns.h"
#include "render/DrawContext.h"

namespace velm {

class Molecule;
struct Residue;

struct SplinePoint {
    Vec3 point;
    int atom = -1;  // the trace atom of the segment's first residue
};

// A point of the curve with its frame: N along the ribbon's width (length
// width), B across it (length thickness), both at right angles to T, the
// unnormalised tangent; so consecutive segments meet in the same frame.
struct SplineFrame {
    Vec3 centre, normal, binormal, tangent;
    int atom = -1;        // segment's first trace atom
    int colourAtom = -1;  // the trace atom whose colour this step takes
};

class SplineCursor {
public:
    // Throws "Bad resolution" for resolution < 0 and "Bad chain number -- too
    // small" / "Bad chain number -- too large" for a chain index out of range.
    // Tension outside [1, 3] is taken as 2. The run is a piece of the chain
    // (BackboneRuns); count < 0: the whole chain.
    SplineCursor(const Molecule& molecule, int chain, int resolution, double tension, BackboneRun run = {0, -1});

    bool NextPoint(SplinePoint& out);
    bool NextFrame(SplineFrame& out);

    // Points per segment: resolution + 1.
    int StepsPerSegment() const { return steps_; }

private:
    bool Advance();  // to the next step; false when the chain is done
    bool Closing();  // past the last segment: its end, once
    void LoadSegment();
    void MakeFrame(double u, SplineFrame& out) const;
    const Residue& ResidueAt(int k) const;
    Vec3 Ca(int residue) const;
    Vec3 Guide(int residue) const;

    const Molecule& molecule_;
    const DrawnPositions at_;
    int chain_;
    int base_;     // the run's first residue in the chain
    int n_;        // residues of the run
    bool closed_ = false;
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
