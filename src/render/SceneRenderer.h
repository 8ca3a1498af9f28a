#pragma once
// The view's renderer: the GL state, projection, shared display lists and
// label font of one context, and the render pass that draws every molecule
// of the document in its representation. It draws into whatever context is
// current: the window's, or an off-screen one for pictures and movies.
#include <memory>
#include <optional>

#include "core/List.h"
#include "render/DisplayLists.h"
#include "render/GlyphFont.h"
#include "render/ImpostorShaders.h"
#include "render/Impostors.h"
#include "render/MeshBuffers.h"
#include "render/LineBuffers.h"
#include "render/Scene.h"
#include "render/TraceStickImpostors.h"

namespace velm {

class CVelmDoc;
class Molecule;
struct DrawContext;

enum class PassMode : int { Draw = 0, Select = 1 };

// The part of a picture larger than one framebuffer that the framebuffer
// holds: a rectangle of the view (settings.width x height), in pixels from
// its bottom left.
struct PictureTile {
    int x = 0, y = 0, width = 0, height = 0;
};
// Pixels beyond a tile that its drawing covers when the whole view cannot
// be one viewport, so that points, wide lines and labels reaching in from a
// neighbour's side are drawn in it too.
inline constexpr int kTileGuard = 256;

class SceneRenderer {
public:
    explicit SceneRenderer(Scene& scene);
    ~SceneRenderer();  // in its context, which must be current

    // GL initialisation in the current context: display lists, depth, culling,
    // lights and material, fog, the label font, blending, colour material and
    // the base model-view 4 units in front of the eye; then the line light on.
    // A renderer belongs to one context: called again there, it rebuilds only
    // the lists and glyphs whose settings changed.
    void Initialise();

    // Stores the size and sets the projection; ignored unless both are positive.
    void Resize(int width, int height);
    // Perspective of the field of view, aspect (stereo ? width / 2 : width) /
    // height, near 0.5, far 7.
    void SetProjection();

    // Draws (mode 0) or, for picking, names (mode 1) every molecule with
    // atoms; stereo draws each half turned by its eye's angle. Any other mode
    // throws "Unknown rendering mode!".
    void RenderPass(const list<std::unique_ptr<Molecule>>& molecules, int mode);
    // While set, the render pass draws only this tile of the view into the
    // framebuffer's corner, through the part of each eye's frustum it covers.
    void SetTile(std::optional<PictureTile> tile) { tile_ = tile; }

    // Rebuilds the lists whose resolution changed, at once.
    void UpdateResolutions();
    // Rebuilds the 256 label lists for the scene's font and font scale.
    void RebuildFont();
    // Fog and line smoothing follow their toggles at once; the clear and fog
    // colours follow the background.
    void ApplyDepthCue();
    void ApplyLineAlias();
    void ApplyBackground();

    // The selection pass of one eye, into the viewport and projection the
    // caller set: picking in either half of a stereo pair.
    void DrawSelection(const list<std::unique_ptr<Molecule>>& molecules, float eyeAngle);

    const ViewSettings& Settings() const { return scene_.settings; }
    Scene& GetScene() { return scene_; }
    const GlyphFont& Font() const { return font_; }
    const DisplayLists* Lists() const { return lists_ ? &*lists_ : nullptr; }

    // The one place the drawing path is chosen: shaders for a drawing pass
    // into the framebuffer when the settings ask for them and this context
    // runs them (probed, and the programs built, once); else OpenGL 1.1,
    // which picking and PostScript feedback always take. A failed build is
    // reported once through the scene's fallback notice.
    bool UsesShaders(PassMode pass);
    // The shader path's buffers, once built; null on the 1.1 path.
    const ImpostorRenderer* Impostors() const { return impostors_.get(); }
    // Its ribbons, tubes and surfaces; null on the 1.1 path.
    const MeshBuffers* Meshes() const { return meshes_.get(); }
    const LineBuffers* Lines() const { return lines_.get(); }
    // Other shader sources, buffer sizes or no occlusion culling for the
    // probe, before the first pass (tests force a failure, many buffers, or
    // every sphere drawn).
    void SetImpostorSources(const ImpostorSources& sources, std::size_t perBuffer = kImpostorsPerBuffer,
                            bool cull = true) {
        sources_ = &sources;
        perBuffer_ = perBuffer;
        cull_ = cull;
    }
    // Smaller mesh buffers, before the first pass (tests split meshes).
    void SetMeshVerticesPerBuffer(std::size_t vertices) { meshVertices_ = vertices; }
    void SetLineVerticesPerBuffer(std::size_t vertices) { lineVerticesPerBuffer_ = vertices; }

private:
    void DrawEye(const list<std::unique_ptr<Molecule>>& molecules, PassMode mode, float eyeAngle);
    void DrawMolecule(const Molecule& molecule, PassMode mode, float eyeAngle, unsigned firstName);
    void DrawScaledOverlays(float eyeAngle);
    void RenderTile(const list<std::unique_ptr<Molecule>>& molecules, PassMode pass);
    // Passes on whether the impostors drew; the first time they could not
    // (a program for other lights failed), says so.
    bool DrewWithShaders(bool drew);


    struct BuiltFont {
        LabelFontDescription description;
        int numerator, denominator;
    };

    Scene& scene_;
    std::optional<DisplayLists> lists_;
    GlyphFont font_;
    std::optional<BuiltFont> fontBuilt_;
    std::optional<PictureTile> tile_;
    const ImpostorSources* sources_ = &DefaultImpostorSources();
    std::size_t perBuffer_ = kImpostorsPerBuffer;
    bool cull_ = true;
    std::size_t meshVertices_ = kMeshVerticesPerBuffer;
    bool shadersTried_ = false, failureTold_ = false;
    std::unique_ptr<ImpostorRenderer> impostors_;
    std::unique_ptr<MeshBuffers> meshes_;
    std::size_t lineVerticesPerBuffer_ = kLineVerticesPerBuffer;
    std::unique_ptr<LineBuffers> lines_;
    std::unique_ptr<TraceStickImpostors> traceSticks_;
    bool shaderPass_ = false;  // the current pass draws through impostors_
};

// What the view does after molecules came or went or a trajectory was read
// (SceneDocumentLink calls it): the scene radius, the clip centre, playing a
// trajectory, the torsion selection and the primary molecule's ribbon sizes.
void OnDocumentChanged(Scene& scene, const CVelmDoc& document);

}  // namespace velm
