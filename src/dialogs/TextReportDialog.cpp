#include "dialogs/TextReportDialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace velm {

TextReportDialog::TextReportDialog(QWidget* parent, const QString& caption, const QString& text) : QDialog(parent) {
    setWindowTitle(caption);
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Columns are made with tabs: wide stops keep them apart.
    text_->setTabStopDistance(8 * text_->fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text_->setPlainText(plain);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(buttons);
    resize(640, 320);
}

QString TextReportDialog::Text() const { return text_->toPlainText(); }

}  // namespace velm
