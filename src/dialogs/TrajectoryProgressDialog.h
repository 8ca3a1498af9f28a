#pragma once
// "Reading Trajectory": the progress of the steps the worker thread reads,
// and "Cancel". Shown while the read runs; the caller polls Cancelled()
// between the events it lets through.
#include <QDialog>

class QProgressBar;
class QPushButton;

namespace velm {

class CTrajectoryProgressDialog : public QDialog {
    Q_OBJECT
public:
    CTrajectoryProgressDialog(QWidget* parent, const QString& title, int steps);

    void SetPosition(int position);
    bool Cancelled() const { return cancelled_; }

    // Closing the window asks to stop, as "Cancel" does; the read ends it.
    void reject() override { cancelled_ = true; }

    QProgressBar* bar;
    QPushButton* cancel;

private:
    bool cancelled_ = false;
};

}  // namespace velm
