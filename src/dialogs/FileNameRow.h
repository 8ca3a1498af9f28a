#pragma once
// A file name field with "Browse ..." beside it, as the document dialogs
// have them.
#include <QWidget>

class QLineEdit;

namespace velm {

class FileNameRow : public QWidget {
    Q_OBJECT
public:
    enum Purpose { Open, Save };
    FileNameRow(QWidget* parent, Purpose purpose);

    QLineEdit* name;
    // The Browse dialog's filter, from the file type chosen.
    QString filter;

private:
    void Browse();
    Purpose purpose_;
};

}  // namespace velm
