#include "render/ImpostorShaders.h"

namespace velm {

namespace {

// Shared by both fragment shaders: the lighting of the fixed-function path
// for a colour-material surface (ambient and diffuse from the colour), with
// directional lights and a viewer at infinity, then linear fog on |z|, and
// the depth of the hit point. LIGHTS, the number of switched-on directional
// lights, is defined when the program is built, so that the loop unrolls:
// llvmpipe pays dearly for uniform arrays indexed at run time.
#define VELM_SHADING                                                                       \
    "uniform vec3 sceneAmbient;\n"                                                         \
    "#if LIGHTS > 0\n"                                                                     \
    "uniform vec3 lightDirection[LIGHTS];\n"                                               \
    "uniform vec3 lightHalfway[LIGHTS];\n"                                                 \
    "uniform vec3 lightDiffuse[LIGHTS];\n"                                                 \
    "uniform vec3 lightSpecular[LIGHTS];\n"                                                \
    "#endif\n"                                                                             \
    "uniform float shininess;\n"                                                           \
    "uniform bool fogOn;\n"                                                                \
    "uniform bool clipOn;\n"                                                               \
    "uniform vec4 clipPlane;\n"                                                            \
    "void Shade(vec3 n, vec3 p, vec4 colour) {\n"                                          \
    "    if (clipOn && dot(clipPlane, vec4(p, 1.0)) < 0.0) discard;\n"                     \
    "    vec3 sum = sceneAmbient * colour.rgb;\n"                                          \
    "#if LIGHTS > 0\n"                                                                     \
    "    for (int i = 0; i < LIGHTS; ++i) {\n"                                             \
    "        float nl = dot(n, lightDirection[i]);\n"                                      \
    "        if (nl > 0.0) {\n"                                                            \
    "            sum += nl * lightDiffuse[i] * colour.rgb;\n"                              \
    "            float nh = max(dot(n, lightHalfway[i]), 0.0);\n"                          \
    "            sum += pow(nh, shininess) * lightSpecular[i];\n"                          \
    "        }\n"                                                                          \
    "    }\n"                                                                              \
    "#endif\n"                                                                             \
    "    vec3 c = min(sum, vec3(1.0));\n"                                                  \
    "    if (fogOn) c = mix(gl_Fog.color.rgb, c, clamp((gl_Fog.end + p.z) * gl_Fog.scale, 0.0, 1.0));\n" \
    "    gl_FragColor = vec4(c, colour.a);\n"                                              \
    /* a perspective projection: clip z = m22 z + m32, clip w = -z */                       \
    "    float ndc = (gl_ProjectionMatrix[2][2] * p.z + gl_ProjectionMatrix[3][2]) / -p.z;\n" \
    "    gl_FragDepth = 0.5 * (gl_DepthRange.diff * ndc + gl_DepthRange.near + gl_DepthRange.far);\n" \
    "}\n"

// The quad lies in the plane through the centre square to the line of
// sight, as large as the sphere's silhouette cone cuts it there.
constexpr const char* kSphereVertex =
    "#version 120\n"
    "attribute vec3 centre;\n"
    "attribute vec4 colour;\n"
    "attribute vec2 corner;\n"
    "attribute float radius;\n"
    "varying vec3 quadPoint;\n"
    "varying vec3 sphereCentre;\n"
    "varying float sphereRadius;\n"
    "varying vec4 sphereColour;\n"
    "void main() {\n"
    "    vec3 c = (gl_ModelViewMatrix * vec4(centre, 1.0)).xyz;\n"
    "    float r = radius * length(gl_ModelViewMatrix[0].xyz);\n"
    "    float d = length(c);\n"
    "    vec3 w = c / d;\n"
    "    vec3 u = normalize(cross(abs(w.y) < 0.9 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0), w));\n"
    "    vec3 v = cross(w, u);\n"
    // An eye inside the sphere sees nothing of it: an empty quad.
    "    float reach = d > r ? r * d / sqrt(d * d - r * r) : 0.0;\n"
    "    quadPoint = c + reach * (corner.x * u + corner.y * v);\n"
    "    sphereCentre = c;\n"
    "    sphereRadius = r;\n"
    "    sphereColour = colour;\n"
    "    gl_Position = gl_ProjectionMatrix * vec4(quadPoint, 1.0);\n"
    "}\n";

constexpr const char* kSphereFragment =
    "#version 120\n"
    "varying vec3 quadPoint;\n"
    "varying vec3 sphereCentre;\n"
    "varying float sphereRadius;\n"
    "varying vec4 sphereColour;\n" VELM_SHADING
    "void main() {\n"
    "    vec3 ray = normalize(quadPoint);\n"
    "    float b = dot(ray, sphereCentre);\n"
    "    float disc = b * b - dot(sphereCentre, sphereCentre) + sphereRadius * sphereRadius;\n"
    "    if (disc < 0.0) discard;\n"
    "    vec3 p = (b - sqrt(disc)) * ray;\n"
    "    Shade((p - sphereCentre) / sphereRadius, p, sphereColour);\n"
    "}\n";

// The quad lies in the plane through the cylinder's middle square to the
// line of sight: the axis projected into it from the eye, widened and
// lengthened by the radius as the nearer end would show it.
constexpr const char* kCylinderVertex =
    "#version 120\n"
    "attribute vec3 centre;\n"
    "attribute vec3 end;\n"
    "attribute vec4 colour;\n"
    "attribute vec4 endColour;\n"
    "attribute vec2 corner;\n"
    "uniform float radius;\n"
    "uniform float trim;\n"
    "varying vec3 quadPoint;\n"
    "varying vec3 start;\n"
    "varying vec3 axis;\n"
    "varying float axisLength;\n"
    "varying float eyeRadius;\n"
    "varying vec4 startColour;\n"
    "varying vec4 finishColour;\n"
    "void main() {\n"
    "    vec3 tubeStart = (gl_ModelViewMatrix * vec4(centre, 1.0)).xyz;\n"
    "    vec3 tubeEnd = (gl_ModelViewMatrix * vec4(end, 1.0)).xyz;\n"
    "    float scale = length(gl_ModelViewMatrix[0].xyz);\n"
    "    float r = radius * scale;\n"
    // The quad covers the tube between the parts hidden in the end balls.
    "    vec3 d = tubeEnd - tubeStart;\n"
    "    float hidden = trim * scale / max(length(d), 1e-30);\n"
    "    vec3 p = tubeStart + d * min(hidden, 0.5);\n"
    "    vec3 q = tubeEnd - d * min(hidden, 0.5);\n"
    "    vec3 m = 0.5 * (p + q);\n"
    "    vec3 w = normalize(m);\n"
    "    float dm = dot(m, w);\n"
    "    float dp = max(dot(p, w), 1e-4), dq = max(dot(q, w), 1e-4);\n"
    "    vec3 pp = p * (dm / dp), qq = q * (dm / dq);\n"
    "    float nearest = max(min(length(p), length(q)) - r, 1e-4);\n"
    "    float reach = r * (dm / nearest) * 1.05;\n"
    "    vec3 along = qq - pp;\n"
    "    float l = length(along);\n"
    "    along = l > 1e-6 * dm ? along / l : normalize(cross(abs(w.y) < 0.9 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0), w));\n"
    "    vec3 across = cross(w, along);\n"
    "    vec3 base = corner.x < 0.0 ? pp - reach * along : qq + reach * along;\n"
    "    quadPoint = base + corner.y * reach * across;\n"
    "    start = tubeStart;\n"
    "    axisLength = length(d);\n"
    "    axis = d / axisLength;\n"
    "    eyeRadius = r;\n"
    "    startColour = colour;\n"
    "    finishColour = endColour;\n"
    "    gl_Position = gl_ProjectionMatrix * vec4(quadPoint, 1.0);\n"
    // A bond of no length draws nothing, as in the fixed path.
    "    if (!(axisLength > 0.0) || hidden >= 0.5) gl_Position = vec4(2.0, 2.0, 2.0, 1.0);\n"
    "}\n";

// The open tube of the fixed path: a hit beyond either end is not drawn
// (its end lies inside the atom's sphere), nor is the inside.
constexpr const char* kCylinderFragment =
    "#version 120\n"
    "varying vec3 quadPoint;\n"
    "varying vec3 start;\n"
    "varying vec3 axis;\n"
    "varying float axisLength;\n"
    "varying float eyeRadius;\n"
    "varying vec4 startColour;\n"
    "varying vec4 finishColour;\n" VELM_SHADING
    "void main() {\n"
    "    vec3 ray = normalize(quadPoint);\n"
    "    vec3 o = -start;\n"
    "    vec3 rayAcross = ray - axis * dot(ray, axis);\n"
    "    vec3 originAcross = o - axis * dot(o, axis);\n"
    "    float a = dot(rayAcross, rayAcross);\n"
    "    float b = dot(rayAcross, originAcross);\n"
    "    float c = dot(originAcross, originAcross) - eyeRadius * eyeRadius;\n"
    "    float disc = b * b - a * c;\n"
    "    if (disc < 0.0 || a < 1e-12) discard;\n"
    "    float t = (-b - sqrt(disc)) / a;\n"
    "    vec3 p = t * ray;\n"
    "    float s = dot(p - start, axis);\n"
    "    if (s < 0.0 || s > axisLength) discard;\n"
    "    Shade((p - start - s * axis) / eyeRadius, p, s < 0.5 * axisLength ? startColour : finishColour);\n"
    "}\n";

}  // namespace

const ImpostorSources& DefaultImpostorSources() {
    static const ImpostorSources sources{kSphereVertex, kSphereFragment, kCylinderVertex, kCylinderFragment};
    return sources;
}

}  // namespace velm
