#pragma once
// A modal window with a caption, a read-only text with both scroll bars and
// "OK": the command-line help and the program's text reports.
#include <QDialog>

class QPlainTextEdit;

namespace velm {

class TextReportDialog : public QDialog {
    Q_OBJECT
public:
    // The text's lines may end in "\r\n", its columns be set with tabs.
    TextReportDialog(QWidget* parent, const QString& caption, const QString& text);
    QString Text() const;

private:
    QPlainTextEdit* text_;
};

}  // namespace velm
