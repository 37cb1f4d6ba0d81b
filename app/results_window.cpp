#include "results_window.h"

#include "chart_builders.h"
#include "cli/exit_status.h"
#include "file_dialogs.h"
#include "increment_table_model.h"
#include "main_window.h"
#include "melt_results.h"
#include "message_box.h"
#include "optimise_dialog.h"
#include "results_summary.h"
#include "run/fields.h"
#include "run/kept_texts.h"
#include "run/melt_document.h"
#include "run/verdict_text.h"
#include "window_placement.h"

#include <QApplication>
#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPolarChart>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QSvgGenerator>
#include <QTabWidget>
#include <QTableView>

namespace karrow {

namespace {

    const QString GeometryKey = QStringLiteral("ResultsWindow/geometry");
    const QSize WantedSize { 1000, 760 };
    // The button row and a chart still read at this width; narrower, it covers the main window
    // instead.
    constexpr int NarrowestBeside = 560;

    // A label of the header takes the width the window gives it: a long figure or message must
    // not widen the window beyond the screen.
    void FollowTheWindowsWidth(QLabel* label)
    {
        QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        label->setSizePolicy(policy);
    }

    QLabel* Banner(const QString& objectName)
    {
        auto* banner = new QLabel;
        banner->setObjectName(objectName);
        banner->setWordWrap(true);
        banner->setStyleSheet(QStringLiteral(
            "QLabel { background: #fff3cd; color: #5c4400; border: 1px solid #d9b44a; "
            "padding: 6px; }"));
        FollowTheWindowsWidth(banner);
        banner->hide();
        return banner;
    }

    QLabel* TextLabel(const QString& objectName)
    {
        auto* label = new QLabel;
        label->setObjectName(objectName);
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        FollowTheWindowsWidth(label);
        return label;
    }

    QLabel* ColumnTitle(const QString& text)
    {
        auto* title = new QLabel(text);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        return title;
    }

    QPushButton* Button(const QString& text, const QString& objectName)
    {
        auto* button = new QPushButton(text);
        button->setObjectName(objectName);
        return button;
    }

    // Replaces the file only by a complete new one.
    std::optional<QString> WriteWhole(const QString& path, const std::string& contents)
    {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)
            || file.write(contents.data(), static_cast<qint64>(contents.size()))
                != static_cast<qint64>(contents.size())
            || !file.commit())
            return QStringLiteral("%1: %2.").arg(path, file.errorString());
        return std::nullopt;
    }

    // The inputs that set a design apart, as the run read them (the regional separator kept).
    QString KeyInputs(const FieldTexts& texts)
    {
        const auto text = [&](Field field) { return QString::fromStdString(texts[field]); };
        return QStringLiteral("Inputs of this run: %1 channels, %2 cm3/sec per channel, "
                              "n = %3; spiral height %4 cm, die radius %5 cm; slit height "
                              "%6 \u2192 %7 cm, channel depth %8 \u2192 %9 cm, width %10 cm; "
                              "%11 increments; report %12")
            .arg(text(Field::NumberOfChannels), text(Field::FlowRatePerChannel),
                text(Field::PowerLawIndex), text(Field::SpiralHeight), text(Field::DieRadius),
                text(Field::InletSlitHeight), text(Field::OutletSlitHeight),
                text(Field::InletChannelDepth), text(Field::OutletChannelDepth),
                text(Field::ChannelWidth), text(Field::TotalIncrements),
                text(Field::SaveFileName));
    }

    // Every field with its label, for the tool tip of the short line above.
    QString AllInputs(const FieldTexts& texts)
    {
        QStringList lines;
        for (const Field field : AllFields)
            lines.append(QStringLiteral("%1: %2").arg(
                QString::fromUtf8(InfoOf(field).Label), QString::fromStdString(texts[field])));
        return lines.join(QLatin1Char('\n'));
    }

    const QString ChartNames[ResultsWindow::ChartCount] = {
        QStringLiteral("FlowChart"),
        QStringLiteral("PressureChart"),
        QStringLiteral("OutletPolarChart"),
        QStringLiteral("OutletBarChart"),
        QStringLiteral("WallShearChart"),
    };

    const QString ChartTabs[ResultsWindow::ChartCount] = {
        QStringLiteral("Flow"),
        QStringLiteral("Pressure"),
        QStringLiteral("Outlet round the die"),
        QStringLiteral("Outlet bars"),
        QStringLiteral("Wall shear"),
    };

} // namespace

