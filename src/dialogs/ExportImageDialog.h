#pragma once
// The size of an exported picture, modal: "Width:" and "Height:" under
// "Output dimensions (in pixels)". OK hands the form to `ok`, which exports
// and says whether the dialog closes.
#include <QDialog>

#include <functional>

#include "dialogs/ExportImageForm.h"

class QLineEdit;

namespace velm {

class CExportImageDialog : public QDialog {
    Q_OBJECT
public:
    CExportImageDialog(QWidget* parent, const ExportImageForm& opened, std::function<bool(const ExportImageForm&)> ok);
    ExportImageForm Form() const;
    void accept() override;

    QLineEdit *width, *height;

private:
    std::function<bool(const ExportImageForm&)> ok_;
};

}  // namespace velm
