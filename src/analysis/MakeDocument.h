#pragma once
// The one way to make a document with every loading stage in place: the
// secondary-structure assignment and the frame superposition of the Align
// read mode. Batch mode, the window and the fuzz targets all start here.
#include <memory>

namespace velm {

class CVelmDoc;
class UiHooks;

std::unique_ptr<CVelmDoc> MakeDocument(UiHooks& ui);

}  // namespace velm
