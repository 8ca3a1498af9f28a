#pragma once
// Trace sticks on the shader path: each molecule's backbone trace held as a
// molecule of its own (the trace atoms in their colours, and a bond from
// each to the next along a run), which the impostor renderer draws as
// sticks: a cylinder of the stick bond radius in the first atom's colour
// between consecutive trace atoms, a sphere of the stick atom radius at each.
// The trace is refreshed every frame (one atom per residue), so the impostor
// buffers see a new frame as new positions only.
#include <map>
#include <memory>

namespace velm {

class ImpostorRenderer;
class Molecule;
struct DrawContext;

class TraceStickImpostors {
public:
    TraceStickImpostors();
    ~TraceStickImpostors();
    // False, with nothing drawn, when the impostors could not draw.
    bool Draw(ImpostorRenderer& impostors, const Molecule& molecule, const DrawContext& context);
    // After a frame: the traces of molecules it did not draw this way go.
    void EndFrame();

private:
    struct Entry {
        std::unique_ptr<Molecule> trace;  // kept at one address: the impostors' buffers are found by it
        bool drawn = false;
    };
    std::map<const Molecule*, Entry> entries_;
};

}  // namespace velm
