#pragma once
// A molecule's molecular surface: the options it is built with, how it is
// drawn, and the mesh itself. Building and area sums live in the surface
// layer; drawing in the renderer.
#include <cstdint>
#include <vector>

#include "core/Rgba.h"

namespace velm {

enum SurfaceStyle : int { SolidSurface = 0, MeshSurface = 1, DotSurface = 2 };

struct VelmSurface {
    bool built = false;

    // Geometry, taken at the next build.
    float isoLevel = 0.475f;   // density level of the surface
    float earlyExit = 0.95f;   // density stops summing above this
    float probeRadius = 0.0f;  // added to every atom radius, angstrom
    float spacing = 0.595f;    // sampling grid edge, angstrom
    bool includeSolvent = false;
    float cellSize = 3.0f;     // atom hash-grid cell edge for ordinary boxes
    int maxCells = 200;        // cells per axis for very large boxes
    float largeExtent = 600.0f;
    int frameIndex = -1;       // frame built from: current frame - 1; -1 the atoms themselves

    // Looks, taken at the next redraw.
    SurfaceStyle style = SolidSurface;
    bool colourByAtom = true;
    std::uint8_t transparencyAlpha = 255;  // replaces the atoms' alpha when not 255
    Rgba userColour{128, 128, 128, 255};

    // The mesh, in molecule coordinates.
    std::vector<float> vertices;  // x, y, z per vertex
    std::vector<float> normals;   // unnormalised density gradient per vertex
    std::vector<int> nearestAtom; // the atom that colours each vertex
    std::vector<int> indices;     // three per triangle

    int VertexCount() const { return static_cast<int>(nearestAtom.size()); }
    int TriangleCount() const { return static_cast<int>(indices.size() / 3); }

    // Frees the mesh; the options stay.
    void Discard() {
        built = false;
        vertices = {};
        normals = {};
        nearestAtom = {};
        indices = {};
    }
};

// The resolution slider: position = trunc((1 - (spacing - 0.1) x 0.6060606) x 100);
// a position in 0..100 gives spacing (100 - position) x 0.0165 + 0.1, others
// leave it as it is.
int SurfaceResolutionPosition(float spacing);
float SpacingFromResolutionPosition(int position, float current);

}  // namespace velm
