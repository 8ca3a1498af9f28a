#pragma once
// "&Font ...": the label font chosen with the toolkit's font dialog.
#include <QFont>

#include "render/GlyphFont.h"

class QWidget;

namespace velm {

// The description as a font of the toolkit and back. A negative height is
// the character height in pixels; the toolkit's weights run on the same
// 100..900 scale.
QFont ToQFont(const LabelFontDescription& description);
LabelFontDescription FromQFont(const QFont& font, double dotsPerInch);

// Shows the font dialog on the description; true, with the description
// changed, on OK.
bool ChooseLabelFont(QWidget* parent, LabelFontDescription& description);

}  // namespace velm
