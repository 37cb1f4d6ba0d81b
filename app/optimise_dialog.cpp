#include "optimise_dialog.h"

#include "main_window.h"
#include "optimise_charts.h"
#include "results_summary.h"
#include "run/fields.h"
#include "run/input_reading.h"
#include "run/kept_texts.h"
#include "solver/extended.h"

#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScatterSeries>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>

namespace karrow {

namespace {

    constexpr double BarInGfCm2 = 1e5 / PascalPerGfCm2;
    constexpr int ProgressSteps = 1000;

    constexpr std::array<DesignVariable, OptimiseDialog::VariableCount> Variables {
        DesignVariable::InletSlitHeight,
        DesignVariable::OutletSlitHeight,
        DesignVariable::InletChannelDepth,
        DesignVariable::OutletChannelDepth,
        DesignVariable::ChannelWidth,
        DesignVariable::TotalIncrements,
        DesignVariable::NumberOfChannels,
    };

    struct LimitChoice {
        LimitedFigure Figure;
        const char* Label;
        double ReportUnitsPerShown; // what one shown unit is in the report's units
    };

    const std::array<LimitChoice, OptimiseDialog::LimitCount> Limits { {
        { LimitedFigure::HeadPressure, "Head pressure at most (bar)", BarInGfCm2 },
        { LimitedFigure::WallShearRate, "Largest wall shear rate at most (1/sec)", 1 },
        { LimitedFigure::WallShearStress, "Largest wall shear stress at most (bar)", BarInGfCm2 },
        { LimitedFigure::ResidenceTime, "Mean residence time at most (sec)", 1 },
        { LimitedFigure::Gap, "Smallest gap at least (cm)", 1 },
        { LimitedFigure::TemperatureRise, "Temperature rise at most (K)", 1 },
        { LimitedFigure::TemperatureSpread, "Outlet temperature spread at most (K)", 1 },
    } };

    // The melt of the Melt dialog as the search takes it, named as the dialog names it.
    std::optional<DesignMelt> DesignMeltOf(const std::optional<MeltChoice>& choice)
    {
        if (!choice)
            return std::nullopt;
        return DesignMelt { choice->Grade.empty() ? "constants entered" : choice->Grade,
            choice->Melt, choice->Conditions };
    }

    // Whether a limit has a meaning with the melt: the temperatures need one heated by its flow.
    bool Offered(LimitedFigure figure, const std::optional<DesignMelt>& melt)
    {
        EvaluationSettings settings;
        settings.RealMelt = melt;
        settings.Limits.Set(figure, 1);
        return !LimitWithoutMeaning(settings);
    }

    QString MeltText(const std::optional<DesignMelt>& melt)
    {
        if (!melt)
            return QStringLiteral("Melt: the power law of the fields (choose a real melt with "
                                  "Melt\u2026 before opening this dialog)");
        return QStringLiteral("Melt: %1 at %2 \u00b0C, %3 (from the Melt dialog)")
            .arg(QString::fromStdString(melt->Name))
            .arg(melt->Conditions.MeltTemperature, 0, 'f', 1)
            .arg(melt->Conditions.Thermal == ThermalMode::Heated
                    ? QStringLiteral("heated by its own flow")
                    : QStringLiteral("isothermal"));
    }

    struct ObjectiveChoice {
        DesignObjective Objective;
        const char* Label;
    };

    const std::array<ObjectiveChoice, 4> Objectives { {
        { DesignObjective::Cv, "Outlet coefficient of variation" },
        { DesignObjective::Spread, "Outlet spread" },
        { DesignObjective::MaxDeviation, "Outlet maximum deviation" },
        { DesignObjective::HeadPressure, "Head pressure" },
    } };

    QString LabelOf(DesignVariable v) { return QString::fromUtf8(InfoOf(FieldOf(v)).Label); }

    std::vector<VariableBounds> EveryVariable()
    {
        std::vector<VariableBounds> all;
        for (const DesignVariable v : Variables)
            all.push_back({ v, 0, 0 });
        return all;
    }

