#pragma once
// How views and tool windows learn what changed in the document, and that
// the scene moved, without the document knowing who they are.
#include <algorithm>
#include <vector>

namespace velm {

// What one document operation changed. An operation announces the union of
// its changes once, when it ends (also when it ends with an error).
enum class DocumentChange : unsigned {
    None = 0,
    Molecules = 1u << 0,      // molecules added or removed, or another one made primary
    Frames = 1u << 1,         // trajectory frames read or dropped: the animation's frame count
    CurrentFrame = 1u << 2,   // the animation shows another frame
    Coordinates = 1u << 3,    // atoms moved within their molecule (superposition, torsion)
    Display = 1u << 4,        // representations, colours, radii, labels, surfaces, values
    Selection = 1u << 5,      // selected or fixed/free molecules
    HydrogenBonds = 1u << 6,  // the displayed hydrogen bonds were refilled
    Title = 1u << 7,
};

constexpr DocumentChange operator|(DocumentChange a, DocumentChange b) {
    return static_cast<DocumentChange>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr DocumentChange& operator|=(DocumentChange& a, DocumentChange b) { return a = a | b; }
// Whether `set` holds any of `kinds`.
constexpr bool Any(DocumentChange set, DocumentChange kinds) {
    return (static_cast<unsigned>(set) & static_cast<unsigned>(kinds)) != 0;
}

class DocumentObserver {
public:
    virtual ~DocumentObserver() = default;
    virtual void DocumentChanged(DocumentChange what) = 0;
    // The scene turned or moved (a drag, a spin step, a molecule's trackball):
    // scene coordinates changed while the document's own did not.
    virtual void SceneMoved() {}
};

// The observers of one document, told in the order they subscribed. An
// observer may subscribe or leave while being told.
class DocumentObservers {
public:
    void Add(DocumentObserver& o) { observers_.push_back(&o); }
    void Remove(DocumentObserver& o) { std::erase(observers_, &o); }

    template <class F>
    void ForEach(F tell) const {
        const std::vector<DocumentObserver*> now = observers_;
        for (DocumentObserver* o : now)
            if (std::find(observers_.begin(), observers_.end(), o) != observers_.end()) tell(*o);
    }

private:
    std::vector<DocumentObserver*> observers_;
};

}  // namespace velm