ResultsWindow::ResultsWindow(MainWindow& inputs, char decimalSeparator, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , inputs_(inputs)
    , decimalSeparator_(decimalSeparator)
{
    setObjectName(QStringLiteral("ResultsWindow"));
    setWindowTitle(QString::fromUtf8(WindowCaption) + QStringLiteral(" \u2014 Results"));
    CreateUi();
    resize(WantedSize);
    connect(&inputs_, &MainWindow::FieldTextsChanged, this, &ResultsWindow::MarkIfStale);
}

ResultsWindow::~ResultsWindow()
{
    RememberPlace();
}

void ResultsWindow::CreateUi()
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CreateHeader());
    ui_.tabs = new QTabWidget;
    ui_.tabs->setObjectName(QStringLiteral("ResultTabs"));
    for (int chart = 0; chart < ChartCount; ++chart) {
        auto* view = new QChartView;
        view->setObjectName(ChartNames[chart]);
        view->setRenderHint(QPainter::Antialiasing);
        ui_.charts[static_cast<std::size_t>(chart)] = view;
        ui_.tabs->addTab(view, ChartTabs[chart]);
    }
    ui_.tabs->addTab(CreateTable(), QStringLiteral("Increments"));
    ui_.melt = new MeltPanel;
    ui_.melt->SetMelt(inputs_.MeltChosen());
    ui_.tabs->addTab(ui_.melt, QStringLiteral("Melt"));
    // A melt just chosen is what the designer wants to see answered.
    connect(&inputs_, &MainWindow::MeltChanged, ui_.melt, [this] {
        ui_.melt->SetMelt(inputs_.MeltChosen());
        ui_.tabs->setCurrentWidget(ui_.melt);
    });
    layout->addWidget(ui_.tabs, 1);
    layout->addWidget(CreateButtons());
}

