#include "model/RadiusTable.h"

namespace velm {

ElementRadii DefaultElementRadii() {
    ElementRadii r;
    for (int e = 0; e < kElementCount; ++e) r[e] = GetElementInfo(e).radius;
    return r;
}

}  // namespace velm
