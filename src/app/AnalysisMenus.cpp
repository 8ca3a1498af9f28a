// The Color and Tools items of the sequence tool and the alignment dialog,
// and the windows they open, each modeless and kept once.
#include <QMenu>

#include "app/MainFrame.h"
#include "app/ViewController.h"
#include "dialogs/AlignmentDialog.h"
#include "dialogs/SequenceDialog.h"
#include "model/VelmDoc.h"

namespace velm {

void CMainFrame::BuildAnalysisMenus(QMenu* colour, QMenu* tools) {
    const auto sequenceClosed = [this] { return document_.Primary() != nullptr && !sequence_; };
    const QString sequencePrompt = QStringLiteral("Display the secondary sturcture assingments for the current molecule");

    AddItem(colour, QStringLiteral("Protein ..."), [this] { OpenSequenceTool(); }, {}, sequenceClosed,
            QStringLiteral("Color a protein by amino acid residue"));

    AddItem(tools, QStringLiteral("&Secondary Structure ..."), [this] { OpenSequenceTool(); }, {}, sequenceClosed,
            sequencePrompt);
    const QString alignPrompt = QStringLiteral("Align and/or compute RMSD between two molecules");
    // One shortcut for both: Qt fires neither of two actions that share one.
    AddItem(tools, QStringLiteral("Align &Molecules ..."), [this] { OpenAlignment(); }, {}, {}, alignPrompt)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    AddItem(tools, QStringLiteral("RMSD ..."), [this] { OpenAlignment(); }, {}, {}, alignPrompt);
}

void CMainFrame::OpenSequenceTool() {
    if (!sequence_) {
        sequence_ = new CSequenceDialog(this, document_);
        sequence_->setAttribute(Qt::WA_DeleteOnClose);
        // Queued: while it is being destroyed the pointer still holds it.
        connect(sequence_, &QObject::destroyed, this, &CMainFrame::UpdateMenus, Qt::QueuedConnection);
    }
    sequence_->show();
    sequence_->raise();
    UpdateMenus();
}

CSequenceDialog* CMainFrame::SequenceDialog() const { return sequence_.data(); }
CAlignmentDialog* CMainFrame::AlignmentDialog() const { return alignment_.data(); }

void CMainFrame::OpenAlignment() {
    if (!alignment_) {
        alignment_ = new CAlignmentDialog(this, document_);
        alignment_->setAttribute(Qt::WA_DeleteOnClose);
    }
    alignment_->show();
    alignment_->raise();
}

}  // namespace velm
