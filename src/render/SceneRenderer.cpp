#include "render/SceneRenderer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "render/AtomRepresentations.h"
#include "render/DrawContext.h"
#include "render/Impostors.h"
#include "render/LineBuffers.h"
#include "render/Overlays.h"
#include "render/RendererChoice.h"
#include "render/Ribbons.h"
#include "render/SceneRadius.h"
#include "render/SelectionDrawing.h"
#include "render/SurfaceDrawing.h"
#include "render/TraceStickImpostors.h"

namespace velm {

namespace {
// The eye sits 4 units in front of the scene's origin; fog runs from 1 unit
// in front of it to 2 behind.
constexpr double kEyeDistance = 4;
constexpr double kNear = 0.5, kFar = 7;
constexpr float kFogStart = 3, kFogEnd = 6;

void SetEnabled(GLenum capability, bool on) {
    if (on) glEnable(capability);
    else glDisable(capability);
}

}  // namespace

SceneRenderer::SceneRenderer(Scene& scene) : scene_(scene) {}

SceneRenderer::~SceneRenderer() = default;

bool SceneRenderer::UsesShaders(PassMode pass) {
    if (pass != PassMode::Draw || scene_.settings.drawingPath != DrawingPath::Shader) return false;
    GLint renderMode = GL_RENDER;
    glGetIntegerv(GL_RENDER_MODE, &renderMode);
    if (renderMode != GL_RENDER) return false;
    if (!shadersTried_) {
        shadersTried_ = true;
        if (CurrentContextOffersShaders()) {
            try {
                impostors_ = std::make_unique<ImpostorRenderer>(*sources_, perBuffer_, cull_);
                meshes_ = std::make_unique<MeshBuffers>(meshVertices_);
                lines_ = std::make_unique<LineBuffers>(lineVerticesPerBuffer_);
                traceSticks_ = std::make_unique<TraceStickImpostors>();
            } catch (const VelmError& e) {
                failureTold_ = true;
                if (scene_.fallbackNotice) scene_.fallbackNotice("Drawing with OpenGL 1.1: shaders failed (" + e.text() + ")");
            }
        }
    }
    return impostors_ != nullptr;
}

bool SceneRenderer::DrewWithShaders(bool drew) {
    if (!drew && !failureTold_) {
        failureTold_ = true;
        if (scene_.fallbackNotice)
            scene_.fallbackNotice("Drawing with OpenGL 1.1: shaders failed (" + impostors_->Failure() + ")");
    }
    return drew;
}

void SceneRenderer::Initialise() {
    // A preset level's slice counts are its own, whatever was stored.
    if (scene_.settings.quality.Level() != GraphicsQuality::Custom)
        scene_.settings.quality.SetLevel(scene_.settings.quality.Level());
    const ViewSettings& s = scene_.settings;
    // Lists and glyphs carry over between calls in the same context: only
    // what the settings changed since is built again.
    if (lists_) lists_->Update(s.quality.Values());
    else lists_.emplace(s.quality.Values());

    glEnable(GL_DEPTH_TEST);
    ApplyBackground();
    glClearDepth(1);
    glEnable(GL_NORMALIZE);
    ApplyLineAlias();
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glDisable(GL_DITHER);
    glShadeModel(GL_FLAT);

    LoadSceneLights(scene_.lighting);
    glEnable(GL_LIGHTING);

    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_DENSITY, s.fogDensity);
    glFogf(GL_FOG_START, kFogStart);
    glFogf(GL_FOG_END, kFogEnd);
    ApplyDepthCue();

    if (!fontBuilt_ || fontBuilt_->description != s.font || fontBuilt_->numerator != s.fontScaleNumerator ||
        fontBuilt_->denominator != s.fontScaleDenominator)
        RebuildFont();
    else
        glListBase(font_.ListBase());

    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(0, 0, -kEyeDistance);

    SwitchToLineLight(scene_.lighting);
}

void SceneRenderer::Resize(int width, int height) {
    if (width <= 0 || height <= 0) return;
    scene_.settings.width = width;
    scene_.settings.height = height;
    SetProjection();
}

