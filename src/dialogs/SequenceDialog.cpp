#include "dialogs/SequenceDialog.h"

#include <QAbstractTableModel>
#include <QCloseEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>

#include "dialogs/ColourChooserDialog.h"
#include "model/SequenceLayout.h"

namespace velm {

// The tool's rows as they are, read when the list paints them: a refill costs
// a reset, not a copy of every cell.
class SequenceRowsModel : public QAbstractTableModel {
public:
    SequenceRowsModel(QObject* parent, const SequenceTool& tool) : QAbstractTableModel(parent), tool_(tool) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : shown_;
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : kSequenceColumns; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || index.row() >= shown_) return {};
        return QString::fromStdString(tool_.Row(index.row()).Cell(index.column()));
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
        return QString::fromLatin1(SequenceColumnTitle(section));
    }
    // The tool's rows again: the same number of rows only repaints (the
    // columns keep their widths); another number resets. Returns whether it reset.
    bool Refresh() {
        const int n = tool_.RowCount();
        if (n == shown_) {
            if (n > 0) emit dataChanged(index(0, 0), index(n - 1, kSequenceColumns - 1));
            return false;
        }
        beginResetModel();
        shown_ = n;
        endResetModel();
        return true;
    }

private:
    const SequenceTool& tool_;
    int shown_ = 0;
};

CSequenceDialog::CSequenceDialog(QWidget* parent, CVelmDoc& document)
    : QDialog(parent),
      list(new QTableView(this)),
      close(new QPushButton(QStringLiteral("Close"), this)),
      colour(new QPushButton(QStringLiteral("Color ..."), this)),
      tool_(document, [this] { Refill(); }),
      model_(new SequenceRowsModel(this, tool_)) {
    setWindowTitle(QStringLiteral("Sequence Tool"));
    setModal(false);
    setSizeGripEnabled(true);
    setMinimumSize(kSequenceToolMinimumSide, kSequenceToolMinimumSide);
    list->setModel(model_);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->verticalHeader()->hide();
    list->setShowGrid(false);
    list->setWordWrap(false);
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
    close->adjustSize();
    colour->adjustSize();
    colour->resize(close->size().expandedTo(colour->size()));
    close->resize(colour->size());
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { SelectionChanged(); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(colour, &QPushButton::clicked, this, [this] { ColourClicked(); });
    resize(360, 420);
    Refill();
}

CSequenceDialog::~CSequenceDialog() {
    if (chooser_) chooser_->Dismiss();
    // The list and its model go before the tool they read.
    delete list;
    delete model_;
}

CColourChooserDialog* CSequenceDialog::Chooser() const { return chooser_.data(); }

void CSequenceDialog::Refill() {
    if (model_->Refresh()) {
        const QFontMetrics header(list->horizontalHeader()->font());
        for (int c = 0; c < kSequenceColumns; ++c)
            list->setColumnWidth(
                c, static_cast<int>(1.2 * header.horizontalAdvance(QString::fromLatin1(SequenceColumnTitle(c)))));
    }
    ShowSelection();
}

void CSequenceDialog::ShowSelection() {
    showing_ = true;
    // One range per run of rows: a long selection stays a few ranges.
    QItemSelection selection;
    const std::vector<int>& rows = tool_.Selection();
    for (size_t i = 0; i < rows.size();) {
        size_t j = i + 1;
        while (j < rows.size() && rows[j] == rows[j - 1] + 1) ++j;
        selection.select(model_->index(rows[i], 0), model_->index(rows[j - 1], kSequenceColumns - 1));
        i = j;
    }
    list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    showing_ = false;
}

void CSequenceDialog::SelectionChanged() {
    if (showing_) return;
    std::vector<int> rows;
    for (const QModelIndex& index : list->selectionModel()->selectedRows()) rows.push_back(index.row());
    tool_.Select(std::move(rows));
}

void CSequenceDialog::ColourClicked() {
    tool_.ColourButton();
    if (!tool_.ChooserOpen() || chooser_) return;
    chooser_ = new CColourChooserDialog(this, tool_.ChooserColour(), [this](int code, Rgba c) {
        tool_.ChooserNotification(code, c);
        if (!tool_.ChooserOpen() && chooser_) chooser_->Dismiss();
    });
    chooser_->setAttribute(Qt::WA_DeleteOnClose);
    chooser_->show();
}

void CSequenceDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const SequenceLayout l = LayOutSequenceTool(width(), height(), close->width(), close->height());
    list->setGeometry(l.list.x, l.list.y, l.list.width, l.list.height);
    close->move(l.close.x, l.close.y);
    colour->move(l.colour.x, l.colour.y);
}

void CSequenceDialog::closeEvent(QCloseEvent* event) {
    tool_.Close();
    if (chooser_) chooser_->Dismiss();
    QDialog::closeEvent(event);
}

}  // namespace velm
