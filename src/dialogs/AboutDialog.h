#pragma once
// "About Velm".
#include <QDialog>

#include "dialogs/AboutText.h"

namespace velm {

class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    CAboutDialog(QWidget* parent, const AboutFacts& facts);
};

}  // namespace velm