    // A range a designer would search first: half to one and a half times a length, a quarter
    // more or less of the spiral, two channels either side.
    std::pair<double, double> RangeAround(DesignVariable v, double value)
    {
        switch (v) {
        case DesignVariable::TotalIncrements:
            return { std::max(1.0, std::round(0.75 * value)), std::round(1.25 * value) };
        case DesignVariable::NumberOfChannels:
            return { std::max(1.0, value - 2), std::min(24.0, value + 2) };
        default:
            break;
        }
        return { 0.5 * value, 1.5 * value };
    }

    QLabel* WrappedLabel(const QString& objectName)
    {
        auto* label = new QLabel;
        label->setObjectName(objectName);
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setAlignment(Qt::AlignTop | Qt::AlignLeft);
        return label;
    }

    int ChannelsOf(const Inputs& in) { return static_cast<int>(in.NumberOfChannels); }

    // A limit offered from a design's own figure, to four significant digits, rounded so that the
    // design itself still keeps it.
    double LimitKeptBy(double figure, bool upper)
    {
        if (!(figure > 0) || !std::isfinite(figure))
            return figure;
        const double scale = std::pow(10.0, std::floor(std::log10(figure)) - 3);
        return (upper ? std::ceil(figure / scale) : std::floor(figure / scale)) * scale;
    }

} // namespace

OptimiseDialog::OptimiseDialog(
    MainWindow& inputs, const FieldTexts& texts, char decimalSeparator, QWidget* parent)
    : QDialog(parent)
    , inputs_(inputs)
    , texts_(texts)
    , decimalSeparator_(decimalSeparator)
    , melt_(DesignMeltOf(inputs.MeltChosen()))
{
    setObjectName(QStringLiteral("OptimiseDialog"));
    setWindowTitle(QString::fromUtf8(WindowCaption) + QStringLiteral(" \u2014 Optimise"));
    auto* layout = new QVBoxLayout(this);
    auto* choices = new QHBoxLayout;
    choices->addWidget(CreateVariables());
    choices->addWidget(CreateObjectiveAndLimits());
    layout->addLayout(choices);
    ui_.problem = WrappedLabel(QStringLiteral("ProblemLabel"));
    ui_.problem->setStyleSheet(QStringLiteral("QLabel { color: #a00000; }"));
    ui_.problem->hide();
    layout->addWidget(ui_.problem);
    ui_.progress = new QProgressBar;
    ui_.progress->setObjectName(QStringLiteral("SearchProgress"));
    ui_.progress->setRange(0, ProgressSteps);
    ui_.progress->setValue(0);
    layout->addWidget(ui_.progress);
    ui_.status = WrappedLabel(QStringLiteral("SearchStatus"));
    layout->addWidget(ui_.status);
    layout->addWidget(CreateResults(), 1);
    layout->addWidget(CreateButtons());

    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(100);
    connect(progressTimer_, &QTimer::timeout, this, &OptimiseDialog::ShowProgress);
    OfferDefaults();
    resize(1000, 820);
}

OptimiseDialog::~OptimiseDialog()
{
    stop_ = true;
    if (worker_.joinable())
        worker_.join();
}

QWidget* OptimiseDialog::CreateVariables()
{
    auto* box = new QGroupBox(QStringLiteral("Fields to vary, within"));
    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(QStringLiteral("from")), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("to")), 0, 2);
    for (std::size_t k = 0; k < Variables.size(); ++k) {
        const QString name = QString::fromStdString(NameOf(Variables[k]));
        VariableRow& row = ui_.variables[k];
        row.vary = new QCheckBox(LabelOf(Variables[k]));
        row.vary->setObjectName(QStringLiteral("Vary_") + name);
        row.low = new QLineEdit;
        row.low->setObjectName(QStringLiteral("Low_") + name);
        row.high = new QLineEdit;
        row.high->setObjectName(QStringLiteral("High_") + name);
        const int line = static_cast<int>(k) + 1;
        grid->addWidget(row.vary, line, 0);
        grid->addWidget(row.low, line, 1);
        grid->addWidget(row.high, line, 2);
    }
    return box;
}

