#include "dialogs/OpenCoordinatesAndTrajectoryDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialogs/CoordinateFileOptionsDialog.h"
#include "dialogs/FileNameRow.h"

namespace velm {

namespace {
QComboBox* TypeList(QWidget* parent, const std::vector<FileTypeChoice>& types, FileNameRow* row) {
    auto* list = new QComboBox(parent);
    for (const FileTypeChoice& t : types) list->addItem(QString::fromLatin1(t.text), static_cast<int>(t.type));
    row->filter = QString::fromLatin1(types.front().filter);
    QObject::connect(list, &QComboBox::currentIndexChanged, row, [row, &types](int i) {
        if (i >= 0) row->filter = QString::fromLatin1(types[static_cast<size_t>(i)].filter);
    });
    return list;
}
}  // namespace

COpenCoordinatesAndTrajectoryDialog::COpenCoordinatesAndTrajectoryDialog(QWidget* parent, CVelmDoc& document,
                                                                         UiHooks& ui)
    : QDialog(parent), document_(document), ui_(ui) {
    setWindowTitle(QStringLiteral("Open Coordiante and Trajectory"));
    coordinates = new FileNameRow(this, FileNameRow::Open);
    coordinateType = TypeList(this, CoordinateAndTrajectoryForm::CoordinateTypes(), coordinates);
    trajectory = new FileNameRow(this, FileNameRow::Open);
    trajectoryType = TypeList(this, CoordinateAndTrajectoryForm::TrajectoryTypes(), trajectory);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Coordinate File Type:"), coordinateType);
    form->addRow(QStringLiteral("Coordinate File:"), coordinates);
    form->addRow(QStringLiteral("Trajectory File Type:"), trajectoryType);
    form->addRow(QStringLiteral("Trajectory File:"), trajectory);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(MakeReadModeBox(this, readMode, Verbatim));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

CoordinateAndTrajectoryForm COpenCoordinatesAndTrajectoryDialog::Form() const {
    CoordinateAndTrajectoryForm f;
    f.coordinates = coordinates->name->text().toStdString();
    f.coordinateType = static_cast<FileType>(coordinateType->currentData().toInt());
    f.trajectory = trajectory->name->text().toStdString();
    f.trajectoryType = static_cast<FileType>(trajectoryType->currentData().toInt());
    f.readMode = readMode->checkedId();
    return f;
}

void COpenCoordinatesAndTrajectoryDialog::accept() {
    if (Form().Accept(document_, ui_)) QDialog::accept();
}

}  // namespace velm
