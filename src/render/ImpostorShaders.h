#pragma once
// GLSL 1.20 sources of the impostors: screen-aligned quads whose fragments
// cast a ray from the eye against a sphere or a cylinder and light the hit
// as the fixed-function path lights its polygons (the GL lights and material
// the scene loaded, colour material, linear fog, the clipping plane).
namespace velm {

// Vertex attributes, bound to these locations before linking. Location 0
// provokes the vertex in a compatibility context.
enum ImpostorAttribute : unsigned {
    kCentreAttribute = 0,  // sphere centre / cylinder start, model space
    kEndAttribute = 1,     // cylinder end
    kColourAttribute = 2,  // sphere colour / cylinder start's colour
    kEndColourAttribute = 3,
    kCornerAttribute = 4,  // (+-1, +-1): which corner of the quad
    kRadiusAttribute = 5,  // sphere radius, model space
};

struct ImpostorSources {
    const char* sphereVertex;
    const char* sphereFragment;
    const char* cylinderVertex;
    const char* cylinderFragment;
};

// The sources the renderer builds.
const ImpostorSources& DefaultImpostorSources();

}  // namespace velm