QWidget* OptimiseDialog::CreateObjectiveAndLimits()
{
    auto* box = new QGroupBox(QStringLiteral("Minimise, keeping"));
    auto* form = new QFormLayout(box);
    ui_.objective = new QComboBox;
    ui_.objective->setObjectName(QStringLiteral("Objective"));
    for (const ObjectiveChoice& choice : Objectives)
        ui_.objective->addItem(QString::fromUtf8(choice.Label));
    form->addRow(QStringLiteral("Minimise"), ui_.objective);
    ui_.melt = new QLabel(MeltText(melt_));
    ui_.melt->setObjectName(QStringLiteral("MeltLabel"));
    ui_.melt->setWordWrap(true);
    form->addRow(ui_.melt);
    for (std::size_t k = 0; k < Limits.size(); ++k) {
        const QString name = QString::fromStdString(NameOf(Limits[k].Figure)).replace(' ', '-');
        LimitRow& row = ui_.limits[k];
        row.keep = new QCheckBox(QString::fromUtf8(Limits[k].Label));
        row.keep->setObjectName(QStringLiteral("Limit_") + name);
        row.value = new QLineEdit;
        row.value->setObjectName(QStringLiteral("LimitValue_") + name);
        row.keep->setEnabled(Offered(Limits[k].Figure, melt_));
        row.value->setEnabled(Offered(Limits[k].Figure, melt_));
        form->addRow(row.keep, row.value);
    }
    ui_.frontPoints = new QSpinBox;
    ui_.frontPoints->setObjectName(QStringLiteral("FrontPoints"));
    ui_.frontPoints->setRange(0, 50);
    ui_.frontPoints->setSpecialValueText(QStringLiteral("none"));
    ui_.frontPoints->setToolTip(QStringLiteral(
        "Designs of the trade-off against head pressure, each the least objective for a head "
        "pressure limit between its two ends"));
    form->addRow(QStringLiteral("Front against head pressure (&designs)"), ui_.frontPoints);
    return box;
}

QWidget* OptimiseDialog::CreateResults()
{
    auto* results = new QWidget;
    auto* layout = new QVBoxLayout(results);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* columns = new QGridLayout;
    columns->addWidget(new QLabel(QStringLiteral("<b>Current design</b>")), 0, 0);
    ui_.chosenTitle = new QLabel(QStringLiteral("<b>Best design found</b>"));
    ui_.chosenTitle->setObjectName(QStringLiteral("ChosenTitle"));
    columns->addWidget(ui_.chosenTitle, 0, 1);
    ui_.currentFigures = WrappedLabel(QStringLiteral("CurrentFigures"));
    ui_.chosenFigures = WrappedLabel(QStringLiteral("ChosenFigures"));
    columns->addWidget(ui_.currentFigures, 1, 0);
    columns->addWidget(ui_.chosenFigures, 1, 1);
    columns->setColumnStretch(0, 1);
    columns->setColumnStretch(1, 1);
    layout->addLayout(columns);
    ui_.charts = new QTabWidget;
    ui_.outlet = new QChartView;
    ui_.outlet->setObjectName(QStringLiteral("OutletComparisonChart"));
    ui_.outlet->setRenderHint(QPainter::Antialiasing);
    ui_.front = new QChartView;
    ui_.front->setObjectName(QStringLiteral("FrontChart"));
    ui_.front->setRenderHint(QPainter::Antialiasing);
    ui_.charts->addTab(ui_.outlet, QStringLiteral("Outlet round the die"));
    ui_.charts->addTab(ui_.front, QStringLiteral("&Front"));
    ui_.charts->setTabEnabled(1, false);
    ui_.charts->setMinimumHeight(320);
    layout->addWidget(ui_.charts, 1);
    return results;
}

QWidget* OptimiseDialog::CreateButtons()
{
    auto* row = new QWidget;
    auto* buttons = new QHBoxLayout(row);
    buttons->setContentsMargins(0, 0, 0, 0);
    ui_.start = new QPushButton(QStringLiteral("&Optimise"));
    ui_.start->setObjectName(QStringLiteral("StartButton"));
    ui_.cancel = new QPushButton(QStringLiteral("&Cancel"));
    ui_.cancel->setObjectName(QStringLiteral("CancelButton"));
    ui_.cancel->setEnabled(false);
    ui_.use = new QPushButton(QStringLiteral("&Use this design"));
    ui_.use->setObjectName(QStringLiteral("UseButton"));
    ui_.use->setEnabled(false);
    ui_.use->setToolTip(
        QStringLiteral("Put the best design into the main window's fields; OK then runs its report"));
    auto* close = new QPushButton(QStringLiteral("Close"));
    close->setObjectName(QStringLiteral("CloseButton"));
    buttons->addWidget(ui_.start);
    buttons->addWidget(ui_.cancel);
    buttons->addWidget(ui_.use);
    buttons->addStretch(1);
    buttons->addWidget(close);
    connect(ui_.start, &QPushButton::clicked, this, &OptimiseDialog::Start);
    connect(ui_.cancel, &QPushButton::clicked, this, &OptimiseDialog::Cancel);
    connect(ui_.use, &QPushButton::clicked, this, &OptimiseDialog::UseChosenDesign);
    connect(close, &QPushButton::clicked, this, &OptimiseDialog::reject);
    return row;
}