QWidget* ResultsWindow::CreateHeader()
{
    auto* header = new QWidget;
    auto* grid = new QGridLayout(header);
    grid->setContentsMargins(0, 0, 0, 0);
    ui_.earlierRun = Banner(QStringLiteral("EarlierRunMark"));
    ui_.earlierRun->setText(
        QStringLiteral("Showing an earlier run: the last calculation did not finish."));
    ui_.stale = Banner(QStringLiteral("StaleMark"));
    ui_.stale->setText(QStringLiteral("The fields of the main window have changed since this "
                                      "run: press OK there to calculate what they show."));
    ui_.notSettled = Banner(QStringLiteral("SettlingWarning"));
    ui_.runInputs = TextLabel(QStringLiteral("RunInputs"));
    ui_.classicVerdict = TextLabel(QStringLiteral("ClassicVerdict"));
    ui_.classicIteration = TextLabel(QStringLiteral("ClassicIteration"));
    ui_.exactVerdict = TextLabel(QStringLiteral("ExactVerdict"));
    ui_.exactIteration = TextLabel(QStringLiteral("ExactIteration"));
    ui_.difference = TextLabel(QStringLiteral("Difference"));

    grid->addWidget(ui_.earlierRun, 0, 0, 1, 2);
    grid->addWidget(ui_.stale, 1, 0, 1, 2);
    grid->addWidget(ui_.runInputs, 2, 0, 1, 2);
    grid->addWidget(ui_.notSettled, 3, 0, 1, 2);
    // The exact network's answer leads; the report's classic method follows it.
    grid->addWidget(ColumnTitle(QStringLiteral("Exact network (the model's answer)")), 4, 0);
    grid->addWidget(ColumnTitle(QStringLiteral("The report (classic method)")), 4, 1);
    grid->addWidget(ui_.exactVerdict, 5, 0);
    grid->addWidget(ui_.classicVerdict, 5, 1);
    grid->addWidget(ui_.exactIteration, 6, 0);
    grid->addWidget(ui_.classicIteration, 6, 1);
    grid->addWidget(ui_.difference, 7, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    return header;
}

QWidget* ResultsWindow::CreateTable()
{
    model_ = new IncrementTableModel(decimalSeparator_, this);
    sorted_ = new QSortFilterProxyModel(this);
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(Qt::UserRole);
    ui_.table = new QTableView;
    ui_.table->setObjectName(QStringLiteral("IncrementTable"));
    ui_.table->setModel(sorted_);
    ui_.table->setSortingEnabled(true);
    ui_.table->sortByColumn(0, Qt::AscendingOrder);
    ui_.table->verticalHeader()->hide();
    ui_.table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return ui_.table;
}

QWidget* ResultsWindow::CreateButtons()
{
    auto* row = new QWidget;
    auto* buttons = new QHBoxLayout(row);
    buttons->setContentsMargins(0, 0, 0, 0);
    QPushButton* copy = Button(QStringLiteral("&Copy"), QStringLiteral("CopyButton"));
    QPushButton* chart =
        Button(QStringLiteral("Export c&hart\u2026"), QStringLiteral("ExportChartButton"));
    QPushButton* csv =
        Button(QStringLiteral("Export CS&V\u2026"), QStringLiteral("ExportCsvButton"));
    QPushButton* json =
        Button(QStringLiteral("Export &JSON\u2026"), QStringLiteral("ExportJsonButton"));
    QPushButton* optimise =
        Button(QStringLiteral("&Optimise\u2026"), QStringLiteral("OptimiseButton"));
    copy->setToolTip(QStringLiteral("Copy the increment table as tab-separated text"));
    QPushButton* melt = Button(QStringLiteral("&Melt\u2026"), QStringLiteral("MeltButton"));
    melt->setToolTip(QStringLiteral("Choose the melt the exact network runs with beside the "
                                    "report's power law"));
    connect(melt, &QPushButton::clicked, &inputs_, &MainWindow::ChooseMelt);
    optimise->setToolTip(QStringLiteral("Search for the most even design near this one"));
    for (QPushButton* button : { copy, chart, csv, json, melt })
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(optimise);

    connect(copy, &QPushButton::clicked, this, &ResultsWindow::CopyTable);
    connect(chart, &QPushButton::clicked, this, &ResultsWindow::ExportChartChosen);
    connect(csv, &QPushButton::clicked, this, &ResultsWindow::ExportCsvChosen);
    connect(json, &QPushButton::clicked, this, &ResultsWindow::ExportJsonChosen);
    connect(optimise, &QPushButton::clicked, this, &ResultsWindow::OptimiseChosen);
    // The table is not a chart.
    connect(ui_.tabs, &QTabWidget::currentChanged, chart,
        [chart](int tab) { chart->setEnabled(tab < ChartCount); });
    return row;
}

void ResultsWindow::ShowRun(RunRecord record)
{
    record_ = std::move(record);
    ui_.earlierRun->hide();
    ShowInputs();
    MarkIfStale();
    ShowHeader();
    ShowCharts();
    ui_.melt->SetRun(*record_);
    model_->SetIncrements(record_->Answers.Classic ? record_->Answers.Classic->Increments
                                                   : std::vector<IncrementFigures> {});
    if (!placed_)
        Place();
    show();
    raise();
    activateWindow();
}

// Where it was left last time, if the screen still holds it; else beside the main window. Never
// larger than the screen: a size remembered on a larger screen, or grown by a long figure, would
// put the button row out of reach.
void ResultsWindow::Place()
{
    placed_ = true;
    const QScreen* screen = inputs_.screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    // Not shown yet, this window has no frame of its own: the main window's tells its size.
    const QRect mainFrame = inputs_.frameGeometry();
    const QMargins frame(inputs_.geometry().left() - mainFrame.left(),
        inputs_.geometry().top() - mainFrame.top(),
        mainFrame.right() - inputs_.geometry().right(),
        mainFrame.bottom() - inputs_.geometry().bottom());
    if (restoreGeometry(QSettings().value(GeometryKey).toByteArray())) {
        setGeometry(FitInside(geometry() + frame, available) - frame);
        return;
    }
    const PlaceBeside place =
        PlaceBesideMain(mainFrame, WantedSize.grownBy(frame), NarrowestBeside, available);
    if (place.MainTopLeft != mainFrame.topLeft())
        inputs_.move(place.MainTopLeft);
    setGeometry(place.Window - frame);
}

void ResultsWindow::ShowInputs()
{
    ui_.runInputs->setText(KeyInputs(record_->Texts));
    ui_.runInputs->setToolTip(AllInputs(record_->Texts));
}

void ResultsWindow::MarkIfStale()
{
    if (!record_)
        return;
    const MainWindow::FieldTexts now = inputs_.AllFieldTexts();
    bool same = true;
    for (const Field field : AllFields)
        same = same && now[field].toStdString() == record_->Texts[field];
    ui_.stale->setVisible(!same);
}

void ResultsWindow::MarkEarlierRun()
{
    if (record_)
        ui_.earlierRun->show();
}

void ResultsWindow::ShowHeader()
{
    const Assessment& answers = record_->Answers;
    ui_.classicVerdict->setText(
        answers.Classic ? VerdictText(*answers.Classic, decimalSeparator_) : QString());
    ui_.classicIteration->setText(record_->Outcome && record_->Outcome->Result
            ? IterationText(record_->Outcome->Result->Flow.Record, decimalSeparator_)
            : QString());

    const bool exactFigures = answers.Exact && answers.Exact->Figures;
    ui_.exactVerdict->setText(
        exactFigures ? VerdictText(*answers.Exact->Figures, decimalSeparator_) : QString());
    ui_.exactIteration->setText(answers.Exact ? NetworkText(*answers.Exact, decimalSeparator_)
                                              : QStringLiteral("Exact network: not asked for."));
    ui_.difference->setVisible(exactFigures && answers.Classic);
    if (exactFigures && answers.Classic)
        ui_.difference->setText(
            DifferenceText(*answers.Classic, *answers.Exact->Figures, decimalSeparator_));

    // In the very words the command line prints.
    const QString warning = answers.Repeatability
        ? QString::fromStdString(SettlingWarning(*answers.Repeatability, decimalSeparator_))
        : QString();
    ui_.notSettled->setText(warning);
    ui_.notSettled->setVisible(!warning.isEmpty());
}

void ResultsWindow::ShowCharts()
{
    const Assessment& answers = record_->Answers;
    if (!answers.Classic)
        return;
    const DesignFigures& classic = *answers.Classic;
    const DesignFigures* exact =
        answers.Exact && answers.Exact->Figures ? &*answers.Exact->Figures : nullptr;
    const int channels =
        record_->Outcome && record_->Outcome->In ? record_->Outcome->In->NumberOfChannels : 1;
    const std::array<QChart*, ChartCount> charts {
        FlowChart(classic, exact),
        PressureChart(classic, exact),
        OutletPolarChart(classic, exact, channels),
        OutletBarChart(classic, exact, channels),
        WallShearChart(classic, exact),
    };
    for (std::size_t chart = 0; chart < charts.size(); ++chart) {
        QChart* previous = ui_.charts[chart]->chart();
        ui_.charts[chart]->setChart(charts[chart]);
        delete previous;
    }
}

QChartView* ResultsWindow::ChartView(Chart chart) const
{
    return ui_.charts[static_cast<std::size_t>(chart)];
}

std::optional<QString> ResultsWindow::ExportChart(Chart chart, const QString& path)
{
    QChartView* view = ChartView(chart);
    // A tab not shown yet has not been laid out: it takes the size it will have when shown.
    if (view != ui_.tabs->currentWidget())
        view->resize(ui_.tabs->currentWidget()->size());
    const QSize size = view->size();
    if (QFileInfo(path).suffix().compare(QStringLiteral("svg"), Qt::CaseInsensitive) == 0) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(view->chart()->title());
        QPainter painter;
        if (!painter.begin(&svg))
            return QStringLiteral("%1: the drawing cannot be written.").arg(path);
        view->render(&painter);
        painter.end();
        return std::nullopt;
    }
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        view->render(&painter);
    }
    if (!image.save(path, "PNG"))
        return QStringLiteral("%1: the image cannot be written.").arg(path);
    return std::nullopt;
}

