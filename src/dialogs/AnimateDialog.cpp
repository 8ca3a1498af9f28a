#include "dialogs/AnimateDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>

#include "model/VelmDoc.h"

namespace velm {

CAnimateDialog::CAnimateDialog(QWidget* parent, CVelmDoc& document, AnimationState& animation,
                               std::function<void()> redraw)
    : QDialog(parent), document_(document), form_(document, animation, std::move(redraw)) {
    setWindowTitle(QStringLiteral("Animate"));
    setModal(false);
    slider = new QSlider(Qt::Horizontal, this);
    slider->setMinimumWidth(240);
    frame = new QLabel(this);
    frame->setMinimumWidth(frame->fontMetrics().horizontalAdvance(QStringLiteral("Frame: 000000")));
    reverse = new QPushButton(style()->standardIcon(QStyle::SP_MediaSeekBackward), QStringLiteral("Reverse"), this);
    stop = new QPushButton(style()->standardIcon(QStyle::SP_MediaStop), QStringLiteral("Stop"), this);
    forward = new QPushButton(style()->standardIcon(QStyle::SP_MediaPlay), QStringLiteral("Forward"), this);
    connect(forward, &QPushButton::clicked, this, [this] { form_.Forward(); });
    connect(stop, &QPushButton::clicked, this, [this] { form_.Stop(); });
    connect(reverse, &QPushButton::clicked, this, [this] { form_.Reverse(); });
    connect(slider, &QSlider::valueChanged, this, [this](int position) { form_.MoveSlider(position); });

    auto* top = new QHBoxLayout;
    top->addWidget(slider, 1);
    top->addWidget(frame);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reverse);
    buttons->addWidget(stop);
    buttons->addWidget(forward);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    Refresh();
    document_.AddObserver(*this);
}

CAnimateDialog::~CAnimateDialog() { document_.RemoveObserver(*this); }

void CAnimateDialog::DocumentChanged(DocumentChange what) {
    if (Any(what, DocumentChange::CurrentFrame | DocumentChange::Frames | DocumentChange::Molecules)) Refresh();
}

void CAnimateDialog::Refresh() {
    // Following the view is no request of the user's: the slider tells nobody.
    const QSignalBlocker quiet(slider);
    if (slider->maximum() != form_.SliderMaximum()) slider->setRange(0, form_.SliderMaximum());
    slider->setValue(form_.SliderPosition());
    frame->setText(QString::fromStdString(form_.FrameText()));
}

}  // namespace velm