// The bounds and limits offered are the design's own figures and a range round them; its head
// pressure is kept as a limit, so that a more even design is not bought with more pressure.
void OptimiseDialog::OfferDefaults()
{
    const InputReading read = ReadInputs(
        [&](Field field) { return texts_[field]; }, decimalSeparator_);
    if (!read.Values) {
        ui_.problem->setText(QStringLiteral("The design shown cannot be searched from: %1")
                                 .arg(QString::fromStdString(read.Problem)));
        ui_.problem->show();
        ui_.start->setEnabled(false);
        return;
    }
    base_ = read.Values;
    const DesignPoint values = PointOf(*base_, EveryVariable());
    for (std::size_t k = 0; k < Variables.size(); ++k) {
        const auto [low, high] = RangeAround(Variables[k], values[k]);
        ui_.variables[k].vary->setChecked(k < 4);
        ui_.variables[k].low->setText(NumberText(low));
        ui_.variables[k].high->setText(NumberText(high));
    }
    PrepareFloatingPoint();
    EvaluationSettings judged;
    judged.RealMelt = melt_;
    baseEvaluation_ = EvaluateDesign(*base_, judged);
    ui_.currentFigures->setText(DesignText(baseEvaluation_, values, EveryVariable()));
    if (baseEvaluation_.Figures) {
        for (std::size_t k = 0; k < Limits.size(); ++k) {
            const double figure = FigureOf(baseEvaluation_, Limits[k].Figure);
            if (!Offered(Limits[k].Figure, melt_))
                continue;
            ui_.limits[k].value->setText(NumberText(LimitKeptBy(
                figure / Limits[k].ReportUnitsPerShown, Limits[k].Figure != LimitedFigure::Gap)));
            ui_.limits[k].keep->setChecked(Limits[k].Figure == LimitedFigure::HeadPressure);
        }
        QChart* empty = ui_.outlet->chart();
        ui_.outlet->setChart(OutletComparisonChart(
            *baseEvaluation_.Figures, ChannelsOf(*base_), nullptr, 0));
        delete empty;
    }
}

