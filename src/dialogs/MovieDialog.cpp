#include "dialogs/MovieDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>

#include "core/UiHooks.h"
#include "output/VelmMovie.h"

namespace velm {

// The recording's progress in the dialog's bar; "Cancel" is the only input
// the modal dialog takes meanwhile. Everything else goes to the window's hooks.
class MovieDialog::Progress : public UiHooks {
public:
    Progress(MovieDialog& dialog, UiHooks& ui) : dialog_(dialog), ui_(ui) {}
    void Message(std::string_view text) override { ui_.Message(text); }
    bool AskYesNo(std::string_view question) override { return ui_.AskYesNo(question); }
    void SetStatusText(std::string_view text) override { ui_.SetStatusText(text); }
    void ProgressBegin(std::string_view, int range) override {
        dialog_.progress->setRange(0, range);
        dialog_.progress->setValue(0);
    }
    void ProgressStep() override { ProgressSet(dialog_.progress->value() + 1); }
    void ProgressSet(int position) override { dialog_.progress->setValue(position); }
    void ProgressEnd() override {}
    bool ProgressCancelled() override {
        QApplication::processEvents();
        return dialog_.cancelled_;
    }
    void BeginWaitCursor() override { ui_.BeginWaitCursor(); }
    void EndWaitCursor() override { ui_.EndWaitCursor(); }

private:
    MovieDialog& dialog_;
    UiHooks& ui_;
};

std::string ChooseMovieCodec(QWidget* parent, const std::string& previous) {
    QDialog chooser(parent);
    chooser.setWindowTitle(QString::fromLatin1(MovieForm::kCodecTitle));
    auto* codecs = new QListWidget(&chooser);
    const std::vector<MovieCodec> available = AvailableMovieCodecs();
    for (const MovieCodec& c : available) {
        codecs->addItem(QString::fromStdString(c.description));
        if (c.name == previous) codecs->setCurrentRow(codecs->count() - 1);
    }
    if (codecs->currentRow() < 0) codecs->setCurrentRow(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &chooser);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &chooser, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &chooser, &QDialog::reject);
    QObject::connect(codecs, &QListWidget::itemDoubleClicked, &chooser, &QDialog::accept);
    auto* layout = new QVBoxLayout(&chooser);
    layout->addWidget(codecs);
    layout->addWidget(buttons);
    if (chooser.exec() != QDialog::Accepted || codecs->currentRow() < 0) return {};
    return available[static_cast<size_t>(codecs->currentRow())].name;
}

MovieDialog::MovieDialog(QWidget* parent, CVelmDoc& document, OffscreenRenderer& renderer, int viewWidth,
                         int viewHeight, UiHooks& ui)
    : QDialog(parent), document_(document), renderer_(renderer), ui_(ui) {
    setWindowTitle(QString::fromLatin1(MovieForm::kTitle));
    const MovieForm opened = MovieForm::For(document, viewWidth, viewHeight);
    name = new QLineEdit(this);
    name->setMinimumWidth(280);
    auto* browse = new QPushButton(QStringLiteral("Browse ..."), this);
    connect(browse, &QPushButton::clicked, this, &MovieDialog::Browse);
    auto* file = new QHBoxLayout;
    file->addWidget(name, 1);
    file->addWidget(browse);
    const auto spin = [this](int low, int high, int value) {
        auto* box = new QSpinBox(this);
        box->setRange(low, high);
        box->setValue(value);
        return box;
    };
    width = spin(1, MovieForm::kMaxSide, opened.width);
    height = spin(1, MovieForm::kMaxSide, opened.height);
    // Any number may be typed into the range; "Record" says what is wrong with it.
    start = spin(std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), opened.start);
    stop = spin(std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), opened.stop);
    entire = new QRadioButton(QStringLiteral("Render entire trajectory"), this);
    selection = new QRadioButton(QStringLiteral("Render selection"), this);
    connect(entire, &QRadioButton::toggled, this, [this](bool all) {
        start->setEnabled(!all);
        stop->setEnabled(!all);
    });
    entire->setChecked(true);
    start->setEnabled(false);
    stop->setEnabled(false);
    depth = new QComboBox(this);
    for (const char* d : MovieForm::kDepths) depth->addItem(QString::fromLatin1(d));
    rate = spin(1, kMaxMovieRate, opened.rate);
    updateSurface = new QCheckBox(QStringLiteral("Update Molecular Surface Every Step"), this);
    progress = new QProgressBar(this);
    progress->setRange(0, 1);
    progress->setValue(0);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Output file name"), file);
    form->addRow(QStringLiteral("Width:"), width);
    form->addRow(QStringLiteral("Height:"), height);
    form->addRow(entire);
    form->addRow(selection);
    form->addRow(QStringLiteral("Start: "), start);
    form->addRow(QStringLiteral("Stop: "), stop);
    form->addRow(QStringLiteral("Color depth:"), depth);
    form->addRow(QStringLiteral("Frame Rate: "), rate);
    form->addRow(updateSurface);
    form->addRow(progress);
    auto* buttons = new QDialogButtonBox(this);
    record = buttons->addButton(QStringLiteral("Record"), QDialogButtonBox::AcceptRole);
    cancel = buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void MovieDialog::Browse() {
    QFileDialog dialog(this, QString::fromLatin1(MovieForm::kBrowseTitle), QDir::currentPath(),
                       QString::fromLatin1(MovieForm::kBrowseFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("avi"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        name->setText(dialog.selectedFiles().front());
}

MovieForm MovieDialog::Form() const {
    MovieForm f;
    f.path = name->text().toStdString();
    f.width = width->value();
    f.height = height->value();
    f.entire = entire->isChecked();
    f.start = start->value();
    f.stop = stop->value();
    f.depth = depth->currentIndex() == 1 ? 24 : 16;
    f.rate = rate->value();
    f.updateSurface = updateSurface->isChecked();
    return f;
}

void MovieDialog::accept() {
    if (recording_) return;
    const MovieForm f = Form();
    // The range and values are refused before a codec is asked for.
    if (const std::string problem = f.Problem(document_); !problem.empty()) {
        ui_.Message(problem);
        return;
    }
    const std::string codec = ChooseMovieCodec(this, codec_);
    if (codec.empty()) return;
    codec_ = codec;
    // Only "Cancel" takes input while the frames are written.
    const QList<QWidget*> controls = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* w : controls)
        if (w != cancel && w != progress && w != cancel->parentWidget()) w->setEnabled(false);
    record->setEnabled(false);
    recording_ = true;
    cancelled_ = false;
    // The window behind would draw every recorded frame a second time while
    // the dialog takes its events: it waits until the movie is done.
    QWidget* behind = parentWidget() ? parentWidget()->window() : nullptr;
    if (behind) behind->setUpdatesEnabled(false);
    Progress hooks(*this, ui_);
    const MovieForm::Outcome outcome = f.Record(renderer_, document_, codec, hooks);
    if (behind) behind->setUpdatesEnabled(true);
    recording_ = false;
    for (QWidget* w : controls) w->setEnabled(true);
    record->setEnabled(true);
    start->setEnabled(!entire->isChecked());
    stop->setEnabled(!entire->isChecked());
    if (outcome == MovieForm::Outcome::Recorded || outcome == MovieForm::Outcome::Failed) {
        QDialog::accept();
        return;
    }
    progress->setValue(0);
}

void MovieDialog::reject() {
    if (recording_) {
        cancelled_ = true;
        return;
    }
    QDialog::reject();
}

}  // namespace velm
