#include "dialogs/CustomColoursDialog.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "model/ElementType.h"
#include "model/SecondaryStructureCode.h"
#include "model/VelmDoc.h"

namespace velm {

CCustomColoursDialog::CCustomColoursDialog(QWidget* parent, CVelmDoc& document, UiHooks& ui)
    : QDialog(parent), document_(document), ui_(ui), form_(document) {
    setWindowTitle(QString::fromLatin1(CustomColoursForm::kTitle));
    setModal(false);

    auto* radios = new QVBoxLayout;
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < kColourSchemes; ++i) {
        const auto scheme = static_cast<ColourScheme>(i);
        schemes[static_cast<size_t>(i)] = new QRadioButton(QString::fromLatin1(CustomColoursForm::SchemeText(scheme)), this);
        group->addButton(schemes[static_cast<size_t>(i)], i);
        radios->addWidget(schemes[static_cast<size_t>(i)]);
    }
    radios->addStretch(1);
    connect(group, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (!on || showing_) return;
        form_.Choose(static_cast<ColourScheme>(id), document_);
        Show();
    });

    elements = new QListWidget(this);
    for (int e = 0; e < kElementCount; ++e) elements->addItem(QString::fromLatin1(GetElementInfo(e).name));
    structures = new QListWidget(this);
    const std::string_view* names = SecondaryStructureListNames();
    for (int row = 0; row < kSecondaryStructureListCount; ++row)
        structures->addItem(QString::fromLatin1(names[row].data(), static_cast<qsizetype>(names[row].size())));
    connect(elements, &QListWidget::currentRowChanged, this, [this](int row) {
        if (showing_ || row < 0) return;
        form_.SelectElement(row, document_);
        Show();
    });
    connect(structures, &QListWidget::currentRowChanged, this, [this](int row) {
        if (showing_ || row < 0) return;
        form_.SelectStructure(row, document_);
        Show();
    });

    atomNumber = new QLineEdit(this);
    residueNumber = new QLineEdit(this);
    connect(atomNumber, &QLineEdit::textEdited, this, [this](const QString& t) {
        form_.TypeAtom(t.toStdString(), document_);
        Show();
    });
    connect(residueNumber, &QLineEdit::textEdited, this, [this](const QString& t) {
        form_.TypeResidue(t.toStdString(), document_);
        Show();
    });

    auto* colourGrid = new QGridLayout;
    const char* labels[4] = {"R", "G", "B", "Alpha:"};
    for (int i = 0; i < 4; ++i) {
        edits[static_cast<size_t>(i)] = new QLineEdit(this);
        edits[static_cast<size_t>(i)]->setMaximumWidth(60);
        colourGrid->addWidget(new QLabel(QString::fromLatin1(labels[i]), this), i, 0);
        colourGrid->addWidget(edits[static_cast<size_t>(i)], i, 1);
        connect(edits[static_cast<size_t>(i)], &QLineEdit::textEdited, this, [this, i](const QString& t) {
            form_.TypeEdit(i, t.toStdString());
            Show();
        });
    }
    alpha = new QSlider(Qt::Horizontal, this);
    alpha->setRange(0, 255);
    colourGrid->addWidget(alpha, 4, 0, 1, 2);
    connect(alpha, &QSlider::valueChanged, this, [this](int v) {
        if (showing_) return;
        form_.MoveAlpha(v);
        Show();
    });

    selectColour = new QPushButton(QStringLiteral("Select Color"), this);
    apply = new QPushButton(QStringLiteral("Apply"), this);
    saveColour = new QPushButton(QStringLiteral("Save Color"), this);
    applyColour = new QPushButton(QStringLiteral("Apply Color"), this);
    close = new QPushButton(QStringLiteral("Close"), this);
    connect(selectColour, &QPushButton::clicked, this, &CCustomColoursDialog::SelectColour);
    connect(apply, &QPushButton::clicked, this, [this] {
        form_.Apply(document_, ui_);
        Show();
    });
    connect(saveColour, &QPushButton::clicked, this, [this] {
        form_.SaveColour(ui_);
        Show();
    });
    connect(applyColour, &QPushButton::clicked, this, [this] {
        form_.ApplyColour(document_, ui_);
        Show();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto* numbers = new QGridLayout;
    numbers->addWidget(new QLabel(QStringLiteral("Atom number"), this), 0, 0);
    numbers->addWidget(atomNumber, 0, 1);
    numbers->addWidget(new QLabel(QStringLiteral("Residue number"), this), 1, 0);
    numbers->addWidget(residueNumber, 1, 1);
    auto* middle = new QVBoxLayout;
    middle->addWidget(elements);
    middle->addWidget(structures);
    middle->addLayout(numbers);
    auto* right = new QVBoxLayout;
    right->addLayout(colourGrid);
    right->addWidget(selectColour);
    right->addWidget(saveColour);
    right->addWidget(applyColour);
    right->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addLayout(radios);
    top->addLayout(middle);
    top->addLayout(right);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(apply);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);

    // Return in an edit applies; it never picks another button.
    for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
    apply->setDefault(true);

    Show();
    document_.AddObserver(*this);
}

