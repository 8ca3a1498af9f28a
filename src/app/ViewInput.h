#pragma once
// Mouse, wheel and keyboard events of the view turned into calls of the
// camera control, in device pixels: one filter for both kinds of view.
#include <QObject>

namespace velm {

class ViewController;

class ViewInput : public QObject {
    Q_OBJECT
public:
    ViewInput(ViewController& controller, QWidget* view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ViewController& controller_;
    QWidget* view_;
};

}  // namespace velm
