#include "dialogs/AtomRadiusDialog.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "model/ElementType.h"
#include "model/VelmDoc.h"

namespace velm {

CAtomRadiusDialog::CAtomRadiusDialog(QWidget* parent, CVelmDoc& document, UiHooks& ui)
    : QDialog(parent), document_(document), ui_(ui), form_(document) {
    setWindowTitle(QString::fromLatin1(AtomRadiusForm::kTitle));
    setModal(false);
    auto* radios = new QVBoxLayout;
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < kRadiusSchemes; ++i) {
        schemes[static_cast<size_t>(i)] =
            new QRadioButton(QString::fromLatin1(AtomRadiusForm::SchemeText(static_cast<RadiusScheme>(i))), this);
        group->addButton(schemes[static_cast<size_t>(i)], i);
        radios->addWidget(schemes[static_cast<size_t>(i)]);
    }
    radios->addStretch(1);
    connect(group, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (!on || showing_) return;
        form_.Choose(static_cast<RadiusScheme>(id), document_);
        Show();
    });
    elements = new QListWidget(this);
    for (int e = 0; e < kElementCount; ++e) elements->addItem(QString::fromLatin1(GetElementInfo(e).name));
    connect(elements, &QListWidget::currentRowChanged, this, [this](int row) {
        if (showing_ || row < 0) return;
        form_.SelectElement(row, document_);
        Show();
    });
    atomNumber = new QLineEdit(this);
    connect(atomNumber, &QLineEdit::textEdited, this, [this](const QString& t) {
        form_.TypeAtom(t.toStdString(), document_);
        Show();
    });
    radius = new QLineEdit(this);
    connect(radius, &QLineEdit::textEdited, this, [this](const QString& t) { form_.TypeRadius(t.toStdString()); });

    apply = new QPushButton(QStringLiteral("Apply"), this);
    ok = new QPushButton(QStringLiteral("OK"), this);
    cancel = new QPushButton(QStringLiteral("Cancel"), this);
    ok->setDefault(true);
    connect(apply, &QPushButton::clicked, this, [this] {
        form_.Apply(document_, ui_);
        Show();
    });
    // A refused radius keeps the dialog open.
    connect(ok, &QPushButton::clicked, this, [this] {
        if (form_.Apply(document_, ui_)) close();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("Atom number"), this), 0, 0);
    fields->addWidget(atomNumber, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("Radius:"), this), 1, 0);
    fields->addWidget(radius, 1, 1);
    fields->addWidget(new QLabel(QStringLiteral("(Angstroms)"), this), 1, 2);
    auto* right = new QVBoxLayout;
    right->addWidget(elements);
    right->addLayout(fields);
    auto* top = new QHBoxLayout;
    top->addLayout(radios);
    top->addLayout(right);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(apply);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    Show();
    document_.AddObserver(*this);
}

CAtomRadiusDialog::~CAtomRadiusDialog() { document_.RemoveObserver(*this); }

void CAtomRadiusDialog::Show() {
    showing_ = true;
    schemes[static_cast<size_t>(form_.Scheme())]->setChecked(true);
    elements->setCurrentRow(form_.Element());
    elements->setEnabled(form_.Enabled(AtomRadiusForm::ElementList));
    atomNumber->setEnabled(form_.Enabled(AtomRadiusForm::AtomNumber));
    radius->setEnabled(form_.Enabled(AtomRadiusForm::RadiusValue));
    if (atomNumber->text().toStdString() != form_.AtomText()) atomNumber->setText(QString::fromStdString(form_.AtomText()));
    if (radius->text().toStdString() != form_.RadiusText()) radius->setText(QString::fromStdString(form_.RadiusText()));
    const bool primary = document_.Primary() != nullptr;
    apply->setEnabled(primary);
    ok->setEnabled(primary);
    showing_ = false;
}

void CAtomRadiusDialog::DocumentChanged(DocumentChange what) {
    if (Any(what, DocumentChange::Molecules)) form_.TypeAtom(form_.AtomText(), document_);
    Show();
}

}  // namespace velm
