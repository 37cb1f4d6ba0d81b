// The results window after runs from the main window: when and where it opens, what it shows,
// what it keeps after a run that does not finish or fields that change, its exports; and the run
// documents it exports, which the main window opens as inputs.

#include "chart_builders.h"
#include "file_dialogs.h"
#include "main_window.h"
#include "results_window.h"
#include "run/input_set.h"
#include "run/run_json.h"
#include "window_placement.h"
#include "window_under_test.h"
#include "run/user_interface.h"
#include "run/verdict_text.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QFileDialog>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QPolarChart>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTabWidget>
#include <QTest>
#include <QScatterSeries>
#include <QValueAxis>
#include <cmath>
#include <memory>

using namespace karrow;
using namespace karrow::test;

namespace {

// The window's fields as they stand, read as a run reads them.
class FieldsOf final : public UserInterface {
public:
    explicit FieldsOf(const MainWindow* form)
        : texts_(form->AllFieldTexts())
    {
    }
    std::string FieldText(Field field) const override
    {
        return texts_[field].toStdString();
    }
    void ShowMessage(const std::string&) override { }
    void ShowFinishDialog() override { }
    void RereadFileList() override { }

private:
    MainWindow::FieldTexts texts_;
};

// The figures of the run the window's fields describe, computed here as the command line would.
Assessment AssessmentOfFields(MainWindow* form)
{
    FieldsOf fields(form);
    const CheckedInputs checked = ReadCheckedInputs(fields, '.');
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

QValueAxis* ValueAxis(const QChart* chart, Qt::Orientation orientation)
{
    for (QAbstractAxis* axis : chart->axes(orientation))
        if (auto* values = qobject_cast<QValueAxis*>(axis); values && values->isVisible())
            return values;
    return nullptr;
}

QValueAxis* RadialAxis(const QPolarChart* chart)
{
    const QList<QAbstractAxis*> axes = chart->axes(QPolarChart::PolarOrientationRadial);
    return axes.isEmpty() ? nullptr : qobject_cast<QValueAxis*>(axes.front());
}

// Ticks a reader takes in at a glance: every step 1, 2, 2.5 or 5 times a power of ten, from a
// whole number of steps.
bool TicksAreRound(const QValueAxis* axis)
{
    if (!axis || axis->tickCount() < 2)
        return false;
    const double step = (axis->max() - axis->min()) / (axis->tickCount() - 1);
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
    bool round = false;
    for (const double factor : { 1.0, 2.0, 2.5, 5.0, 10.0 })
        round = round || std::abs(mantissa - factor) < 1e-9;
    const double fromZero = axis->min() / step;
    return round && std::abs(fromZero - std::round(fromZero)) < 1e-9;
}

// How many pixels of exactly `colour` the chart's legend shows, drawn at a size of its own.
int LegendPixels(QChart* chart, const QColor& colour)
{
    QChartView view(chart);
    view.resize(800, 500);
    view.show();
    QApplication::processEvents();
    QImage image(view.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        view.render(&painter);
    }
    QApplication::processEvents();
    const QRect legend =
        view.mapFromScene(chart->mapToScene(chart->legend()->geometry())).boundingRect();
    int count = 0;
    for (int y = std::max(0, legend.top()); y <= std::min(image.height() - 1, legend.bottom()); ++y)
        for (int x = std::max(0, legend.left()); x <= std::min(image.width() - 1, legend.right());
             ++x)
            count += image.pixelColor(x, y).rgb() == colour.rgb() ? 1 : 0;
    view.setChart(new QChart); // the caller still owns `chart`
    return count;
}

QAction* MenuAction(const MainWindow* form, const char* name)
{
    return form->findChild<QAction*>(QString::fromLatin1(name));
}

} // namespace

class ResultsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void chartsDrawTheExactAnswerDashedOverTheClassic();
    void chartsRangeOverAllTheirCurves();
    void outletGoesRoundTheWholeDie();
    void barLegendShowsEachSetFilledInItsColour();
    void outletChartsAtTheExactResolutionMarkTheFifteenDegreePoints_data();
    void outletChartsAtTheExactResolutionMarkTheFifteenDegreePoints();
    void placedBesideTheMainWindowInsideTheScreen_data();
    void placedBesideTheMainWindowInsideTheScreen();
    void opensOnlyAfterTheFinishDialog();
    void showsTheFiguresOfItsRun_data();
    void showsTheFiguresOfItsRun();
    void followsTheNextRun();
    void marksItsRunStaleWhileTheFieldsDiffer();
    void remembersItsSizeAndPlaceWithinTheScreen();
    void escapeClosesItAndTheMenuBringsItBack();
    void keepsTheLastRunAfterOneThatDidNotFinish_data();
    void keepsTheLastRunAfterOneThatDidNotFinish();
    void exportsEveryChartTheTableAndTheRun();
    void exportDialogsAddTheChosenFiltersSuffix_data();
    void exportDialogsAddTheChosenFiltersSuffix();
    void runDocumentsOpenAsTheirInputsAndOtherFilesAreRefused();

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
    // Each test places the window afresh, whatever an earlier one (or an aborted run) left.
    QSettings().remove(QStringLiteral("ResultsWindow/geometry"));
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

void ResultsWindowTest::chartsRangeOverAllTheirCurves()
{
    // The land's shear three times the channel's, and the exact answer higher still.
    DesignFigures classic = TwoOutlets(1);
    for (IncrementFigures& row : classic.Increments) {
        row.Channel.Rate = 80 + row.Increment;
        row.Slit.Rate = 250 - row.Increment;
        row.PressureKgfCm2 = 30.0 * (4 - row.Increment);
    }
    DesignFigures exact = classic;
    exact.Increments[1].Slit.Rate = 310;
    exact.Increments[2].ChannelFlow = -0.4; // a channel flow running backwards

    const std::unique_ptr<QChart> shear(WallShearChart(classic, &exact));
    const QValueAxis* shearAxis = ValueAxis(shear.get(), Qt::Vertical);
    QVERIFY(shearAxis);
    QVERIFY2(shearAxis->max() >= 310, qPrintable(QString::number(shearAxis->max())));
    QCOMPARE(shearAxis->min(), 0.0);
    QVERIFY(TicksAreRound(shearAxis));

    const std::unique_ptr<QChart> flow(FlowChart(classic, &exact));
    const QValueAxis* flowAxis = ValueAxis(flow.get(), Qt::Vertical);
    QVERIFY(flowAxis->min() <= -0.4 && flowAxis->max() >= 3);
    QVERIFY(TicksAreRound(flowAxis));

    const std::unique_ptr<QChart> pressure(PressureChart(classic, nullptr));
    QVERIFY(ValueAxis(pressure.get(), Qt::Vertical)->max() >= 90);
}

void ResultsWindowTest::outletGoesRoundTheWholeDie()
{
    const DesignFigures classic = TwoOutlets(1);
    const std::vector<CircumferencePoint> round = RoundTheCircumference(classic.Outlet, 3);

    QCOMPARE(round.size(), std::size_t { 6 });
    QCOMPARE(round[2].AngleDegrees, 127.5);
    QCOMPARE(round[5].AngleDegrees, 262.5);
    QCOMPARE(round[5].Relative, 4.0 / 3);

    // Outlets at 7.5 and 22.5 degrees of each of 12 sectors: the curve is closed at 0 and 360
    // degrees, on the straight line from the last outlet (352.5) to the first of the next turn.
    DesignFigures twelve = classic;
    twelve.Outlet.Flows = { { 2, 7.5, 1, 0.5 }, { 3, 22.5, 3, 1.5 } };
    const std::unique_ptr<QPolarChart> polar(OutletPolarChart(twelve, &classic, 12));
    const QList<QLineSeries*> curves = Curves(polar.get());
    QCOMPARE(curves.size(), 3); // the mean circle, the classic and the exact flows
    for (const QPointF& point : curves[0]->points())
        QCOMPARE(point.y(), 1.0);
    const QLineSeries* flows = curves[1];
    QCOMPARE(flows->count(), 1 + 24 + 1);
    QCOMPARE(flows->at(0).x(), 0.0);
    QCOMPARE(flows->at(1), QPointF(7.5, 0.5));
    QCOMPARE(flows->at(flows->count() - 1).x(), 360.0);
    // 352.5 degrees at 1.5, 367.5 at 0.5: at 360 halfway between.
    QCOMPARE(flows->at(0).y(), 1.0);
    QCOMPARE(flows->at(flows->count() - 1).y(), 1.0);
    for (const QPointF& point : flows->points())
        QVERIFY(point.x() >= 0 && point.x() <= 360);

    // Round radial ticks reaching past the largest flow, and no title on them.
    const QValueAxis* radial = RadialAxis(polar.get());
    QVERIFY(radial);
    QVERIFY(TicksAreRound(radial));
    QCOMPARE(radial->min(), 0.0);
    QVERIFY(radial->max() >= 1.5);
    QVERIFY(radial->titleText().isEmpty() || !radial->isTitleVisible());
    QVERIFY2(polar->title().contains("relative to the mean"), qPrintable(polar->title()));
}

void ResultsWindowTest::barLegendShowsEachSetFilledInItsColour()
{
    const DesignFigures classic = TwoOutlets(1);
    const DesignFigures exact = TwoOutlets(0.5);
    QChart* chart = OutletBarChart(classic, &exact, 4);
    const std::unique_ptr<QChart> owner(chart);

    // The exact answer's bars and the classic 15-degree points: each in a colour of its own.
    QList<QColor> colours;
    for (QAbstractSeries* series : chart->series()) {
        if (auto* bars = qobject_cast<QBarSeries*>(series))
            for (QBarSet* set : bars->barSets())
                colours.append(set->color());
        if (auto* points = qobject_cast<QScatterSeries*>(series))
            colours.append(points->color());
    }
    QCOMPARE(colours.size(), 2);
    QVERIFY(colours[0] != colours[1]);
    // A filled marker shows dozens of pixels of its set's colour; a hollow one none.
    for (const QColor& colour : colours) {
        const int pixels = LegendPixels(chart, colour);
        QVERIFY2(pixels >= 20, qPrintable(QStringLiteral("%1 pixels of %2 in the legend")
                                              .arg(pixels)
                                              .arg(colour.name())));
    }

    // The mean drawn across all the bars, on a round scale.
    const QList<QLineSeries*> lines = Curves(chart);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines[0]->at(0).y(), 1.0);
    QCOMPARE(lines[0]->at(1).y(), 1.0);
    QCOMPARE(lines[0]->at(1).x() - lines[0]->at(0).x(), 8.0); // the 8 bars of 4 channels
    QVERIFY(TicksAreRound(ValueAxis(chart, Qt::Vertical)));
}