CCustomColoursDialog::~CCustomColoursDialog() { document_.RemoveObserver(*this); }

void CCustomColoursDialog::Show() {
    showing_ = true;
    schemes[static_cast<size_t>(form_.Scheme())]->setChecked(true);
    elements->setCurrentRow(form_.Element());
    structures->setCurrentRow(form_.StructureRow());
    elements->setEnabled(form_.Enabled(CustomColoursForm::ElementList));
    structures->setEnabled(form_.Enabled(CustomColoursForm::StructureList));
    atomNumber->setEnabled(form_.Enabled(CustomColoursForm::AtomNumber));
    residueNumber->setEnabled(form_.Enabled(CustomColoursForm::ResidueNumber));
    if (atomNumber->text().toStdString() != form_.AtomText()) atomNumber->setText(QString::fromStdString(form_.AtomText()));
    if (residueNumber->text().toStdString() != form_.ResidueText())
        residueNumber->setText(QString::fromStdString(form_.ResidueText()));
    const bool colours = form_.Enabled(CustomColoursForm::ColourEdits);
    for (int i = 0; i < 4; ++i) {
        QLineEdit* e = edits[static_cast<size_t>(i)];
        // Rewriting the edit being typed in would move its cursor.
        if (e->text().toStdString() != form_.Edit(i)) e->setText(QString::fromStdString(form_.Edit(i)));
        e->setEnabled(colours);
    }
    alpha->setValue(form_.AlphaPosition());
    alpha->setEnabled(colours);
    selectColour->setEnabled(colours);
    apply->setEnabled(form_.ApplyEnabled(document_));
    applyColour->setEnabled(form_.ApplyColourEnabled() && form_.ApplyEnabled(document_));
    showing_ = false;
}

void CCustomColoursDialog::SelectColour() {
    int v[4] = {255, 255, 255, 255};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const int n = edits[static_cast<size_t>(i)]->text().toInt(&ok);
        if (ok && n >= 0 && n <= 255) v[i] = n;
    }
    const QColor chosen = QColorDialog::getColor(QColor(v[0], v[1], v[2], v[3]), this, QStringLiteral("Select Color"),
                                                 QColorDialog::ShowAlphaChannel);
    if (!chosen.isValid()) return;
    form_.SetEdits(Rgba{static_cast<std::uint8_t>(chosen.red()), static_cast<std::uint8_t>(chosen.green()),
                        static_cast<std::uint8_t>(chosen.blue()), static_cast<std::uint8_t>(chosen.alpha())});
    Show();
}

void CCustomColoursDialog::DocumentChanged(DocumentChange what) {
    // Another primary molecule, or none: what the edits show belongs to it.
    // Other changes leave what the user is typing alone.
    if (Any(what, DocumentChange::Molecules)) form_.ShowCurrent(document_);
    Show();
}

}  // namespace velm
