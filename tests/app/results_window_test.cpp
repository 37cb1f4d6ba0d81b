// The results window after runs from the main window: when it opens, what it shows, what it keeps
// after a run that does not finish, its exports and the input sets it saves and opens.

#include "chart_builders.h"
#include "main_window.h"
#include "report/run_json.h"
#include "results_window.h"
#include "run/input_set.h"
#include "window_under_test.h"
#include "window_user_interface.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPolarChart>
#include <QPushButton>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTest>
#include <memory>

using namespace karrow;
using namespace karrow::test;

namespace {

// The figures of the run the window's fields describe, computed here as the command line would.
Assessment AssessmentOfFields(MainWindow* form)
{
    WindowUserInterface ui(*form);
    const CheckedInputs checked = ReadCheckedInputs(ui, '.');
    RunOutcome outcome;
    outcome.End = RunEnd::Finished;
    outcome.In = checked.Values;
    outcome.Result = Calculate(*checked.Values);
    return Assess(outcome, SolverChoice::Both, MeltProperties {});
}

QString Percent(double value)
{
    return QString::number(value, 'f', 2) + QStringLiteral(" %");
}

QString LabelText(const QWidget* window, const char* name)
{
    const auto* label = window->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("(no label %1)").arg(QLatin1String(name));
}

bool LabelShown(const QWidget* window, const char* name)
{
    const auto* label = window->findChild<QLabel*>(QString::fromLatin1(name));
    return label && label->isVisible();
}

// Two outlet increments of one channel, the second with twice the flow of the first.
DesignFigures TwoOutlets(double scale)
{
    DesignFigures figures;
    for (int i = 1; i <= 3; ++i) {
        IncrementFigures row;
        row.Increment = i;
        row.AngleDegrees = 15 * (i - 0.5);
        row.SlitFlow = scale * i;
        row.ChannelFlow = scale * (3 - i);
        figures.Increments.push_back(row);
    }
    figures.Outlet.Flows = { { 2, 7.5, 1 * scale, 2.0 / 3 }, { 3, 22.5, 2 * scale, 4.0 / 3 } };
    return figures;
}

QList<QLineSeries*> Curves(const QChart* chart)
{
    QList<QLineSeries*> curves;
    for (QAbstractSeries* series : chart->series())
        if (auto* line = qobject_cast<QLineSeries*>(series);
            line && line->type() == QAbstractSeries::SeriesTypeLine)
            curves.append(line);
    return curves;
}

} // namespace

class ResultsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void chartsDrawTheExactAnswerDashedOverTheClassic();
    void outletGoesRoundTheWholeDie();
    void opensOnlyAfterTheFinishDialog();
    void showsTheFiguresOfItsRun_data();
    void showsTheFiguresOfItsRun();
    void followsTheNextRun();
    void remembersItsSizeAndPlace();
    void keepsTheLastRunAfterOneThatDidNotFinish_data();
    void keepsTheLastRunAfterOneThatDidNotFinish();
    void exportsEveryChartTheTableAndTheRun();
    void inputSetsRoundTripAndBadFilesAreRefused();

private:
    // Runs the calculation from the OK button, closing the dialogs it shows; returns their names.
    QStringList Run();

    std::unique_ptr<WindowUnderTest> window_;
};

void ResultsWindowTest::initTestCase()
{
    // The window's remembered size and place go to a folder of the test's own.
    QStandardPaths::setTestModeEnabled(true);
}

void ResultsWindowTest::init()
{
    window_ = std::make_unique<WindowUnderTest>();
    QVERIFY(window_->IsValid());
}

void ResultsWindowTest::cleanup()
{
    window_.reset();
}

QStringList ResultsWindowTest::Run()
{
    ModalDialogCloser closer(window_->Window());
    QTest::mouseClick(OkButton(window_->Window()), Qt::LeftButton);
    return closer.SeenNames();
}