void ResultsWindowTest::outletChartsAtTheExactResolutionMarkTheFifteenDegreePoints_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("exactIncrements"); // per channel pitch
    QTest::addColumn<int>("classicIncrements");
    QTest::newRow("4 channels: both on the 15-degree grid") << 4 << 6 << 6;
    QTest::newRow("5 channels: 14.4 degrees against 15") << 5 << 5 << 4;
    QTest::newRow("10 channels: 18 degrees against 15") << 10 << 2 << 2;
}

void ResultsWindowTest::outletChartsAtTheExactResolutionMarkTheFifteenDegreePoints()
{
    QFETCH(int, channels);
    QFETCH(int, exactIncrements);
    QFETCH(int, classicIncrements);
    MainWindow* form = window_->Window();
    MainWindow::FieldTexts texts = form->AllFieldTexts();
    texts[Field::NumberOfChannels] = QString::number(channels);
    texts[Field::ChannelWidth] = QStringLiteral("0.5"); // ten channels of 1.2 cm leave no land
    form->SetFieldTexts(texts);
    const Assessment answers = AssessmentOfFields(form);
    QVERIFY(answers.Classic && answers.Exact && answers.Exact->Figures);
    QCOMPARE(answers.Exact->IncrementsPerPitch, exactIncrements);
    const DesignFigures& classic = *answers.Classic;
    const DesignFigures& exact = *answers.Exact->Figures;
    QCOMPARE(static_cast<int>(classic.Outlet.Flows.size()), classicIncrements);
    const double pitch = 360.0 / channels;
    const double increment = pitch / exactIncrements;

    // The classic flows at (k - 1/2) 15 degrees from the start of each channel's outlet zone.
    const auto atFifteenDegrees = [&](int n) {
        return (n / classicIncrements) * pitch + (n % classicIncrements + 0.5) * 15;
    };
    const auto classicRelative = [&](int n) {
        return classic.Outlet.Flows[static_cast<std::size_t>(n % classicIncrements)].Relative;
    };
    const int marks = channels * classicIncrements;
    const int bars = channels * exactIncrements;

    const std::unique_ptr<QPolarChart> polar(OutletPolarChart(classic, &exact, channels));
    const QList<QScatterSeries*> polarMarks = polar->findChildren<QScatterSeries*>();
    QCOMPARE(polarMarks.size(), 1);
    QVERIFY(polarMarks[0]->name().contains("15°"));
    QCOMPARE(polarMarks[0]->count(), marks);
    for (int n = 0; n < marks; ++n) {
        QCOMPARE(polarMarks[0]->at(n).x(), atFifteenDegrees(n));
        QCOMPARE(polarMarks[0]->at(n).y(), classicRelative(n));
    }
    // The dashed curve passes through the exact answer at (j - 1/2) of its own increment,
    // closed at 0 and 360 degrees.
    const QLineSeries* dashed = nullptr;
    for (QLineSeries* curve : Curves(polar.get()))
        if (curve->pen().style() == Qt::DashLine)
            dashed = curve;
    QVERIFY(dashed);
    QCOMPARE(dashed->count(), 1 + bars + 1);
    QCOMPARE(dashed->at(0).x(), 0.0);
    QCOMPARE(dashed->at(bars + 1).x(), 360.0);
    for (int j = 1; j <= bars; ++j) {
        QVERIFY(std::abs(dashed->at(j).x() - (j - 0.5) * increment) < 1e-9);
        QCOMPARE(dashed->at(j).y(),
            exact.Outlet.Flows[static_cast<std::size_t>((j - 1) % exactIncrements)].Relative);
    }

    // The bars: one per exact increment round the die, labelled with its middle; the marks on
    // the bar positions' axis, where bar j stands at j over ((j + 1/2) increment) degrees.
    const std::unique_ptr<QChart> barChart(OutletBarChart(classic, &exact, channels));
    const QList<QBarSet*> sets = barChart->findChildren<QBarSet*>();
    QCOMPARE(sets.size(), 1);
    QCOMPARE(sets[0]->count(), bars);
    QCOMPARE(sets[0]->at(bars - 1), exact.Outlet.Flows.back().Relative);
    const auto* angles = qobject_cast<QBarCategoryAxis*>(barChart->axes(Qt::Horizontal).front());
    QVERIFY(angles);
    QCOMPARE(angles->count(), bars);
    QCOMPARE(angles->at(1), QString::number(1.5 * increment, 'f', 1));
    const QList<QScatterSeries*> barMarks = barChart->findChildren<QScatterSeries*>();
    QCOMPARE(barMarks.size(), 1);
    QCOMPARE(barMarks[0]->count(), marks);
    for (int n = 0; n < marks; ++n) {
        QVERIFY(std::abs((barMarks[0]->at(n).x() + 0.5) * increment - atFifteenDegrees(n)) < 1e-9);
        QCOMPARE(barMarks[0]->at(n).y(), classicRelative(n));
    }
    QVERIFY(barMarks[0]->at(marks - 1).x() < bars - 0.5);

    // Without an exact answer the bars are the classic ones, and nothing is marked on them.
    const std::unique_ptr<QChart> classicOnly(OutletBarChart(classic, nullptr, channels));
    QCOMPARE(classicOnly->findChildren<QBarSet*>().front()->count(), marks);
    QVERIFY(classicOnly->findChildren<QScatterSeries*>().isEmpty());
}

