#include "app/QtUiHooks.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>

#include "app/MainFrame.h"
#include "dialogs/TrajectoryProgressDialog.h"

namespace velm {

namespace {
QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
// The program's texts break lines with "\r\n"; a message box wants "\n".
QString BoxText(std::string_view s) { return Text(s).replace(QLatin1String("\r\n"), QLatin1String("\n")); }
constexpr std::string_view kTrajectoryProgress = "Reading Trajectory";
}  // namespace

// Swallows the user's input while long work runs on this thread, so that no
// command starts in the middle of it, and notes an Escape.
class QtUiHooks::EscapeWatch : public QObject {
public:
    EscapeWatch() { Watch(true); }
    ~EscapeWatch() override { Watch(false); }
    void Watch(bool on) {
        if (!qApp) return;
        if (on) qApp->installEventFilter(this);
        else qApp->removeEventFilter(this);
    }
    bool pressed = false;

    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) pressed = true;
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Drop:
            return true;
        case QEvent::Close:
            return e->spontaneous();
        default:
            return false;
        }
    }
};

QtUiHooks::QtUiHooks() = default;

QtUiHooks::~QtUiHooks() {
    delete dialog_.data();
    while (waitDepth_ > 0) EndWaitCursor();
}

CTrajectoryProgressDialog* QtUiHooks::ProgressDialog() const { return dialog_.data(); }

void QtUiHooks::SetFrame(CMainFrame* frame) { frame_ = frame; }

QWidget* QtUiHooks::Window() const {
    if (dialog_) return dialog_;
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return frame_.data();
}

void QtUiHooks::Message(std::string_view text) {
    // A message box is no place for the wait cursor.
    const int depth = waitDepth_;
    for (int i = 0; i < depth; ++i) QApplication::restoreOverrideCursor();
    // Nor is the input the long work keeps from commands: the box takes it.
    if (escape_) escape_->Watch(false);
    QMessageBox::warning(Window(), QStringLiteral("Velm"), BoxText(text));
    if (escape_) escape_->Watch(true);
    for (int i = 0; i < depth; ++i) QApplication::setOverrideCursor(Qt::WaitCursor);
}

bool QtUiHooks::AskYesNo(std::string_view question) {
    return QMessageBox::question(Window(), QStringLiteral("Velm"), BoxText(question), QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void QtUiHooks::SetStatusText(std::string_view text) {
    if (frame_) frame_->SetPaneText(0, Text(text));
}

void QtUiHooks::ProgressBegin(std::string_view title, int range) {
    position_ = 0;
    if (title == kTrajectoryProgress) {
        delete dialog_.data();
        dialog_ = new CTrajectoryProgressDialog(frame_, Text(title), range);
        dialog_->show();
    } else if (frame_) {
        frame_->BeginProgress(range);
        escape_ = std::make_unique<EscapeWatch>();
    }
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtUiHooks::ProgressStep() { ProgressSet(position_ + 1); }

void QtUiHooks::ProgressSet(int position) {
    position_ = position;
    if (dialog_) dialog_->SetPosition(position);
    else if (frame_) frame_->SetProgress(position);
}

void QtUiHooks::ProgressEnd() {
    if (dialog_) {
        dialog_->hide();
        dialog_->deleteLater();
        dialog_ = nullptr;
    } else if (frame_) {
        frame_->EndProgress();
    }
    escape_.reset();
}

bool QtUiHooks::ProgressCancelled() {
    if (dialog_) {
        // The dialog is modal: only it takes input while the worker reads.
        QApplication::processEvents();
        return dialog_ && dialog_->Cancelled();
    }
    // Work on this thread under the status-bar progress: repaint, take no
    // commands, only an Escape.
    if (!escape_) {
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return false;
    }
    QApplication::processEvents();
    return escape_ && escape_->pressed;
}

void QtUiHooks::BeginWaitCursor() {
    ++waitDepth_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtUiHooks::EndWaitCursor() {
    if (waitDepth_ == 0) return;
    --waitDepth_;
    QApplication::restoreOverrideCursor();
}

}  // namespace velm