void SceneRenderer::SetProjection() {
    const ViewSettings& s = scene_.settings;
    if (s.width <= 0 || s.height <= 0) return;
    const double width = s.stereo ? s.width / 2.0 : s.width;
    GLint mode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(EffectiveFieldOfView(s.fieldOfView, width / s.height), width / s.height, kNear, kFar);
    glMatrixMode(static_cast<GLenum>(mode));
    scene_.clip.Enable(s.clipView);
}

void SceneRenderer::UpdateResolutions() {
    if (lists_) lists_->Update(scene_.settings.quality.Values());
}

void SceneRenderer::RebuildFont() {
    const ViewSettings& s = scene_.settings;
    font_.Build(s.font, s.fontScaleNumerator, s.fontScaleDenominator);
    fontBuilt_ = BuiltFont{s.font, s.fontScaleNumerator, s.fontScaleDenominator};
}

void SceneRenderer::ApplyDepthCue() {
    const auto& bg = scene_.settings.backgroundColor;
    const GLfloat colour[4] = {bg[0], bg[1], bg[2], 1};
    glFogfv(GL_FOG_COLOR, colour);
    SetEnabled(GL_FOG, scene_.settings.depthCue);
}

void SceneRenderer::ApplyLineAlias() { SetEnabled(GL_LINE_SMOOTH, scene_.settings.lineAlias); }

void SceneRenderer::ApplyBackground() {
    const auto& bg = scene_.settings.backgroundColor;
    glClearColor(bg[0], bg[1], bg[2], 1);
    const GLfloat colour[4] = {bg[0], bg[1], bg[2], 1};
    glFogfv(GL_FOG_COLOR, colour);
}

void SceneRenderer::RenderPass(const list<std::unique_ptr<Molecule>>& molecules, int mode) {
    if (mode != static_cast<int>(PassMode::Draw) && mode != static_cast<int>(PassMode::Select))
        throw VelmError("Unknown rendering mode!");
    const PassMode pass = static_cast<PassMode>(mode);
    const ViewSettings& s = scene_.settings;
    shaderPass_ = UsesShaders(pass);
    // Buffers of molecules no longer drawn through them go after each frame.
    struct EndFrame {
        SceneRenderer& r;
        ~EndFrame() {
            if (!r.shaderPass_) return;
            r.impostors_->EndFrame(), r.meshes_->EndFrame(), r.lines_->EndFrame(), r.traceSticks_->EndFrame();
        }
    } endFrame{*this};
    if (tile_) {
        RenderTile(molecules, pass);
        return;
    }
    if (!s.stereo) {
        glViewport(0, 0, s.width, s.height);
        if (pass == PassMode::Draw) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        DrawEye(molecules, pass, 0);
        return;
    }
    const int half = s.width / 2;
    glViewport(0, 0, half, s.height);
    if (pass == PassMode::Draw) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawEye(molecules, pass, -s.stereoHalfAngle);
    glViewport(half, 0, half, s.height);
    DrawEye(molecules, pass, s.stereoHalfAngle);
}

