#pragma once
// Which of the two drawing paths the render pass takes: the OpenGL 1.1 one
// (immediate mode and display lists, which picking and PostScript feedback
// need) or buffers drawn by shaders, where the context offers OpenGL 2.1
// with GLSL 1.20.
#include <optional>
#include <string_view>

namespace velm {

enum class DrawingPath : int { Fixed = 0, Shader = 1 };

// "fixed" or "shader", the names the batch option and the settings take.
std::string_view DrawingPathName(DrawingPath path);
std::optional<DrawingPath> DrawingPathFromName(std::string_view name);

// Whether a context reporting these GL_VERSION and GL_SHADING_LANGUAGE_VERSION
// strings runs the shaders: OpenGL 2.1 or later and GLSL 1.20 or later.
// Null strings (no context, or a driver that does not know) answer no.
bool OffersShaders(const char* glVersion, const char* glslVersion);
// The same for the current context.
bool CurrentContextOffersShaders();

}  // namespace velm
