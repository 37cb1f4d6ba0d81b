#include "cli/exit_status.h"
#include "finish_dialog.h"
#include "main_window.h"
#include "regional_settings.h"
#include "solver/extended.h"
#include "window_look.h"

#include <QApplication>
#include <exception>
#include <iostream>

namespace {

int RunWindow(int argc, char* argv[])
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

} // namespace

// No exception leaves the program: one that no step handles is named and ends it with the status
// of an I/O error. Files are safe at that point: outputs are written whole or not at all, and a
// report is left as the run's end state says.
int main(int argc, char* argv[])
{
    try {
        return RunWindow(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "karrow: unexpected error: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "karrow: unexpected error\n";
    }
    return karrow::ExitFault;
}