void SceneRenderer::RenderTile(const list<std::unique_ptr<Molecule>>& molecules, PassMode pass) {
    const ViewSettings& s = scene_.settings;
    const PictureTile& t = *tile_;
    GLint maxViewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
    if (pass == PassMode::Draw) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    struct Eye {
        int x, width;
        float angle;
    };
    const int half = s.width / 2;
    const std::vector<Eye> eyes = s.stereo ? std::vector<Eye>{{0, half, -s.stereoHalfAngle}, {half, half, s.stereoHalfAngle}}
                                           : std::vector<Eye>{{0, s.width, 0}};
    for (const Eye& eye : eyes) {
        // The part of the tile this eye draws.
        const int x0 = std::max(eye.x, t.x), x1 = std::min(eye.x + eye.width, t.x + t.width);
        const int y0 = std::max(0, t.y), y1 = std::min(s.height, t.y + t.height);
        if (x0 >= x1 || y0 >= y1) continue;
        // The same projection and a viewport of the whole eye, moved by the
        // tile's corner, where the viewport can be that large: then the
        // tile's pixels are the single picture's. Else a sub-frustum of a
        // guard band around the tile.
        int gx0 = eye.x, gx1 = eye.x + eye.width, gy0 = 0, gy1 = s.height;
        const bool whole = eye.width <= maxViewport[0] && s.height <= maxViewport[1];
        if (!whole) {
            gx0 = std::max(gx0, x0 - kTileGuard), gx1 = std::min(gx1, x1 + kTileGuard);
            gy0 = std::max(gy0, y0 - kTileGuard), gy1 = std::min(gy1, y1 + kTileGuard);
        }
        glViewport(gx0 - t.x, gy0 - t.y, gx1 - gx0, gy1 - gy0);
        SetProjection();
        if (!whole) {
            const double aspect = (s.stereo ? s.width / 2.0 : s.width) / s.height;
            const double top = kNear * std::tan(EffectiveFieldOfView(s.fieldOfView, aspect) * M_PI / 360);
            const double right = top * aspect;
            const auto at = [](double lo, double hi, int p, int from, int size) {
                return lo + (hi - lo) * (p - from) / size;
            };
            GLint mode = GL_MODELVIEW;
            glGetIntegerv(GL_MATRIX_MODE, &mode);
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            glFrustum(at(-right, right, gx0, eye.x, eye.width), at(-right, right, gx1, eye.x, eye.width),
                      at(-top, top, gy0, 0, s.height), at(-top, top, gy1, 0, s.height), kNear, kFar);
            glMatrixMode(static_cast<GLenum>(mode));
        }
        DrawEye(molecules, pass, eye.angle);
    }
    SetProjection();
}

void SceneRenderer::DrawEye(const list<std::unique_ptr<Molecule>>& molecules, PassMode pass, float eyeAngle) {
    // The plane stays fixed relative to this eye.
    scene_.clip.Load(eyeAngle);
    // Selection names run over every molecule in list order, drawn or not.
    unsigned firstName = 0;
    for (const auto& m : molecules) {
        if (m->AtomCount() > 0) DrawMolecule(*m, pass, eyeAngle, firstName);
        firstName += static_cast<unsigned>(m->AtomCount() + static_cast<int>(m->bonds.size()));
    }
    if (pass == PassMode::Draw) {
        DrawScaledOverlays(eyeAngle);
        if (scene_.settings.displayClipPlane) {
            const auto& c = scene_.settings.clipPlaneColor;
            const float colour[4] = {c[0], c[1], c[2], c[3]};
            scene_.clip.Display(colour);
        }
    }
}

void SceneRenderer::DrawSelection(const list<std::unique_ptr<Molecule>>& molecules, float eyeAngle) {
    shaderPass_ = UsesShaders(PassMode::Select);  // never: names need the 1.1 geometry
    DrawEye(molecules, PassMode::Select, eyeAngle);
}