void ResultsWindowTest::chartsDrawTheExactAnswerDashedOverTheClassic()
{
    const DesignFigures classic = TwoOutlets(1);
    const DesignFigures exact = TwoOutlets(0.5);
    const std::unique_ptr<QChart> alone(FlowChart(classic, nullptr));
    const std::unique_ptr<QChart> both(FlowChart(classic, &exact));

    const QList<QLineSeries*> classicCurves = Curves(alone.get());
    const QList<QLineSeries*> allCurves = Curves(both.get());
    QCOMPARE(classicCurves.size(), 2);
    QCOMPARE(allCurves.size(), 4);
    for (const QLineSeries* curve : allCurves) {
        const bool isExact = curve->name().contains("exact");
        QCOMPARE(curve->pen().style() == Qt::DashLine, isExact);
        QCOMPARE(curve->count(), 3);
        // Exact curves carry the exact figures: half the classic flows here.
        const double slitAtTheEnd = curve->name().startsWith("slit") ? (isExact ? 1.5 : 3) : -1;
        if (slitAtTheEnd > 0)
            QCOMPARE(curve->at(2).y(), slitAtTheEnd);
    }
    for (const QAbstractAxis* axis : both->axes())
        QVERIFY2(axis->titleText().contains('('), qPrintable(axis->titleText()));
}

void ResultsWindowTest::outletGoesRoundTheWholeDie()
{
    const DesignFigures classic = TwoOutlets(1);
    const std::vector<CircumferencePoint> round = RoundTheCircumference(classic.Outlet, 3);

    QCOMPARE(round.size(), std::size_t { 6 });
    QCOMPARE(round[2].AngleDegrees, 127.5);
    QCOMPARE(round[5].AngleDegrees, 262.5);
    QCOMPARE(round[5].Relative, 4.0 / 3);

    const std::unique_ptr<QPolarChart> polar(OutletPolarChart(classic, nullptr, 3));
    const QList<QLineSeries*> curves = Curves(polar.get());
    QCOMPARE(curves.size(), 2); // the mean circle and the flows
    const QLineSeries* flows = curves[1];
    QCOMPARE(flows->count(), 6 + 1);
    QCOMPARE(flows->at(6), QPointF(367.5, 2.0 / 3));
    for (const QPointF& point : curves[0]->points())
        QCOMPARE(point.y(), 1.0);
}

void ResultsWindowTest::opensOnlyAfterTheFinishDialog()
{
    MainWindow* form = window_->Window();
    ModalDialogCloser closer(form);
    bool shownDuringTheDialog = true;
    closer.WhileOpen(
        [&](QWidget*) { shownDuringTheDialog = form->Results() && form->Results()->isVisible(); });

    QTest::mouseClick(OkButton(form), Qt::LeftButton);

    QCOMPARE(closer.SeenNames(), QStringList { "FinishForm" });
    QVERIFY(!shownDuringTheDialog);
    QVERIFY(form->Results());
    QVERIFY(form->Results()->isVisible());
    QVERIFY(!form->Results()->isModal());
    QCOMPARE(form->Results()->windowTitle(), QStringLiteral("Karrow \u2014 Results"));
    QVERIFY(!LabelShown(form->Results(), "EarlierRunMark"));
}

void ResultsWindowTest::showsTheFiguresOfItsRun_data()
{
    QTest::addColumn<QString>("powerLawIndex");
    QTest::addColumn<QString>("flowRate");
    QTest::addColumn<bool>("settled");
    QTest::newRow("window defaults") << "0.69"
                                     << "4.12" << true;
    // Stops at its tenth pressure correction while the outlet flows still move.
    QTest::newRow("not settled") << "0.30"
                                 << "2.0" << false;
}

