#include "render/SceneDocumentLink.h"

#include "model/VelmDoc.h"
#include "render/Scene.h"
#include "render/SceneRenderer.h"
#include "surface/HydrogenBonds.h"

namespace velm {

SceneDocumentLink::SceneDocumentLink(Scene& scene, CVelmDoc& document) : scene_(scene), document_(document) {
    document_.AddObserver(*this);
    scene_.hydrogenBonds = &document_.HydrogenBonds();
    OnDocumentChanged(scene_, document_);
}

SceneDocumentLink::~SceneDocumentLink() {
    document_.RemoveObserver(*this);
    scene_.hydrogenBonds = nullptr;
}

void SceneDocumentLink::DocumentChanged(DocumentChange what) {
    if (Any(what, DocumentChange::Molecules | DocumentChange::Frames)) OnDocumentChanged(scene_, document_);
    const DocumentChange moved = DocumentChange::Molecules | DocumentChange::Frames | DocumentChange::CurrentFrame |
                                 DocumentChange::Coordinates;
    if (scene_.settings.showHBonds && Any(what, moved)) RecomputeHydrogenBonds(document_);
}

}  // namespace velm
