#include "dialogs/ColourChooserDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

#include "model/SequenceTool.h"

namespace velm {

namespace {
// A caption written bottom to top.
class UprightCaption : public QWidget {
public:
    UprightCaption(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
        font_ = QFont(QStringLiteral("Arial"));
        font_.setPixelSize(12);
        const QFontMetrics metrics(font_);
        setFixedSize(metrics.height() + 4, metrics.horizontalAdvance(text_) + 8);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setFont(font_);
        p.translate(0, height());
        p.rotate(-90);
        p.drawText(QRect(0, 0, height(), width()), Qt::AlignCenter, text_);
    }

private:
    QString text_;
    QFont font_;
};
}  // namespace

CColourChooserDialog::CColourChooserDialog(QWidget* parent, Rgba colour, std::function<void(int, Rgba)> told,
                                           bool alphaUsed)
    : QDialog(parent), form_(colour, alphaUsed), told_(std::move(told)) {
    setWindowTitle(QString::fromLatin1(ColourForm::kTitle));
    setModal(false);
    auto* grid = new QGridLayout;
    for (size_t i = 0; i < 4; ++i) {
        const int channel = static_cast<int>(i);
        sliders[i] = new QSlider(Qt::Horizontal, this);
        sliders[i]->setRange(0, 255);
        sliders[i]->setMinimumWidth(160);
        edits[i] = new QSpinBox(this);
        edits[i]->setRange(0, 255);
        connect(sliders[i], &QSlider::valueChanged, this, [this, channel](int v) { Moved(channel, v); });
        connect(edits[i], &QSpinBox::valueChanged, this, [this, channel](int v) { Moved(channel, v); });
        grid->addWidget(new QLabel(QString::fromLatin1(ColourForm::kChannelNames[i]), this), channel, 1);
        grid->addWidget(sliders[i], channel, 2);
        grid->addWidget(edits[i], channel, 3);
        sliders[i]->setEnabled(form_.ChannelEnabled(channel));
        edits[i]->setEnabled(form_.ChannelEnabled(channel));
    }
    grid->addWidget(new UprightCaption(QString::fromLatin1(ColourForm::kCaption), this), 0, 0, 4, 1);
    ok = new QPushButton(QStringLiteral("OK"), this);
    cancel = new QPushButton(QStringLiteral("Cancel"), this);
    apply = new QPushButton(QStringLiteral("Apply"), this);
    automaticApply = new QCheckBox(QStringLiteral("Automatic apply"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { told_(ChooserOk, Colour()); });
    connect(cancel, &QPushButton::clicked, this, &CColourChooserDialog::reject);
    connect(apply, &QPushButton::clicked, this, [this] { told_(ChooserApply, Colour()); });
    connect(automaticApply, &QCheckBox::toggled, this, [this](bool on) {
        form_.automaticApply = on;
        apply->setEnabled(form_.ApplyEnabled());
    });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(automaticApply);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(apply);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    Show();
}

void CColourChooserDialog::Show() {
    showing_ = true;
    for (size_t i = 0; i < 4; ++i) {
        sliders[i]->setValue(form_.Channel(static_cast<int>(i)));
        edits[i]->setValue(form_.Channel(static_cast<int>(i)));
    }
    showing_ = false;
}

void CColourChooserDialog::Moved(int channel, int value) {
    if (showing_) return;
    const bool applyNow = form_.Move(channel, value);
    Show();  // slider and edit of the channel agree
    if (applyNow) told_(ChooserApply, Colour());
}

void CColourChooserDialog::SetColour(Rgba colour) {
    form_.SetColour(colour);
    Show();
}

void CColourChooserDialog::Dismiss() {
    dismissed_ = true;
    close();
}

void CColourChooserDialog::TellCancel() {
    if (dismissed_) return;
    dismissed_ = true;
    told_(ChooserCancel, Colour());
}

void CColourChooserDialog::reject() {
    TellCancel();
    QDialog::reject();
}

void CColourChooserDialog::closeEvent(QCloseEvent* event) {
    // The close box is Cancel; a close the owner asked for tells it nothing.
    TellCancel();
    event->accept();
}

}  // namespace velm