void ResultsWindowTest::showsTheFiguresOfItsRun()
{
    QFETCH(QString, powerLawIndex);
    QFETCH(QString, flowRate);
    QFETCH(bool, settled);
    MainWindow* form = window_->Window();
    MainWindow::FieldTexts texts = form->AllFieldTexts();
    texts[4] = flowRate;
    texts[5] = powerLawIndex;
    form->SetFieldTexts(texts);
    const Assessment expected = AssessmentOfFields(form);
    QVERIFY(expected.Classic && expected.Exact && expected.Exact->Figures && expected.Repeatability);
    QCOMPARE(expected.Repeatability->Repeatable, settled);

    QCOMPARE(Run(), QStringList { "FinishForm" });

    const ResultsWindow* results = form->Results();
    const QString classic = LabelText(results, "ClassicVerdict");
    const DesignFigures& figures = *expected.Classic;
    for (const QString& shown : {
             Percent(figures.Outlet.SpreadPercent),
             Percent(figures.Outlet.CvPercent),
             QString::number(figures.Head.Bar, 'f', 1) + QStringLiteral(" bar"),
             QString::number(figures.Head.KgfCm2, 'f', 2) + QStringLiteral(" kgf/cm2"),
             QString::number(figures.Shear.Channel.Rate, 'f', 1) + QStringLiteral(" 1/s"),
             QString::number(figures.Shear.Land.Rate, 'f', 1) + QStringLiteral(" 1/s"),
             QString::number(figures.Residence.MeanTime, 'f', 1) + QStringLiteral(" s"),
             QString::number(figures.TemperatureRise, 'f', 2) + QStringLiteral(" K"),
         })
        QVERIFY2(classic.contains(shown), qPrintable(shown + " not in " + classic));
    QVERIFY2(LabelText(results, "ExactVerdict")
                 .contains(Percent(expected.Exact->Figures->Outlet.SpreadPercent)),
        qPrintable(LabelText(results, "ExactVerdict")));
    // The default design: 10 pressure corrections, as its report says.
    QVERIFY2(LabelText(results, "ClassicIteration").contains("10 pressure corrections"),
        qPrintable(LabelText(results, "ClassicIteration")));
    QCOMPARE(LabelShown(results, "SettlingWarning"), !settled);
    if (!settled) {
        const QString difference =
            QString::number(expected.Repeatability->FlowChangePercentOfMeanOutlet, 'g', 2) + " %";
        QVERIFY2(LabelText(results, "SettlingWarning").contains(difference),
            qPrintable(LabelText(results, "SettlingWarning")));
    }

    const auto* table = results->findChild<QAbstractItemView*>("IncrementTable");
    QCOMPARE(table->model()->rowCount(), static_cast<int>(figures.Increments.size()));
}

void ResultsWindowTest::followsTheNextRun()
{
    MainWindow* form = window_->Window();
    QCOMPARE(Run(), QStringList { "FinishForm" });
    const ResultsWindow* first = form->Results();
    const QString before = LabelText(first, "ClassicVerdict");

    Edit(form, 5)->setText("6.50");
    const Assessment expected = AssessmentOfFields(form);
    QCOMPARE(Run(), QStringList { "FinishForm" });

    QCOMPARE(form->Results(), first);
    const QString after = LabelText(first, "ClassicVerdict");
    QVERIFY(after != before);
    QVERIFY2(after.contains(Percent(expected.Classic->Outlet.SpreadPercent)), qPrintable(after));
}

void ResultsWindowTest::remembersItsSizeAndPlace()
{
    QCOMPARE(Run(), QStringList { "FinishForm" });
    const QRect chosen(60, 50, 900, 700);
    window_->Window()->Results()->setGeometry(chosen);
    window_->Window()->Results()->close();
    window_ = std::make_unique<WindowUnderTest>();
    QVERIFY(window_->IsValid());

    QCOMPARE(Run(), QStringList { "FinishForm" });

    QCOMPARE(window_->Window()->Results()->geometry(), chosen);
}

void ResultsWindowTest::keepsTheLastRunAfterOneThatDidNotFinish_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("dialog");
    QTest::newRow("inputs rejected") << 1 << "4.0"
                                     << "MessageBox";
    QTest::newRow("no convergence") << 6 << "0.2"
                                    << "MessageBox";
    QTest::newRow("arithmetic fault") << 7 << "1e-300"
                                      << "ErrorBox";
}

void ResultsWindowTest::keepsTheLastRunAfterOneThatDidNotFinish()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, dialog);
    MainWindow* form = window_->Window();
    QCOMPARE(Run(), QStringList { "FinishForm" });
    const QString finished = LabelText(form->Results(), "ClassicVerdict");
    const QString original = Edit(form, field)->text();

    Edit(form, field)->setText(text);
    QCOMPARE(Run(), QStringList { dialog });

    QCOMPARE(LabelText(form->Results(), "ClassicVerdict"), finished);
    QVERIFY(LabelShown(form->Results(), "EarlierRunMark"));

    Edit(form, field)->setText(original);
    QCOMPARE(Run(), QStringList { "FinishForm" });
    QVERIFY(!LabelShown(form->Results(), "EarlierRunMark"));
}

