#pragma once
// The scene's subscription to its document, so that no front end has to
// remember what follows a change: after molecules came or went or a
// trajectory was read, the view's "document changed" work; while hydrogen
// bonds are shown, their recomputation whenever positions change.
#include "core/DocumentObserver.h"

namespace velm {

class CVelmDoc;
struct Scene;

class SceneDocumentLink : public DocumentObserver {
public:
    // Subscribes and brings the scene up to the document as it is now.
    SceneDocumentLink(Scene& scene, CVelmDoc& document);
    ~SceneDocumentLink() override;
    SceneDocumentLink(const SceneDocumentLink&) = delete;
    SceneDocumentLink& operator=(const SceneDocumentLink&) = delete;

    void DocumentChanged(DocumentChange what) override;

private:
    Scene& scene_;
    CVelmDoc& document_;
};

}  // namespace velm
