#pragma once
// "Render Trajectory As AVI Movie", modal: the movie's file, size, frames,
// depth and rate; "Record" asks for a codec in "Compression Options" and
// records with the dialog's progress bar, which "Cancel" stops.
#include <QDialog>

#include <string>

#include "dialogs/MovieForm.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace velm {

// "Compression Options": the encoders of this build, the last choice
// selected. Returns the codec's name, empty when cancelled.
std::string ChooseMovieCodec(QWidget* parent, const std::string& previous);

class MovieDialog : public QDialog {
    Q_OBJECT
public:
    MovieDialog(QWidget* parent, CVelmDoc& document, OffscreenRenderer& renderer, int viewWidth, int viewHeight,
                UiHooks& ui);
    MovieForm Form() const;
    void accept() override;  // "Record"
    // While recording: stops it; otherwise closes.
    void reject() override;
    bool Recording() const { return recording_; }

    QLineEdit* name;
    QSpinBox *width, *height, *start, *stop, *rate;
    QRadioButton *entire, *selection;
    QComboBox* depth;
    QCheckBox* updateSurface;
    QProgressBar* progress;
    QPushButton *record, *cancel;

private:
    class Progress;
    void Browse();

    CVelmDoc& document_;
    OffscreenRenderer& renderer_;
    UiHooks& ui_;
    std::string codec_ = kUncompressedCodec;
    bool recording_ = false;
    bool cancelled_ = false;
};

}  // namespace velm
