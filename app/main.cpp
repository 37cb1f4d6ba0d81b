#include "finish_dialog.h"
#include "main_window.h"
#include "regional_settings.h"
#include "solver/extended.h"
#include "window_look.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    karrow::PrepareFloatingPoint();
    QApplication application(argc, argv);
    // Where the results window keeps its size and place.
    QApplication::setOrganizationName(QStringLiteral("Karrow"));
    QApplication::setApplicationName(QStringLiteral("karrow"));
    QApplication::setFont(karrow::KarrowFont(12));
    const char decimalSeparator = karrow::RegionalDecimalSeparator();

    // The first window is the main window: closing it frees it (and the finish dialog it
    // owns), and the program ends with the last window.
    auto* window = new karrow::MainWindow(decimalSeparator);
    window->SetFinishDialog(new karrow::FinishDialog(window));
    window->show();
    return QApplication::exec();
}