std::optional<QString> ResultsWindow::ExportCsv(const QString& path) const
{
    if (!record_ || !record_->Answers.Classic)
        return QStringLiteral("There is no finished run to export.");
    return WriteWhole(path, IncrementsCsv(*record_->Answers.Classic));
}

std::optional<QString> ResultsWindow::ExportJson(const QString& path) const
{
    if (!record_)
        return QStringLiteral("There is no finished run to export.");
    const int status = ExitStatusOf(record_->End);
    const std::optional<MeltChoice>& chosen = inputs_.MeltChosen();
    if (!chosen)
        return WriteWhole(path, RunJson(*record_, status, true));
    // The melt's answer as karrow-cli --json gives it for the same run and melt.
    const RunMelt melt { chosen->Melt, chosen->Conditions };
    return WriteWhole(
        path, RunJsonWithMelt(*record_, status, melt, SolveRunMelt(*record_, melt), true));
}

void ResultsWindow::CopyTable() const
{
    if (record_ && record_->Answers.Classic)
        QApplication::clipboard()->setText(
            QString::fromStdString(IncrementsTabSeparated(*record_->Answers.Classic)));
}

void ResultsWindow::ShowProblem(const std::optional<QString>& problem)
{
    if (problem)
        ShowMessageBox(this, MessageBoxKind::Message, *problem);
}

