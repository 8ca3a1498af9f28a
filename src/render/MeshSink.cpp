#include "render/MeshSink.h"

#include <GL/gl.h>

namespace velm {

void ImmediateMesh::Begin(unsigned primitive) { glBegin(primitive); }
void ImmediateMesh::Normal(const Vec3& n) { glNormal3d(n.x, n.y, n.z); }
void ImmediateMesh::Colour(const Rgba& c) { glColor4ub(c.r, c.g, c.b, c.a); }
void ImmediateMesh::Vertex(const Vec3& p) { glVertex3d(p.x, p.y, p.z); }
void ImmediateMesh::End() { glEnd(); }

}  // namespace velm
