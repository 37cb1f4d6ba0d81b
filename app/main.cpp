#include "calc_finished.h"
#include "regional_settings.h"
#include "solver/extended.h"
#include "tform1.h"
#include "window_look.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    karrow::PrepareFloatingPoint();
    QApplication application(argc, argv);
    QApplication::setFont(karrow::KarrowFont(12));
    const char decimalSeparator = karrow::RegionalDecimalSeparator();

    // The first window is the main window: closing it frees it (and the finish dialog it
    // owns), and the program ends with the last window.
    auto* Form1 = new karrow::TForm1(decimalSeparator);
    auto* FinishForm = new karrow::TFinishForm(Form1);
    Form1->SetFinishForm(FinishForm);
    Form1->show();
    return QApplication::exec();
}
