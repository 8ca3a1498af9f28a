#pragma once
// Where the ribbon and tube generators send their primitives: straight to
// GL in immediate mode (the OpenGL 1.1 path, and picking, which names the
// steps between primitives), or into vertex arrays kept in buffers
// (MeshBuffers). Both paths thus draw the same vertices.
#include "core/Rgba.h"
#include "core/Vec3.h"

namespace velm {

class MeshSink {
public:
    virtual ~MeshSink() = default;
    // A GL primitive: GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN, GL_QUAD_STRIP, ...
    virtual void Begin(unsigned primitive) = 0;
    // The current normal and colour, taken by the vertices that follow.
    virtual void Normal(const Vec3& n) = 0;
    virtual void Colour(const Rgba& c) = 0;
    virtual void Vertex(const Vec3& p) = 0;
    virtual void End() = 0;
};

// glBegin, glNormal3d, glColor4ub, glVertex3d, glEnd.
class ImmediateMesh final : public MeshSink {
public:
    void Begin(unsigned primitive) override;
    void Normal(const Vec3& n) override;
    void Colour(const Rgba& c) override;
    void Vertex(const Vec3& p) override;
    void End() override;
};

}  // namespace velm
