#pragma once

#include "run/optimise.h"

#include <QDialog>
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

class QCheckBox;
class QChartView;
class QComboBox;
class QPointF;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTimer;

namespace karrow {

class MainWindow;

// The design search of the results window (object name OptimiseDialog, "Karrow — Optimise"):
// which fields to vary within which bounds, what to minimise and which limits to keep, each
// offered from the design the results window shows. The search runs on a thread of its own, so
// the windows stay usable; Cancel ends it with the best design so far. The best design is shown
// beside the current one, and "Use this design" puts its texts into the main window's fields,
// where OK runs the classic report of it as for any design. With a melt chosen in the Melt dialog
// every design is judged by the exact network with that melt (named above the limits), and the
// temperature limits are offered when it is heated by its own flow.
class OptimiseDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int VariableCount = 7;
    static constexpr int LimitCount = 7;

    // `texts` are the fields of the design shown (the run's own texts).
    OptimiseDialog(MainWindow& inputs, const FieldTexts& texts,
        char decimalSeparator, QWidget* parent = nullptr);
    ~OptimiseDialog() override;

    // Starts the search from the choices made, or shows why they make no problem (naming the
    // field). Returns whether it started.
    bool Start();
    // Asks a running search to end with its best design so far.
    void Cancel();
    bool Running() const { return worker_.joinable(); }
    // The field texts of the design shown beside the current one: the best found once a
    // search has ended with one, or the design of the front chosen.
    std::optional<FieldTexts> ChosenTexts() const;
    // The designs of the front last traced; choosing one (a click on its point) shows it beside
    // the current design in the best one's place.
    int FrontDesignCount() const;
    void ChooseFrontDesign(int k);
    // Fills the main window's fields with the chosen design's texts, if it keeps every limit.
    void UseChosenDesign();

    // Closing (Close, Escape) stops a running search; its answer still shows when it ends.
    void reject() override;

signals:
    // A search has ended (finished, cancelled or without an answer) and its result is shown.
    void SearchEnded();

private:
    struct VariableRow {
        QCheckBox* vary = nullptr;
        QLineEdit* low = nullptr;
        QLineEdit* high = nullptr;
    };
    struct LimitRow {
        QCheckBox* keep = nullptr;
        QLineEdit* value = nullptr;
    };
    struct Widgets {
        std::array<VariableRow, VariableCount> variables {};
        std::array<LimitRow, LimitCount> limits {};
        QComboBox* objective = nullptr;
        QLabel* melt = nullptr;
        QSpinBox* frontPoints = nullptr;
        QLabel* problem = nullptr;
        QProgressBar* progress = nullptr;
        QLabel* status = nullptr;
        QLabel* currentFigures = nullptr;
        QLabel* chosenTitle = nullptr;
        QLabel* chosenFigures = nullptr;
        QTabWidget* charts = nullptr;
        QChartView* outlet = nullptr;
        QChartView* front = nullptr;
        QPushButton* start = nullptr;
        QPushButton* cancel = nullptr;
        QPushButton* use = nullptr;
    };
    // What a search hands back to the window's thread.
    struct SearchOutcome {
        OptimisationResult Result;
        std::optional<ParetoFront> Front;
        std::optional<FieldTexts> BestTexts;
        std::vector<FieldTexts> FrontTexts; // in the front's order
    };
    // The design shown beside the current one.
    struct ChosenDesign {
        DesignCandidate Design;
        FieldTexts Texts;
        bool Offered = false; // it keeps every limit, so "Use this design" takes it
        QString Title;
    };

    QWidget* CreateVariables();
    QWidget* CreateObjectiveAndLimits();
    QWidget* CreateResults();
    QWidget* CreateButtons();
    void OfferDefaults();
    std::optional<OptimiseSettings> SettingsChosen(QString& problem) const;
    void ShowProgress();
    void Finish(std::shared_ptr<SearchOutcome> outcome);
    void ShowStatus(const SearchOutcome& outcome);
    void ShowFront(const SearchOutcome& outcome);
    void Choose(std::optional<ChosenDesign> chosen);
    void FrontPointClicked(const QPointF& point);
    void ShowRunning(bool running);
    QString DesignText(const DesignEvaluation& evaluation, const DesignPoint& point,
        const std::vector<VariableBounds>& bounds) const;
    std::optional<double> NumberIn(const QLineEdit* field) const;
    QString NumberText(double value) const;

    MainWindow& inputs_;
    FieldTexts texts_;
    char decimalSeparator_;
    // The melt of the Melt dialog when one was chosen there, every design judged with it.
    std::optional<DesignMelt> melt_;
    std::optional<Inputs> base_;
    DesignEvaluation baseEvaluation_;
    Widgets ui_;
    QTimer* progressTimer_ = nullptr;
    std::atomic<bool> stop_ { false };
    std::atomic<std::uint64_t> done_ { 0 };
    std::atomic<std::uint64_t> planned_ { 0 };
    std::thread worker_;
    std::vector<VariableBounds> searchedBounds_;
    DesignObjective searchedObjective_ = DesignObjective::Cv;
    std::shared_ptr<SearchOutcome> last_;
    std::optional<ChosenDesign> chosen_;
};

} // namespace karrow
