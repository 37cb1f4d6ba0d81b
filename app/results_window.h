#pragma once

#include "report/run_json.h"

#include <QString>
#include <QWidget>
#include <array>
#include <optional>

class QCloseEvent;
class QChart;
class QChartView;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTabWidget;
class QTableView;

namespace karrow {

class IncrementTableModel;
class MainWindow;

// The results window (object name ResultsWindow, "Karrow — Results"): the verdict, the charts
// and the per-increment table of the last finished run, with its exports, and the saving and
// opening of input sets for the main window. Separate and non-modal; it reads the figures of the
// run it is given and computes nothing itself.
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

    // Exports: the path is given, so that the dialogs only choose it. Each returns the problem in
    // plain words, naming the file, or nothing.
    std::optional<QString> ExportChart(Chart chart, const QString& path); // .png or .svg
    std::optional<QString> ExportCsv(const QString& path) const;
    std::optional<QString> ExportJson(const QString& path) const;
    void CopyTable() const;

    // Input sets of the main window's fields. Opening a file that is not an input set shows a
    // message naming it and the problem, and changes nothing.
    bool SaveInputs(const QString& path);
    bool OpenInputs(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Widgets {
        QLabel* earlierRun = nullptr;
        QLabel* notSettled = nullptr;
        QLabel* classicVerdict = nullptr;
        QLabel* classicIteration = nullptr;
        QLabel* exactVerdict = nullptr;
        QLabel* exactIteration = nullptr;
        QLabel* difference = nullptr;
        QTabWidget* tabs = nullptr;
        std::array<QChartView*, ChartCount> charts {};
        QTableView* table = nullptr;
    };

    void CreateUi();
    QWidget* CreateHeader();
    QWidget* CreateTable();
    QWidget* CreateButtons();
    void ShowHeader();
    void ShowCharts();
    void ShowProblem(const std::optional<QString>& problem);
    void ExportChartChosen();
    void ExportCsvChosen();
    void ExportJsonChosen();
    void SaveInputsChosen();
    void OpenInputsChosen();
    void RememberPlace() const;

    MainWindow& inputs_;
    char decimalSeparator_;
    Widgets ui_;
    IncrementTableModel* model_ = nullptr;
    QSortFilterProxyModel* sorted_ = nullptr;
    std::optional<RunRecord> record_;
};

} // namespace karrow