std::optional<double> OptimiseDialog::NumberIn(const QLineEdit* field) const
{
    std::string text = field->text().trimmed().toStdString();
    if (decimalSeparator_ != '.') {
        if (text.find('.') != std::string::npos)
            return std::nullopt;
        std::replace(text.begin(), text.end(), decimalSeparator_, '.');
    }
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString OptimiseDialog::NumberText(double value) const
{
    return QString::number(value, 'g', 4).replace(QLatin1Char('.'), QLatin1Char(decimalSeparator_));
}

std::optional<OptimiseSettings> OptimiseDialog::SettingsChosen(QString& problem) const
{
    OptimiseSettings s;
    for (std::size_t k = 0; k < Variables.size(); ++k) {
        const VariableRow& row = ui_.variables[k];
        if (!row.vary->isChecked())
            continue;
        const auto low = NumberIn(row.low);
        const auto high = NumberIn(row.high);
        if (!low || !high) {
            problem = QStringLiteral("%1: the bound \"%2\" is not a number.")
                          .arg(LabelOf(Variables[k]), (low ? row.high : row.low)->text());
            return std::nullopt;
        }
        s.Bounds.push_back({ Variables[k], *low, *high });
    }
    if (s.Bounds.empty()) {
        problem = QStringLiteral("Choose at least one field to vary.");
        return std::nullopt;
    }
    if (const auto refusal = BoundsProblem(s.Bounds)) {
        // The core names a field by its option; the window by its label.
        QString text = QString::fromStdString(*refusal);
        for (const DesignVariable v : Variables) {
            const QString option = QString::fromStdString(NameOf(v));
            if (text.startsWith(option))
                text.replace(0, option.size(), LabelOf(v));
        }
        problem = text + QLatin1Char('.');
        return std::nullopt;
    }
    s.Evaluation.Objective = Objectives[static_cast<std::size_t>(ui_.objective->currentIndex())].Objective;
    s.Evaluation.RealMelt = melt_;
    for (std::size_t k = 0; k < Limits.size(); ++k) {
        if (!ui_.limits[k].keep->isChecked() || !ui_.limits[k].keep->isEnabled())
            continue;
        const auto value = NumberIn(ui_.limits[k].value);
        if (!value || *value <= 0) {
            problem = QStringLiteral("%1: \"%2\" is not a positive number.")
                          .arg(QString::fromUtf8(Limits[k].Label), ui_.limits[k].value->text());
            return std::nullopt;
        }
        s.Evaluation.Limits.Set(Limits[k].Figure, *value * Limits[k].ReportUnitsPerShown);
    }
    if (ui_.frontPoints->value() > 0 && s.Evaluation.Objective == DesignObjective::HeadPressure) {
        problem = QStringLiteral(
            "A front trades the objective against head pressure: minimise another figure.");
        return std::nullopt;
    }
    s.Jobs = std::max(1, QThread::idealThreadCount());
    return s;
}

bool OptimiseDialog::Start()
{
    if (Running() || !base_)
        return false;
    QString problem;
    auto settings = SettingsChosen(problem);
    ui_.problem->setText(problem);
    ui_.problem->setVisible(!settings);
    if (!settings)
        return false;
    stop_ = false;
    done_ = 0;
    planned_ = 0;
    settings->Stop = &stop_;
    settings->Progress = [this](std::uint64_t done, std::uint64_t planned) {
        done_ = done;
        planned_ = planned;
    };
    searchedBounds_ = settings->Bounds;
    searchedObjective_ = settings->Evaluation.Objective;
    const int points = ui_.frontPoints->value();
    ShowRunning(true);
    ui_.status->setText(QStringLiteral("Searching\u2026"));
    // Only the atomics and the queued hand-over reach this dialog from the search's thread; the
    // destructor stops and joins the thread before anything else of the dialog goes.
    worker_ = std::thread([this, base = *base_, s = std::move(*settings), points,
                              texts = texts_, separator = decimalSeparator_]() {
        auto outcome = std::make_shared<SearchOutcome>();
        try {
            PrepareFloatingPoint();
            if (points > 0) {
                outcome->Front = TraceParetoFront(base, s, LimitedFigure::HeadPressure, points);
                outcome->Result = outcome->Front->Least;
                outcome->Result.Evaluations = outcome->Front->Evaluations;
                outcome->Result.Seconds = outcome->Front->Seconds;
                outcome->Result.Stopped = outcome->Front->Stopped;
            } else {
                outcome->Result = OptimiseDesign(base, s);
            }
            // Each design judged as its texts read back: the design OK will report on.
            const auto asWritten = [&](DesignCandidate& design) {
                auto written = TextsOfDesign(texts, s.Bounds, design.Point, separator);
                const InputReading read = ReadInputs(
                    [&](Field field) { return written[field]; },
                    separator);
                if (read.Values)
                    design.Evaluation = EvaluateDesign(*read.Values, s.Evaluation);
                return written;
            };
            if (outcome->Result.Best)
                outcome->BestTexts = asWritten(*outcome->Result.Best);
            if (outcome->Front)
                for (DesignCandidate& design : outcome->Front->Points)
                    outcome->FrontTexts.push_back(asWritten(design));
        } catch (const std::exception& error) {
            outcome->Result = OptimisationResult {};
            outcome->Result.Refusal = std::string("the search failed: ") + error.what();
        }
        QMetaObject::invokeMethod(this, [this, outcome] { Finish(outcome); }, Qt::QueuedConnection);
    });
    return true;
}

void OptimiseDialog::Cancel()
{
    if (!Running())
        return;
    stop_ = true;
    ui_.cancel->setEnabled(false);
    ui_.status->setText(QStringLiteral("Stopping\u2026"));
}

void OptimiseDialog::reject()
{
    Cancel();
    QDialog::reject();
}

void OptimiseDialog::ShowRunning(bool running)
{
    ui_.start->setEnabled(!running);
    ui_.cancel->setEnabled(running);
    ui_.use->setEnabled(false);
    for (VariableRow& row : ui_.variables)
        for (QWidget* w : std::initializer_list<QWidget*> { row.vary, row.low, row.high })
            w->setEnabled(!running);
    for (std::size_t k = 0; k < Limits.size(); ++k)
        for (QWidget* w :
            std::initializer_list<QWidget*> { ui_.limits[k].keep, ui_.limits[k].value })
            w->setEnabled(!running && Offered(Limits[k].Figure, melt_));
    ui_.objective->setEnabled(!running);
    ui_.frontPoints->setEnabled(!running);
    if (running) {
        ui_.progress->setValue(0);
        progressTimer_->start();
    } else {
        progressTimer_->stop();
    }
}

void OptimiseDialog::ShowProgress()
{
    const std::uint64_t planned = planned_;
    const std::uint64_t done = std::min<std::uint64_t>(done_, planned);
    if (planned > 0)
        ui_.progress->setValue(static_cast<int>(ProgressSteps * done / planned));
    if (!stop_)
        ui_.status->setText(QStringLiteral("Searching\u2026 %1 designs").arg(done_.load()));
}

void OptimiseDialog::Finish(std::shared_ptr<SearchOutcome> outcome)
{
    worker_.join();
    last_ = std::move(outcome);
    ShowRunning(false);
    ui_.progress->setValue(ProgressSteps);
    ShowStatus(*last_);
    // The current design's varied fields only, line by line beside the best one's.
    ui_.currentFigures->setText(
        DesignText(baseEvaluation_, PointOf(*base_, searchedBounds_), searchedBounds_));
    const OptimisationResult& r = last_->Result;
    std::optional<ChosenDesign> best;
    if (r.Best && last_->BestTexts)
        // Only a design that keeps every limit is offered: the nearest infeasible one is
        // shown to tell which limit binds, never as an answer.
        best = ChosenDesign { *r.Best, *last_->BestTexts,
            r.Feasible && r.Best->Evaluation.Feasible,
            r.Feasible ? QStringLiteral("Best design found")
                       : QStringLiteral("Nearest design (keeps not every limit)") };
    Choose(std::move(best));
    ShowFront(*last_);
    emit SearchEnded();
}

void OptimiseDialog::ShowStatus(const SearchOutcome& outcome)
{
    const OptimisationResult& r = outcome.Result;
    const QString searched = QStringLiteral("%1 designs searched in %2 s")
                                 .arg(r.Evaluations)
                                 .arg(FixedNumber(r.Seconds, 2, decimalSeparator_));
    QString text;
    if (!r.Best)
        text = QStringLiteral("No answer: %1.").arg(QString::fromStdString(
            r.Refusal.empty() ? std::string("every design in the bounds is refused")
                              : "every design in the bounds is refused: " + r.Refusal));
    else if (!r.Feasible)
        text = QStringLiteral("No design in the bounds keeps every limit: %1. The nearest is "
                              "shown.")
                   .arg(QString::fromStdString(r.Best->Evaluation.Reason));
    else
        text = QStringLiteral("The best design found.");
    if (r.Stopped)
        text = QStringLiteral("Cancelled: the best design so far. ") + text;
    ui_.status->setText(text + QStringLiteral(" (") + searched + QStringLiteral(")"));
}

void OptimiseDialog::Choose(std::optional<ChosenDesign> chosen)
{
    chosen_ = std::move(chosen);
    ui_.chosenTitle->setText(QStringLiteral("<b>%1</b>")
                                 .arg(chosen_ ? chosen_->Title : QStringLiteral("No design")));
    ui_.chosenFigures->setText(chosen_
            ? DesignText(chosen_->Design.Evaluation, chosen_->Design.Point, searchedBounds_)
            : QString());
    ui_.use->setEnabled(chosen_ && chosen_->Offered);
    if (!baseEvaluation_.Figures)
        return;
    const bool figures = chosen_ && chosen_->Design.Evaluation.Figures;
    const int chosenChannels =
        figures ? ChannelsOf(ApplyDesign(*base_, searchedBounds_, chosen_->Design.Point)) : 0;
    QChart* previous = ui_.outlet->chart();
    ui_.outlet->setChart(OutletComparisonChart(*baseEvaluation_.Figures, ChannelsOf(*base_),
        figures ? &*chosen_->Design.Evaluation.Figures : nullptr, chosenChannels));
    delete previous;
}

void OptimiseDialog::ShowFront(const SearchOutcome& outcome)
{
    const bool front = outcome.Front && !outcome.Front->Points.empty();
    ui_.charts->setTabEnabled(1, front);
    if (!front)
        return;
    QChart* previous = ui_.front->chart();
    QChart* chart = FrontChart(*outcome.Front, searchedObjective_);
    ui_.front->setChart(chart);
    delete previous;
    for (QAbstractSeries* series : chart->series())
        if (auto* points = qobject_cast<QScatterSeries*>(series))
            connect(points, &QScatterSeries::clicked, this, &OptimiseDialog::FrontPointClicked);
}

int OptimiseDialog::FrontDesignCount() const
{
    return last_ && last_->Front ? static_cast<int>(last_->FrontTexts.size()) : 0;
}

void OptimiseDialog::ChooseFrontDesign(int k)
{
    if (k < 0 || k >= FrontDesignCount())
        return;
    const auto index = static_cast<std::size_t>(k);
    const DesignCandidate& design = last_->Front->Points[index];
    Choose(ChosenDesign { design, last_->FrontTexts[index], design.Evaluation.Feasible,
        QStringLiteral("Design %1 of %2 of the front").arg(k + 1).arg(FrontDesignCount()) });
}

// The design whose point is nearest to the click, in the chart's units.
void OptimiseDialog::FrontPointClicked(const QPointF& point)
{
    if (!FrontDesignCount())
        return;
    const ParetoFront& front = *last_->Front;
    int nearest = -1;
    double distance = 0;
    for (int k = 0; k < FrontDesignCount(); ++k) {
        const DesignEvaluation& e = front.Points[static_cast<std::size_t>(k)].Evaluation;
        if (!e.Figures)
            continue;
        const double dx =
            ShownValue(FigureOf(*e.Figures, front.Against), front.Against) - point.x();
        const double dy = ShownObjective(e.Objective, searchedObjective_) - point.y();
        if (nearest < 0 || dx * dx + dy * dy < distance) {
            nearest = k;
            distance = dx * dx + dy * dy;
        }
    }
    ChooseFrontDesign(nearest);
}

QString OptimiseDialog::DesignText(const DesignEvaluation& evaluation, const DesignPoint& point,
    const std::vector<VariableBounds>& bounds) const
{
    QStringList lines;
    for (std::size_t k = 0; k < bounds.size() && k < point.size(); ++k)
        lines.append(QStringLiteral("%1: %2")
                         .arg(LabelOf(bounds[k].Variable),
                             IsWholeNumber(bounds[k].Variable)
                                 ? QString::number(std::lround(point[k]))
                                 : NumberText(point[k])));
    if (evaluation.Figures)
        lines.append(VerdictText(*evaluation.Figures, decimalSeparator_));
    if (evaluation.TemperatureRise && evaluation.TemperatureSpread)
        lines.append(QStringLiteral("Melt leaving the die at most %1 K above the melt "
                                    "temperature, %2 K from coldest to hottest round the die")
                         .arg(NumberText(*evaluation.TemperatureRise),
                             NumberText(*evaluation.TemperatureSpread)));
    if (!evaluation.Feasible && !evaluation.Reason.empty())
        lines.append(QString::fromStdString(evaluation.Reason));
    return lines.join(QLatin1Char('\n'));
}

std::optional<FieldTexts> OptimiseDialog::ChosenTexts() const
{
    if (!chosen_)
        return std::nullopt;
    return chosen_->Texts;
}

void OptimiseDialog::UseChosenDesign()
{
    if (!chosen_ || !chosen_->Offered)
        return;
    MainWindow::FieldTexts fields;
    for (const Field field : AllFields)
        fields[field] = QString::fromStdString(chosen_->Texts[field]);
    inputs_.SetFieldTexts(fields);
    inputs_.raise();
    inputs_.activateWindow();
}

} // namespace karrow