void ResultsWindowTest::placedBesideTheMainWindowInsideTheScreen_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("main");
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QPoint>("mainMovedTo");
    const QRect wide(0, 0, 1920, 1050);
    const QRect small(0, 0, 1366, 738); // 1366 x 768 less a panel of 30 at the bottom
    QTest::newRow("room on the right")
        << wide << QRect(100, 100, 651, 500) << QRect(751, 100, 1000, 760) << QPoint(100, 100);
    QTest::newRow("room on the left only")
        << wide << QRect(1200, 100, 651, 500) << QRect(200, 100, 1000, 760) << QPoint(1200, 100);
    QTest::newRow("narrowed on the right") << QRect(0, 0, 1600, 900) << QRect(300, 100, 651, 500)
                                           << QRect(951, 100, 649, 760) << QPoint(300, 100);
    // Centred on 1366 x 768 the main window leaves 357 px each side: it moves to the left edge.
    QTest::newRow("1366 x 768") << small << QRect(357, 130, 651, 500)
                                << QRect(651, 0, 715, 738) << QPoint(0, 130);
    QTest::newRow("too small for both") << QRect(0, 0, 800, 600) << QRect(80, 50, 651, 500)
                                        << QRect(0, 0, 800, 600) << QPoint(80, 50);
    QTest::newRow("second screen") << QRect(1920, 0, 1280, 1024) << QRect(2000, 900, 651, 100)
                                   << QRect(2571, 264, 629, 760) << QPoint(1920, 900);
}