void SceneRenderer::DrawMolecule(const Molecule& m, PassMode pass, float eyeAngle, unsigned firstName) {
    const ViewSettings& s = scene_.settings;
    DrawContext context{s, scene_.lighting, font_};

    glPushMatrix();
    glTranslated(m.displayOffset.x, -m.displayOffset.y, m.displayOffset.z);
    glRotatef(eyeAngle, 0, 1, 0);
    float rotation[16];
    RotationMatrix(m.trackball.orientation, rotation);
    glMultMatrixf(rotation);
    MakeCapTurn(rotation, eyeAngle, context.capTurn);
    const float scale = 4 / s.SceneRadius;
    if (s.clipView) {
        context.clip = &scene_.clip;
        std::copy(rotation, rotation + 16, context.rotation);
        context.translation = {m.trackball.translation[0], m.trackball.translation[1], m.trackball.translation[2]};
        context.scale = scale;
        context.clipCentre = {scene_.clipCentre.x, -scene_.clipCentre.y, scene_.clipCentre.z};
    }
    glScalef(scale, scale, scale);
    glTranslatef(m.trackball.translation[0], m.trackball.translation[1], m.trackball.translation[2]);

    if (pass == PassMode::Select) {
        context.naming = true;
        context.firstName = firstName;
        context.firstBondName = firstName + static_cast<unsigned>(m.AtomCount());
    } else if (m.showLabels) {
        DrawAtomLabels(m, context);
    }
    // Lines and points from the shader path's buffers where they could be made.
    const bool buffered = shaderPass_ && !context.naming;
    const auto lines = [&] {
        if (context.naming) DrawNamedPoints(m, context);
        else if (!(buffered && lines_->DrawWireFrame(m, context))) DrawWireFrame(m, context);
    };
    switch (m.renderMode) {
    case WireFrame: lines(); break;
    case Cpk:
        if (!(shaderPass_ && DrewWithShaders(impostors_->DrawCpk(m, context)))) DrawCpk(m, context);
        break;
    case Points:
        if (context.naming) DrawNamedPoints(m, context);
        else if (!(buffered && lines_->DrawPoints(m, context))) DrawPoints(m, context);
        break;
    case Sticks:
    case BallAndStick:
        if (!(shaderPass_ && DrewWithShaders(impostors_->DrawSticks(m, context)))) DrawSticks(m, context);
        break;
    case TraceSticks:
        if (!(shaderPass_ && DrewWithShaders(traceSticks_->Draw(*impostors_, m, context)))) DrawTraceSticks(m, context);
        break;
    case TraceWireFrame:
        if (!(buffered && lines_->DrawTraceWireFrame(m, context))) DrawTraceWireFrame(m, context);
        break;
    case TraceSpline:
        if (!(buffered && lines_->DrawTraceSpline(m, context))) DrawTraceSpline(m, context);
        break;
    case SolidRibbon:
    case FlatRibbon:
    case Tube:
    case TemperatureTube:
    case OccupancyTube:
        if (m.showWireFrame) lines();
        if (m.renderMode == FlatRibbon) DrawFlatRibbon(m, context, shaderPass_ ? meshes_.get() : nullptr);
        else DrawSolidRibbon(m, context, shaderPass_ ? meshes_.get() : nullptr);
        break;
    default: break;
    }
    if (context.naming) {
        glPopMatrix();
        return;
    }
    if (scene_.torsion.Shown(&m)) DrawSelectedBond(m, scene_.torsion, context);
    if (m.showMonitors) DrawMonitors(m, context);
    if (s.showAxes) DrawAxes(m, context);
    if (m.surface.built) DrawSurface(m, context, scene_.clip, shaderPass_ ? meshes_.get() : nullptr);
    glPopMatrix();
}

void SceneRenderer::DrawScaledOverlays(float eyeAngle) {
    const ViewSettings& s = scene_.settings;
    const bool hydrogenBonds = s.showHBonds && scene_.hydrogenBonds && !scene_.hydrogenBonds->Empty();
    if (scene_.markers.empty() && !hydrogenBonds) return;
    DrawContext context{s, scene_.lighting, font_};
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    MakeCapTurn(identity, eyeAngle, context.capTurn);
    glPushMatrix();
    // Turned with the eye like the molecules, so both halves of a stereo
    // pair put the markers on their atoms.
    glRotatef(eyeAngle, 0, 1, 0);
    const float scale = 4 / s.SceneRadius;
    glScalef(scale, scale, scale);
    DrawMeasurementMarkers(scene_.markers, context);
    if (hydrogenBonds) DrawHydrogenBonds(*scene_.hydrogenBonds, context);
    glPopMatrix();
}

void OnDocumentChanged(Scene& scene, const CVelmDoc& document) {
    AnimationState& a = scene.settings.animation;
    if (!document.Primary()) {
        a.animating = false;
        return;
    }
    scene.settings.SceneRadius = ComputeSceneRadius(document.Molecules(), scene.settings.scaleToFit);
    if (document.Molecules().Count() == 1) scene.clipCentre = document.Molecules()[0]->displayOffset;
    if (document.Primary()->FrameCount() > 0) {
        a.playing = a.animating = true;
        a.playDirection = 0;
    } else {
        a.playing = false;
        if (!a.spinning) a.animating = false;
    }
    scene.torsion.Clear();
    PrepareRibbonSizes(*document.Primary(), document.Primary()->renderMode);
}

}  // namespace velm
