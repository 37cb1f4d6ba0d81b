#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace karrow {

// The finish dialog (object name FinishForm; the kept texts FinishDialogTitle, FinishedMessage
// and the fixed FinishDialogDate): tells the user that a run ended with a complete report.
// Created hidden at start-up and shown again, modally, at the end of every successful run.
class FinishDialog : public QDialog {
    Q_OBJECT

public:
    explicit FinishDialog(QWidget* parent = nullptr);

    // Shows the dialog modally, centred on the screen; returns when it has been closed.
    void ShowModal();

private:
    QFrame* messageFrame_;
    QLabel* message_;
    QLabel* date_;
    QPushButton* okButton_;
};

} // namespace karrow
