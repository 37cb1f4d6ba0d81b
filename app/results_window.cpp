#include "results_window.h"

#include "chart_builders.h"
#include "increment_table_model.h"
#include "main_window.h"
#include "results_summary.h"
#include "run/input_set.h"

#include <QApplication>
#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPolarChart>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QSvgGenerator>
#include <QTabWidget>
#include <QTableView>

namespace karrow {

namespace {

    const QString GeometryKey = QStringLiteral("ResultsWindow/geometry");
    const QString InputSetFilter = QStringLiteral("Karrow input sets (*.karrow)");

    QLabel* Banner(const QString& objectName)
    {
        auto* banner = new QLabel;
        banner->setObjectName(objectName);
        banner->setWordWrap(true);
        banner->setStyleSheet(QStringLiteral(
            "QLabel { background: #fff3cd; color: #5c4400; border: 1px solid #d9b44a; "
            "padding: 6px; }"));
        banner->hide();
        return banner;
    }

    QLabel* TextLabel(const QString& objectName)
    {
        auto* label = new QLabel;
        label->setObjectName(objectName);
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
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

    QString NamingTheFile(const QString& path, const std::string& problem)
    {
        const QString text = QString::fromStdString(problem);
        return text.contains(path) ? text : QStringLiteral("%1: %2").arg(path, text);
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
    setWindowTitle(QStringLiteral("Karrow \u2014 Results"));
    CreateUi();
    resize(1000, 760);
    restoreGeometry(QSettings().value(GeometryKey).toByteArray());
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
    ui_.notSettled = Banner(QStringLiteral("SettlingWarning"));
    ui_.classicVerdict = TextLabel(QStringLiteral("ClassicVerdict"));
    ui_.classicIteration = TextLabel(QStringLiteral("ClassicIteration"));
    ui_.exactVerdict = TextLabel(QStringLiteral("ExactVerdict"));
    ui_.exactIteration = TextLabel(QStringLiteral("ExactIteration"));
    ui_.difference = TextLabel(QStringLiteral("Difference"));
    ui_.difference->setText(DifferenceText());

    grid->addWidget(ui_.earlierRun, 0, 0, 1, 2);
    grid->addWidget(ui_.notSettled, 1, 0, 1, 2);
    grid->addWidget(ColumnTitle(QStringLiteral("Classic iteration (the report)")), 2, 0);
    grid->addWidget(ColumnTitle(QStringLiteral("Exact network")), 2, 1);
    grid->addWidget(ui_.classicVerdict, 3, 0);
    grid->addWidget(ui_.exactVerdict, 3, 1);
    grid->addWidget(ui_.classicIteration, 4, 0);
    grid->addWidget(ui_.exactIteration, 4, 1);
    grid->addWidget(ui_.difference, 5, 0, 1, 2);
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
    QPushButton* save =
        Button(QStringLiteral("&Save inputs\u2026"), QStringLiteral("SaveInputsButton"));
    QPushButton* open =
        Button(QStringLiteral("&Open inputs\u2026"), QStringLiteral("OpenInputsButton"));
    copy->setToolTip(QStringLiteral("Copy the increment table as tab-separated text"));
    for (QPushButton* button : { copy, chart, csv, json })
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(save);
    buttons->addWidget(open);

    connect(copy, &QPushButton::clicked, this, &ResultsWindow::CopyTable);
    connect(chart, &QPushButton::clicked, this, &ResultsWindow::ExportChartChosen);
    connect(csv, &QPushButton::clicked, this, &ResultsWindow::ExportCsvChosen);
    connect(json, &QPushButton::clicked, this, &ResultsWindow::ExportJsonChosen);
    connect(save, &QPushButton::clicked, this, &ResultsWindow::SaveInputsChosen);
    connect(open, &QPushButton::clicked, this, &ResultsWindow::OpenInputsChosen);
    // The table is not a chart.
    connect(ui_.tabs, &QTabWidget::currentChanged, chart,
        [chart](int tab) { chart->setEnabled(tab < ChartCount); });
    return row;
}

void ResultsWindow::ShowRun(RunRecord record)
{
    record_ = std::move(record);
    ui_.earlierRun->hide();
    ShowHeader();
    ShowCharts();
    model_->SetIncrements(record_->Answers.Classic ? record_->Answers.Classic->Increments
                                                   : std::vector<IncrementFigures> {});
    show();
    raise();
    activateWindow();
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
            ? IterationText(record_->Outcome->Result->Flow.Record)
            : QString());

    const bool exactFigures = answers.Exact && answers.Exact->Figures;
    ui_.exactVerdict->setText(
        exactFigures ? VerdictText(*answers.Exact->Figures, decimalSeparator_) : QString());
    ui_.exactIteration->setText(answers.Exact ? NetworkText(*answers.Exact, decimalSeparator_)
                                              : QStringLiteral("Exact network: not asked for."));
    ui_.difference->setVisible(exactFigures);

    const QString warning =
        answers.Settling ? SettlingWarning(*answers.Settling, decimalSeparator_) : QString();
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
    return WriteWhole(path, RunJson(*record_, true));
}

void ResultsWindow::CopyTable() const
{
    if (record_ && record_->Answers.Classic)
        QApplication::clipboard()->setText(
            QString::fromStdString(IncrementsTabSeparated(*record_->Answers.Classic)));
}

bool ResultsWindow::SaveInputs(const QString& path)
{
    InputSet set;
    const MainWindow::FieldTexts texts = inputs_.AllFieldTexts();
    for (std::size_t field = 0; field < texts.size(); ++field)
        set.Texts[field] = texts[field].toStdString();
    const std::optional<std::string> problem = WriteInputSet(path.toStdString(), set, decimalSeparator_);
    if (problem)
        ShowProblem(NamingTheFile(path, *problem));
    return !problem;
}

bool ResultsWindow::OpenInputs(const QString& path)
{
    const InputSetReading reading = ReadInputSet(path.toStdString(), decimalSeparator_);
    if (!reading.Set) {
        ShowProblem(NamingTheFile(path, reading.Problem));
        return false;
    }
    MainWindow::FieldTexts texts;
    for (std::size_t field = 0; field < texts.size(); ++field)
        texts[field] = QString::fromStdString(reading.Set->Texts[field]);
    inputs_.SetFieldTexts(texts);
    return true;
}

void ResultsWindow::ShowProblem(const std::optional<QString>& problem)
{
    if (!problem)
        return;
    QMessageBox box(
        QMessageBox::Warning, QStringLiteral("Karrow"), *problem, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.exec();
}

void ResultsWindow::ExportChartChosen()
{
    const int tab = ui_.tabs->currentIndex();
    if (tab < 0 || tab >= ChartCount)
        return;
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export chart"),
        ChartNames[tab] + QStringLiteral(".png"),
        QStringLiteral("PNG image (*.png);;SVG drawing (*.svg)"));
    if (!path.isEmpty())
        ShowProblem(ExportChart(static_cast<Chart>(tab), path));
}

void ResultsWindow::ExportCsvChosen()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export increments"),
        QStringLiteral("increments.csv"), QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty())
        ShowProblem(ExportCsv(path));
}

void ResultsWindow::ExportJsonChosen()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export run"),
        QStringLiteral("run.json"), QStringLiteral("JSON (*.json)"));
    if (!path.isEmpty())
        ShowProblem(ExportJson(path));
}

void ResultsWindow::SaveInputsChosen()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save inputs"),
        QStringLiteral("design") + QString::fromUtf8(InputSetExtension), InputSetFilter);
    if (path.isEmpty())
        return;
    const QString extension = QString::fromUtf8(InputSetExtension);
    SaveInputs(path.endsWith(extension) ? path : path + extension);
}

void ResultsWindow::OpenInputsChosen()
{
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open inputs"), QString(), InputSetFilter);
    if (!path.isEmpty())
        OpenInputs(path);
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

} // namespace karrow
