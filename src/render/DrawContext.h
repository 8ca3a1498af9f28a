#pragma once
// What every drawing routine of a molecule needs besides the molecule: the
// scene's settings and lights, the label font, and the turn that makes the
// sphere caps face the eye. Made once per molecule and eye by the render pass.
#include <cstddef>

#include "core/Rgba.h"
#include "core/Vec3.h"
#include "model/Frame.h"

namespace velm {

class ClipPlane;
class GlyphFont;
class Molecule;
class SceneLighting;
struct ViewSettings;

struct DrawContext {
    DrawContext(const ViewSettings& s, const SceneLighting& l, const GlyphFont& f) : settings(s), lighting(l), font(f) {}

    const ViewSettings& settings;
    const SceneLighting& lighting;
    const GlyphFont& font;
    // Undoes the molecule's rotation and then the eye's stereo turn, column
    // by column as GL takes it: multiplied in at a sphere's centre, it turns
    // the cap's +z towards the eye.
    float capTurn[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    // With the scene clipped: the plane, and where the molecule's atoms lie
    // against it (its rotation, translation and scale, and the view's clip
    // centre with y reversed as the display offset is applied).
    const ClipPlane* clip = nullptr;
    float rotation[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    Vec3 translation;
    double scale = 1;
    Vec3 clipCentre;

    // In the selection pass: each atom, bond or backbone step drawn is named
    // after what it shows, atoms from firstName on, then the bonds.
    bool naming = false;
    unsigned firstName = 0, firstBondName = 0;
};

// The coordinates a molecule is drawn with: its current trajectory frame, or
// the atoms themselves at frame 0 (or for a frame number out of range).
class DrawnPositions {
public:
    explicit DrawnPositions(const Molecule& molecule);
    Vec3 operator[](int i) const;

private:
    const Molecule& molecule_;
    const Frame* frame_ = nullptr;
};

// The cap turn for a molecule rotation (GL column order) and an eye angle in
// degrees about the vertical axis.
void MakeCapTurn(const float rotation[16], float eyeAngleDegrees, float capTurn[16]);

// The lighting convention: 3D objects are lit by the switched-on solid lights
// with dithering and, when smooth 3D is on, smooth shading; lines and points
// by the line light alone, flat.
void BeginSolids(const DrawContext& context);
void EndSolids(const DrawContext& context);

// In the selection pass, names what is drawn next (outside glBegin/glEnd).
void NameAtom(const DrawContext& context, int atom);
void NameBond(const DrawContext& context, size_t bond);

void SetColour(const Rgba& colour);  // all four bytes
void SetColourRgb(const Rgba& colour);

// A sphere cap from `list` at p of radius r, turned to the eye.
void DrawSphere(const DrawContext& context, unsigned list, const Vec3& p, double r);
// Turns +z onto the direction d of length `length`, as cylinders are turned.
// A bond along -z turns about x; one along +z needs no turn.
void TurnOnto(const Vec3& d, double length);
// A cylinder of list 5 (0.1 high) from p to q, radius r. Nothing for p == q.
void DrawCylinder(const Vec3& p, const Vec3& q, double r);

}  // namespace velm