void ResultsWindowTest::exportsEveryChartTheTableAndTheRun()
{
    MainWindow* form = window_->Window();
    QCOMPARE(Run(), QStringList { "FinishForm" });
    ResultsWindow* results = form->Results();
    const Assessment expected = AssessmentOfFields(form);

    // Every chart at the size of the one on screen, whether its tab has been shown or not.
    const QSize size = results->ChartView(ResultsWindow::Chart::Flow)->size();
    QVERIFY(!size.isEmpty());
    for (int chart = 0; chart < ResultsWindow::ChartCount; ++chart) {
        const auto which = static_cast<ResultsWindow::Chart>(chart);
        const QString png = window_->PathOf(QStringLiteral("chart%1.png").arg(chart));
        const QString svg = window_->PathOf(QStringLiteral("chart%1.svg").arg(chart));
        QCOMPARE(results->ExportChart(which, png), std::nullopt);
        QCOMPARE(results->ExportChart(which, svg), std::nullopt);
        QCOMPARE(QImage(png).size(), size);
        const QSvgRenderer drawing(svg);
        QVERIFY2(drawing.isValid(), qPrintable(svg));
        QCOMPARE(drawing.viewBox().size(), size);
    }

    const QString csvPath = window_->PathOf("increments.csv");
    QCOMPARE(results->ExportCsv(csvPath), std::nullopt);
    const QList<QByteArray> rows = Contents(csvPath).trimmed().split('\n');
    QCOMPARE(rows.size(), 1 + 34);
    for (const QByteArray& row : rows)
        QCOMPARE(row.count(','), rows.front().count(','));

    const QString jsonPath = window_->PathOf("run.json");
    QCOMPARE(results->ExportJson(jsonPath), std::nullopt);
    QJsonParseError error;
    const QJsonDocument run = QJsonDocument::fromJson(Contents(jsonPath), &error);
    QVERIFY2(run.isObject(), qPrintable(error.errorString()));
    QCOMPARE(run["end"].toString(), QStringLiteral("finished"));
    QCOMPARE(run["exit_status"].toInt(-1), 0);
    QCOMPARE(run["inputs"]["texts"]["flow-rate-per-channel"].toString(), Edit(form, 5)->text());
    QCOMPARE(run["inputs"]["texts"]["output"].toString(), Edit(form, 15)->text());
    QCOMPARE(run["report"]["increments"].toArray().size(), 34);
    QCOMPARE(run["report"]["outlet"]["spread_percent"].toDouble(), expected.Classic->Outlet.SpreadPercent);
    QVERIFY(run["network"].isObject());

    results->CopyTable();
    QCOMPARE(QApplication::clipboard()->text(),
        QString::fromStdString(IncrementsTabSeparated(*expected.Classic)));
}

void ResultsWindowTest::inputSetsRoundTripAndBadFilesAreRefused()
{
    MainWindow* form = window_->Window();
    QCOMPARE(Run(), QStringList { "FinishForm" });
    ResultsWindow* results = form->Results();

    // A melt of its own in the rheology rows, which the window shows but never lets be typed.
    MainWindow::FieldTexts saved = form->AllFieldTexts();
    saved[1] = QStringLiteral("11.50");
    saved[5] = QStringLiteral("0.550");
    saved[14] = QStringLiteral("second.txt");
    form->SetFieldTexts(saved);
    const QString path = window_->PathOf("design.karrow");
    QVERIFY(results->SaveInputs(path));
    Edit(form, 2)->setText("9.00");
    Edit(form, 15)->setText("other.txt");

    QVERIFY(results->OpenInputs(path));
    QCOMPARE(form->AllFieldTexts(), saved);
    QVERIFY(!Edit(form, 6)->isEnabled());
    QCOMPARE(Run(), QStringList { "FinishForm" });
    QVERIFY(Contents(window_->PathOf("second.txt")).contains("=  0.550"));

    window_->Write("bad.karrow", "{ \"not\": \"an input set\" }");
    const MainWindow::FieldTexts before = form->AllFieldTexts();
    ModalDialogCloser closer(form);
    QVERIFY(!results->OpenInputs(window_->PathOf("bad.karrow")));
    QCOMPARE(closer.SeenNames(), QStringList { "MessageBox" });
    QVERIFY2(closer.Seen()[0].Text.contains(window_->PathOf("bad.karrow")),
        qPrintable(closer.Seen()[0].Text));
    QCOMPARE(form->AllFieldTexts(), before);
}

QTEST_MAIN(ResultsWindowTest)
#include "results_window_test.moc"
