#pragma once
// The end of a frame for a renderer that keeps GL buffers per molecule: the
// entries of molecules it did not draw this frame are released and go, the
// others are marked undrawn for the next frame.
#include <map>

namespace velm {

template <typename Key, typename Entry, typename Release>
void DropUndrawnEntries(std::map<Key, Entry>& entries, Release release) {
    for (auto it = entries.begin(); it != entries.end();) {
        if (!it->second.drawn) {
            release(it->second);
            it = entries.erase(it);
        } else {
            it->second.drawn = false;
            ++it;
        }
    }
}

}  // namespace velm
