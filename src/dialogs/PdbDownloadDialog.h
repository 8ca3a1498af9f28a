#pragma once
// "Download from PDB Database", modal: the server and id drop-downs, the
// request template and the progress of the download, which runs on a worker
// thread so that the dialog keeps repainting and "Cancel" stops it.
#include <QDialog>
#include <QTimer>

#include <memory>

#include "dialogs/PdbDownloadForm.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velm {

class CPdbDownloadDialog : public QDialog {
    Q_OBJECT
public:
    CPdbDownloadDialog(QWidget* parent, PdbHistory& history, UiHooks& ui);
    ~CPdbDownloadDialog() override;
    PdbDownloadForm Form() const;
    void accept() override;
    // While downloading: stops the download, then closes.
    void reject() override;
    // After the dialog was accepted: the downloaded entry, for reading.
    std::unique_ptr<PdbDownloadJob> TakeDownload();

    QComboBox *server, *id;
    QLineEdit* request;
    QCheckBox* mmcif;
    QLabel* progress;
    QPushButton* ok;

private:
    void Poll();
    void Downloading(bool on);

    PdbHistory& history_;
    UiHooks& ui_;
    PdbDownloadForm started_;
    std::unique_ptr<PdbDownloadJob> job_;
    QTimer poll_;
    bool cancelling_ = false;
};

}  // namespace velm