void ResultsWindow::ExportChartChosen()
{
    const int tab = ui_.tabs->currentIndex();
    if (tab < 0 || tab >= ChartCount)
        return;
    const QString path = ChooseFileToWrite(this, QStringLiteral("Export chart"),
        ChartNames[tab] + QStringLiteral(".png"),
        { QStringLiteral("PNG image (*.png)"), QStringLiteral("SVG drawing (*.svg)") });
    if (!path.isEmpty())
        ShowProblem(ExportChart(static_cast<Chart>(tab), path));
}

void ResultsWindow::ExportCsvChosen()
{
    const QString path = ChooseFileToWrite(this, QStringLiteral("Export increments"),
        QStringLiteral("increments.csv"), { QStringLiteral("CSV (*.csv)") });
    if (!path.isEmpty())
        ShowProblem(ExportCsv(path));
}

void ResultsWindow::ExportJsonChosen()
{
    const QString path = ChooseFileToWrite(this, QStringLiteral("Export run"),
        QStringLiteral("run.json"), { QStringLiteral("JSON (*.json)") });
    if (!path.isEmpty())
        ShowProblem(ExportJson(path));
}

// Escape closes it, as it would a dialog: it is the window a designer glances at and puts away.
void ResultsWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        close();
    else
        QWidget::keyPressEvent(event);
}

void ResultsWindow::closeEvent(QCloseEvent* event)
{
    RememberPlace();
    event->accept();
}

void ResultsWindow::RememberPlace() const
{
    QSettings().setValue(GeometryKey, saveGeometry());
}

// A search runs from the design shown; one still running is brought up rather than replaced.
void ResultsWindow::OptimiseChosen()
{
    if (!record_)
        return;
    if (!optimise_ || !optimise_->Running()) {
        delete optimise_;
        optimise_ = new OptimiseDialog(inputs_, record_->Texts, decimalSeparator_, this);
    }
    optimise_->show();
    optimise_->raise();
    optimise_->activateWindow();
}

} // namespace karrow
