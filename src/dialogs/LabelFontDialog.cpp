#include "dialogs/LabelFontDialog.h"

#include <QFontDialog>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velm {

QFont ToQFont(const LabelFontDescription& d) {
    QFont font(QString::fromStdString(d.face));
    font.setPixelSize(std::max(1, std::abs(d.height)));
    font.setWeight(static_cast<QFont::Weight>(std::clamp(d.weight, 100, 900)));
    font.setItalic(d.italic);
    return font;
}

LabelFontDescription FromQFont(const QFont& font, double dotsPerInch) {
    LabelFontDescription d;
    d.face = font.family().toStdString();
    // The dialog offers point sizes; labels are measured in pixels.
    const int pixels = font.pixelSize() > 0 ? font.pixelSize()
                                            : static_cast<int>(std::lround(font.pointSizeF() * dotsPerInch / 72));
    d.height = -std::max(1, pixels);
    d.weight = font.weight();
    d.italic = font.italic();
    return d;
}

bool ChooseLabelFont(QWidget* parent, LabelFontDescription& description) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, ToQFont(description), parent, QStringLiteral("Font"),
                                              QFontDialog::DontUseNativeDialog);
    if (!ok) return false;
    description = FromQFont(chosen, parent ? parent->logicalDpiY() : 96);
    return true;
}

}  // namespace velm
