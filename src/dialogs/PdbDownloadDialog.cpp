#include "dialogs/PdbDownloadDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velm {

namespace {
QComboBox* History(QWidget* parent, const list<std::string>& entries) {
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& e : entries) box->addItem(QString::fromStdString(e));
    box->setCurrentIndex(0);
    return box;
}
}  // namespace

CPdbDownloadDialog::CPdbDownloadDialog(QWidget* parent, PdbHistory& history, UiHooks& ui)
    : QDialog(parent), history_(history), ui_(ui) {
    setWindowTitle(QString::fromLatin1(PdbDownloadForm::kTitle));
    server = History(this, history.servers);
    id = History(this, history.ids);
    request = new QLineEdit(QString::fromLatin1(kDefaultPdbTemplate), this);
    request->setMinimumWidth(420);
    mmcif = new QCheckBox(QStringLiteral("Download as mmCIF"), this);
    const auto offerMmcif = [this] {
        PdbDownloadForm f;
        f.templateText = request->text().toStdString();
        mmcif->setEnabled(f.MmcifOffered());
    };
    connect(request, &QLineEdit::textChanged, this, offerMmcif);
    offerMmcif();
    progress = new QLabel(this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Server:"), server);
    form->addRow(QStringLiteral("pdb ID:"), id);
    form->addRow(QStringLiteral("Format for database request:"), request);
    form->addRow(mmcif);
    form->addRow(progress);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok = buttons->button(QDialogButtonBox::Ok);
    // The cursor waits over the dialog, not over "Cancel".
    buttons->button(QDialogButtonBox::Cancel)->setCursor(Qt::ArrowCursor);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    poll_.setInterval(50);
    connect(&poll_, &QTimer::timeout, this, &CPdbDownloadDialog::Poll);
}

CPdbDownloadDialog::~CPdbDownloadDialog() = default;

PdbDownloadForm CPdbDownloadDialog::Form() const {
    PdbDownloadForm f;
    f.server = server->currentText().toStdString();
    f.id = id->currentText().toStdString();
    f.templateText = request->text().toStdString();
    f.mmcif = mmcif->isEnabled() && mmcif->isChecked();
    return f;
}

void CPdbDownloadDialog::Downloading(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{server, id, request, mmcif, ok}) w->setEnabled(!on);
    if (!on) mmcif->setEnabled(Form().MmcifOffered());
    if (on) {
        setCursor(Qt::WaitCursor);
        poll_.start();
    } else {
        unsetCursor();
        poll_.stop();
    }
}

void CPdbDownloadDialog::accept() {
    if (job_) return;
    started_ = Form();
    job_ = started_.Start(ui_);
    if (!job_) return;
    progress->clear();
    Downloading(true);
}

void CPdbDownloadDialog::Poll() {
    if (!job_) return;
    const std::string text = job_->ProgressText();
    if (!text.empty()) progress->setText(QString::fromStdString(text));
    if (job_->Poll() == PdbDownloadJob::State::Running) return;
    job_->Wait();
    Downloading(false);
    if (started_.Finished(*job_, history_, ui_)) {
        QDialog::accept();
        return;
    }
    job_.reset();
    // Cancelled from "Cancel" or the window's close: the dialog goes too.
    if (cancelling_) QDialog::reject();
}

void CPdbDownloadDialog::reject() {
    if (job_ && job_->Poll() == PdbDownloadJob::State::Running) {
        // The worker ends at its next report; Poll closes the dialog then.
        cancelling_ = true;
        job_->Cancel();
        return;
    }
    job_.reset();
    QDialog::reject();
}

std::unique_ptr<PdbDownloadJob> CPdbDownloadDialog::TakeDownload() { return std::move(job_); }

}  // namespace velm
