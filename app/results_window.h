#pragma once

#include "run/run_json.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <optional>

class QCloseEvent;
class QKeyEvent;
class QChart;
class QChartView;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTabWidget;
class QTableView;

namespace karrow {

class IncrementTableModel;
class MeltPanel;
class MainWindow;
class OptimiseDialog;

// The results window (object name ResultsWindow, "Karrow — Results"): the inputs and the
// verdict, the charts and the per-increment table of the last finished run, with its exports.
// Separate and non-modal, beside the main window; it reads the figures of the run it is given
// and computes nothing itself. It marks what it shows as stale while the main window's fields
// differ from the texts that run read.
class ResultsWindow : public QWidget {
    Q_OBJECT

public:
    enum class Chart { Flow, Pressure, OutletPolar, OutletBars, WallShear };
    static constexpr int ChartCount = 5;

    ResultsWindow(MainWindow& inputs, char decimalSeparator, QWidget* parent = nullptr);
    ~ResultsWindow() override;

    // Shows a finished run (its outcome holds the Solution, its answers the figures), and brings
    // the window up.
    void ShowRun(RunRecord record);
    // The last calculation did not finish: what is shown is from an earlier one.
    void MarkEarlierRun();

    QChartView* ChartView(Chart chart) const;
    // The "Melt" tab: the network's answer for the chosen melt.
    MeltPanel& MeltAnswers() const { return *ui_.melt; }

    // Exports: the path is given, so that the dialogs only choose it. Each returns the problem in
    // plain words, naming the file, or nothing.
    std::optional<QString> ExportChart(Chart chart, const QString& path); // .png or .svg
    std::optional<QString> ExportCsv(const QString& path) const;
    std::optional<QString> ExportJson(const QString& path) const;
    void CopyTable() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Widgets {
        QLabel* earlierRun = nullptr;
        QLabel* stale = nullptr;
        QLabel* runInputs = nullptr;
        QLabel* notSettled = nullptr;
        QLabel* classicVerdict = nullptr;
        QLabel* classicIteration = nullptr;
        QLabel* exactVerdict = nullptr;
        QLabel* exactIteration = nullptr;
        QLabel* difference = nullptr;
        QTabWidget* tabs = nullptr;
        std::array<QChartView*, ChartCount> charts {};
        QTableView* table = nullptr;
        MeltPanel* melt = nullptr;
    };

    void CreateUi();
    QWidget* CreateHeader();
    QWidget* CreateTable();
    QWidget* CreateButtons();
    void ShowHeader();
    void ShowInputs();
    void MarkIfStale();
    void Place();
    void ShowCharts();
    void ShowProblem(const std::optional<QString>& problem);
    void ExportChartChosen();
    void ExportCsvChosen();
    void ExportJsonChosen();
    void OptimiseChosen();
    void RememberPlace() const;

    MainWindow& inputs_;
    char decimalSeparator_;
    Widgets ui_;
    IncrementTableModel* model_ = nullptr;
    QSortFilterProxyModel* sorted_ = nullptr;
    std::optional<RunRecord> record_;
    bool placed_ = false;
    QPointer<OptimiseDialog> optimise_;
};

} // namespace karrow