void ResultsWindowTest::placedBesideTheMainWindowInsideTheScreen()
{
    QFETCH(QRect, screen);
    QFETCH(QRect, main);
    QFETCH(QRect, window);
    QFETCH(QPoint, mainMovedTo);

    const PlaceBeside place = PlaceBesideMain(main, QSize(1000, 760), 560, screen);

    QCOMPARE(place.Window, window);
    QCOMPARE(place.MainTopLeft, mainMovedTo);
    QVERIFY(screen.contains(place.Window));
    QVERIFY(screen.contains(QRect(place.MainTopLeft, main.size())) || !screen.contains(main));
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
    texts[Field::FlowRatePerChannel] = flowRate;
    texts[Field::PowerLawIndex] = powerLawIndex;
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
        // The command line's very words, with the figures of this run's probe.
        const QString warning = LabelText(results, "SettlingWarning");
        QCOMPARE(warning, QString::fromStdString(SettlingWarning(*expected.Repeatability)));
        for (const QString& figure : {
                 Percent(expected.Repeatability->FlowChangePercentOfMeanOutlet),
                 QString::number(expected.Repeatability->HeadKgfCm2.High, 'f', 2) + " kgf/cm2",
             })
            QVERIFY2(warning.contains(figure), qPrintable(figure + " not in " + warning));
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

void ResultsWindowTest::marksItsRunStaleWhileTheFieldsDiffer()
{
    MainWindow* form = window_->Window();
    Edit(form, 5)->setText("5.25");
    QCOMPARE(Run(), QStringList { "FinishForm" });
    const ResultsWindow* results = form->Results();
    QVERIFY(!LabelShown(results, "StaleMark"));
    const QString inputs = LabelText(results, "RunInputs");
    for (const char* shown : { "4 channels", "5.25 cm3/sec", "n = 0.69", "39 increments" })
        QVERIFY2(inputs.contains(shown), qPrintable(inputs));

    Edit(form, 13)->setText("1.3");
    QVERIFY(LabelShown(results, "StaleMark"));
    Edit(form, 13)->setText("1.2");
    QVERIFY(!LabelShown(results, "StaleMark"));

    // An input set opened after the run: what is shown is no longer what the fields say.
    MainWindow::FieldTexts other = form->AllFieldTexts();
    other[Field::FlowRatePerChannel] = QStringLiteral("3.00");
    form->SetFieldTexts(other);
    QVERIFY(LabelShown(results, "StaleMark"));
    QCOMPARE(LabelText(results, "RunInputs"), inputs);
    QCOMPARE(Run(), QStringList { "FinishForm" });
    QVERIFY(!LabelShown(results, "StaleMark"));
    QVERIFY(LabelText(results, "RunInputs").contains("3.00 cm3/sec"));
}

void ResultsWindowTest::remembersItsSizeAndPlaceWithinTheScreen()
{
    QCOMPARE(Run(), QStringList { "FinishForm" });
    const QRect available = window_->Window()->screen()->availableGeometry();
    // Opened for the first time: inside the screen, whatever it wants.
    ResultsWindow* results = window_->Window()->Results();
    QVERIFY(available.contains(results->frameGeometry()));
    // A figure of 300 digits, which no line can break, must not widen the window either.
    results->findChild<QLabel*>("ClassicVerdict")->setText(QString(300, QLatin1Char('9')));
    results->findChild<QLabel*>("RunInputs")->setText(QString(300, QLatin1Char('9')));
    QApplication::processEvents();
    QVERIFY(results->minimumSizeHint().width() < available.width());
    QVERIFY(available.contains(results->frameGeometry()));

    const QRect chosen(QPoint(30, 20),
        available.size().boundedTo(results->minimumSizeHint().expandedTo(available.size() / 2)));
    window_->Window()->Results()->setGeometry(chosen);
    window_->Window()->Results()->close();
    // The old one first: its end restores the current folder, which the new one changes.
    window_.reset();
    window_ = std::make_unique<WindowUnderTest>();
    QVERIFY(window_->IsValid());
    QCOMPARE(Run(), QStringList { "FinishForm" });
    QCOMPARE(window_->Window()->Results()->geometry(), chosen);

    // Grown past the screen (by a long figure, or on a larger screen): back inside it.
    window_->Window()->Results()->setGeometry(QRect(-100, 10, 2400, 1800));
    window_->Window()->Results()->close();
    window_.reset();
    window_ = std::make_unique<WindowUnderTest>();
    QVERIFY(window_->IsValid());
    QCOMPARE(Run(), QStringList { "FinishForm" });
    const QRect restored = window_->Window()->Results()->frameGeometry();
    QVERIFY2(available.contains(restored),
        qPrintable(QStringLiteral("%1,%2 %3x%4")
                       .arg(restored.x())
                       .arg(restored.y())
                       .arg(restored.width())
                       .arg(restored.height())));
}

void ResultsWindowTest::escapeClosesItAndTheMenuBringsItBack()
{
    MainWindow* form = window_->Window();
    QAction* showResults = MenuAction(form, "ShowResultsAction");
    QVERIFY(showResults && !showResults->isEnabled());
    QCOMPARE(Run(), QStringList { "FinishForm" });
    ResultsWindow* results = form->Results();
    QVERIFY(QTest::qWaitForWindowActive(results));

    // Pressed where the focus is; the table and the charts leave Escape to the window.
    QWidget* focus = results->focusWidget();
    QTest::keyClick(focus ? focus : results, Qt::Key_Escape);
    QVERIFY(!results->isVisible());
    QVERIFY(showResults->isEnabled());
    showResults->trigger();
    QVERIFY(results->isVisible());
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

void ResultsWindowTest::exportDialogsAddTheChosenFiltersSuffix_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::newRow("SVG chosen, no suffix") << 1 << "ExportChartButton"
                                           << "SVG drawing (*.svg)"
                                           << "pressure"
                                           << "pressure.svg";
    QTest::newRow("PNG chosen, .svg typed") << 0 << "ExportChartButton"
                                            << "PNG image (*.png)"
                                            << "flow.svg"
                                            << "flow.svg";
    QTest::newRow("PNG chosen, other dot") << 4 << "ExportChartButton"
                                           << "PNG image (*.png)"
                                           << "shear.v2"
                                           << "shear.v2.png";
    QTest::newRow("CSV") << 0 << "ExportCsvButton"
                         << "CSV (*.csv)"
                         << "rows"
                         << "rows.csv";
    QTest::newRow("JSON") << 0 << "ExportJsonButton"
                          << "JSON (*.json)"
                          << "run"
                          << "run.json";
}

void ResultsWindowTest::exportDialogsAddTheChosenFiltersSuffix()
{
    QFETCH(int, tab);
    QFETCH(QString, button);
    QFETCH(QString, filter);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    MainWindow* form = window_->Window();
    QCOMPARE(Run(), QStringList { "FinishForm" });
    ResultsWindow* results = form->Results();
    results->findChild<QTabWidget*>("ResultTabs")->setCurrentIndex(tab);

    ModalDialogCloser closer(form);
    closer.WhileOpen([&](QWidget* dialog) {
        auto* chooser = qobject_cast<QFileDialog*>(dialog);
        if (!chooser)
            return;
        chooser->selectNameFilter(filter);
        chooser->selectFile(window_->PathOf(typed));
        static_cast<QDialog*>(chooser)->accept();
    });
    QTest::mouseClick(results->findChild<QPushButton*>(button), Qt::LeftButton);

    QCOMPARE(closer.SeenNames(), QStringList { "SaveFileDialog" });
    const QByteArray contents = Contents(window_->PathOf(written));
    if (written.endsWith(".svg"))
        QVERIFY(QSvgRenderer(contents).isValid());
    else if (written.endsWith(".png"))
        QVERIFY(contents.startsWith("\x89PNG"));
    else if (written.endsWith(".csv"))
        QVERIFY(contents.contains(',') && !contents.startsWith('{'));
    else
        QVERIFY(QJsonDocument::fromJson(contents).isObject());
    QVERIFY(!Exists(window_->PathOf(typed)) || typed == written);

    // Once more: the name with its suffix now exists, and is kept unless the user says so.
    if (typed == written)
        return;
    window_->Write(written, "kept");
    QTest::mouseClick(results->findChild<QPushButton*>(button), Qt::LeftButton);
    QCOMPARE(closer.SeenNames(),
        QStringList({ "SaveFileDialog", "SaveFileDialog", "ReplaceQuestion" }));
    QCOMPARE(Contents(window_->PathOf(written)), QByteArray("kept"));
}

void ResultsWindowTest::runDocumentsOpenAsTheirInputsAndOtherFilesAreRefused()
{
    MainWindow* form = window_->Window();
    Edit(form, 5)->setText("3.75");
    QCOMPARE(Run(), QStringList { "FinishForm" });
    const MainWindow::FieldTexts ran = form->AllFieldTexts();
    const QString document = window_->PathOf("run.json");
    QCOMPARE(form->Results()->ExportJson(document), std::nullopt);
    Edit(form, 5)->setText("1.00");
    Edit(form, 1)->setText("6");

    QVERIFY(form->OpenInputs(document));
    QCOMPARE(form->AllFieldTexts(), ran);

    // Neither an input set nor a run document with its inputs: a message naming the file, the
    // fields as they were.
    struct Refused {
        const char* Name;
        QByteArray Contents;
        const char* Said;
    };
    const QList<Refused> refused {
        { "bad.karrow", "{ \"not\": \"an input set\" }", "" },
        { "partial.json", R"({ "end": "finished", "inputs": { "texts": { "channels": "4" } } })",
            "document of a run" },
    };
    const MainWindow::FieldTexts before = form->AllFieldTexts();
    for (const Refused& file : refused) {
        window_->Write(file.Name, file.Contents);
        ModalDialogCloser closer(form);
        QVERIFY(!form->OpenInputs(window_->PathOf(file.Name)));
        QCOMPARE(closer.SeenNames(), QStringList { "MessageBox" });
        const QString said = closer.Seen()[0].Text;
        QVERIFY2(said.contains(window_->PathOf(file.Name)) && said.contains(file.Said),
            qPrintable(said));
        QCOMPARE(form->AllFieldTexts(), before);
    }
}

QTEST_MAIN(ResultsWindowTest)
#include "results_window_test.moc"
