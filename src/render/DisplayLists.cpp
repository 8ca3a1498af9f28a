#include "render/DisplayLists.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include "core/VelmError.h"

namespace velm {

namespace {
// Below two slices a ring has no extent; above the sliders' maximum a bad
// value could build lists of billions of vertices.
int SafeSlices(int slices) { return std::clamp(slices, 2, kAtomResolutionRange.maximum); }

struct QuadricDeleter {
    void operator()(GLUquadric* q) const { gluDeleteQuadric(q); }
};
using Quadric = std::unique_ptr<GLUquadric, QuadricDeleter>;

Quadric NewQuadric(const char* failure) {
    Quadric q(gluNewQuadric());
    if (!q) throw VelmError(failure);
    gluQuadricDrawStyle(q.get(), GLU_FILL);
    gluQuadricOrientation(q.get(), GLU_OUTSIDE);
    gluQuadricNormals(q.get(), GLU_SMOOTH);
    return q;
}

void RingVertex(double theta, int k, int slices) {
    // The last vertex closes the ring at azimuth exactly 0, not at 2 pi.
    const double phi = k == slices ? 0.0 : 2 * std::numbers::pi * k / slices;
    const double x = -std::sin(phi) * std::sin(theta);
    const double y = std::cos(phi) * std::sin(theta);
    const double z = std::cos(theta);
    glNormal3d(x, y, z);
    glVertex3d(x, y, z);
}

}  // namespace

int SphereCapStacks(int slices) { return std::max(slices - 6, 2); }

void BuildSphereCapList(unsigned list, int slices) {
    slices = SafeSlices(slices);
    const int stacks = SphereCapStacks(slices);
    const double step = std::numbers::pi / stacks;
    // The fan and the quad strips are written out as one run of triangles:
    // Mesa 22.3 crashes in GL_SELECT and GL_FEEDBACK on a display list that
    // mixes a fan with strips, and picking and PostScript need both.
    glNewList(list, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    for (int k = 0; k < slices; ++k) {
        glNormal3d(0, 0, 1);
        glVertex3d(0, 0, 1);
        RingVertex(step, k, slices);
        RingVertex(step, k + 1, slices);
    }
    // Only the half facing +z: spheres are turned to face the eye.
    for (int j = 1; j <= stacks / 2 - 1; ++j) {
        const double upper = j * step, lower = (j + 1) * step;
        for (int k = 0; k < slices; ++k) {
            RingVertex(upper, k, slices);
            RingVertex(lower, k, slices);
            RingVertex(lower, k + 1, slices);
            RingVertex(upper, k, slices);
            RingVertex(lower, k + 1, slices);
            RingVertex(upper, k + 1, slices);
        }
    }
    glEnd();
    glEndList();
}

int SlicesFor(SharedList list, const Resolutions& resolutions) {
    switch (list) {
        case kAtomSphereList: return resolutions.atom;
        case kBondCylinderList: return resolutions.bond;
        case kSelectionSphereList:
        case kDiskList:
        case kSelectionCylinderList:
        case kConeList: return resolutions.selection;
    }
    return resolutions.selection;
}

DisplayLists::DisplayLists(const Resolutions& resolutions) { Rebuild(resolutions); }

void DisplayLists::Rebuild(const Resolutions& resolutions) {
    for (unsigned i = 0; i < kSharedLists; ++i) {
        const auto list = static_cast<SharedList>(kFirstSharedList + i);
        Build(list, SlicesFor(list, resolutions));
    }
}

int DisplayLists::Update(const Resolutions& resolutions) {
    int rebuilt = 0;
    for (unsigned i = 0; i < kSharedLists; ++i) {
        const auto list = static_cast<SharedList>(kFirstSharedList + i);
        const int slices = SafeSlices(SlicesFor(list, resolutions));
        if (slices == Slices(list)) continue;
        Build(list, slices);
        ++rebuilt;
    }
    return rebuilt;
}

void DisplayLists::Build(SharedList list, int slices) {
    slices = SafeSlices(slices);
    switch (list) {
        case kSelectionSphereList:
        case kAtomSphereList: BuildSphereCapList(list, slices); break;
        case kDiskList: {
            Quadric q = NewQuadric("Can't allocate memory for disk!");
            glNewList(list, GL_COMPILE);
            gluDisk(q.get(), 0, 1, slices, 1);
            glEndList();
            break;
        }
        case kSelectionCylinderList:
        case kBondCylinderList: {
            Quadric q = NewQuadric("Can't allocate memory for cylinder!");
            glNewList(list, GL_COMPILE);
            gluCylinder(q.get(), 1, 1, kSharedListHeight, slices, 1);
            glEndList();
            break;
        }
        case kConeList: {
            Quadric q = NewQuadric("Can't allocate memory for cone!");
            glNewList(list, GL_COMPILE);
            gluCylinder(q.get(), 1, 0, kSharedListHeight, slices, 1);
            glEndList();
            break;
        }
    }
    slices_[list - kFirstSharedList] = slices;
}

}  // namespace velm
