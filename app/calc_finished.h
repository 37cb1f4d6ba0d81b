#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace karrow {

// FinishForm: tells the user that a run ended with a complete report. Created hidden at
// start-up and shown again, modally, at the end of every successful run.
class TFinishForm : public QDialog {
    Q_OBJECT

public:
    explicit TFinishForm(QWidget* parent = nullptr);

    // Shows the dialog modally, centred on the screen; returns when it has been closed.
    void ShowModal();

    QFrame* Panel1;
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* BitBtn1;

private:
    void BitBtn1Click();
};

} // namespace karrow
