// The results window's design search: opened from a finished run, it runs a search to its end in
// the background and shows the best design beside the current one; Cancel ends a long search
// with the window still answering; the best design's texts go into the main window's fields;
// choices that make no problem are refused naming the field, and a problem no design can keep is
// never answered with a design.

#include "main_window.h"
#include "melt_choice.h"
#include "optimise_dialog.h"
#include "results_window.h"
#include "run/input_reading.h"
#include "run/optimise.h"
#include "solver/extended.h"
#include "window_under_test.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <cmath>
#include <memory>

using namespace karrow;
using namespace karrow::test;

namespace {

constexpr int SearchTimeoutMs = 120000;

template <typename T>
T* Child(const QWidget* parent, const QString& name)
{
    T* child = parent->findChild<T*>(name);
    if (!child)
        qFatal("no child %s", qPrintable(name));
    return child;
}

QString Text(const QWidget* dialog, const QString& label) { return Child<QLabel>(dialog, label)->text(); }

FieldTexts TextsOf(const MainWindow* form)
{
    FieldTexts texts;
    const MainWindow::FieldTexts fields = form->AllFieldTexts();
    for (const Field field : AllFields)
        texts[field] = fields[field].toStdString();
    return texts;
}

// Only the named fields varied, within the given bounds.
void VaryOnly(QWidget* dialog, const QList<std::tuple<QString, QString, QString>>& bounds)
{
    for (QCheckBox* box : dialog->findChildren<QCheckBox*>())
        if (box->objectName().startsWith(QStringLiteral("Vary_")))
            box->setChecked(false);
    for (const auto& [name, low, high] : bounds) {
        Child<QCheckBox>(dialog, QStringLiteral("Vary_") + name)->setChecked(true);
        Child<QLineEdit>(dialog, QStringLiteral("Low_") + name)->setText(low);
        Child<QLineEdit>(dialog, QStringLiteral("High_") + name)->setText(high);
    }
}

// Two profile ends within narrow bounds round the default design: a search of a moment.
void ChooseSmallProblem(QWidget* dialog)
{
    VaryOnly(dialog,
        { { "inlet-slit-height", "0.005", "0.02" }, { "outlet-slit-height", "0.12", "0.2" } });
}

DesignEvaluation Judge(const FieldTexts& texts, const EvaluationSettings& settings)
{
    const InputReading read = ReadInputs(
        [&](Field field) { return texts[field]; }, '.');
    if (!read.Values)
        qFatal("texts refused: %s", read.Problem.c_str());
    PrepareFloatingPoint();
    return EvaluateDesign(*read.Values, settings);
}

} // namespace

class OptimiseDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init() { window_ = std::make_unique<WindowUnderTest>(); }
    void cleanup() { window_.reset(); }

    void searchesFromTheResultsWindowAndUsesTheBest();
    void cancelEndsALongSearchWithTheWindowAnswering();
    void refusedChoicesNameTheField_data();
    void refusedChoicesNameTheField();
    void anUnkeepableLimitIsNeverAnswered();
    void aFrontIsDrawnAndEachOfItsDesignsUsable();
    void searchesWithTheMeltOfTheMeltDialog();

private:
    std::unique_ptr<WindowUnderTest> window_;
};

void OptimiseDialogTest::searchesFromTheResultsWindowAndUsesTheBest()
{
    MainWindow* form = window_->Window();
    {
        ModalDialogCloser closer(form);
        QTest::mouseClick(OkButton(form), Qt::LeftButton);
    }
    QVERIFY(form->Results());
    QTest::mouseClick(Child<QPushButton>(form->Results(), "OptimiseButton"), Qt::LeftButton);
    auto* dialog = form->Results()->findChild<OptimiseDialog*>();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    const FieldTexts before = TextsOf(form);
    // Offered from the design: its own head pressure kept as a limit.
    QVERIFY(Child<QCheckBox>(dialog, "Limit_head-pressure")->isChecked());
    ChooseSmallProblem(dialog);

    QSignalSpy ended(dialog, &OptimiseDialog::SearchEnded);
    QTest::mouseClick(Child<QPushButton>(dialog, "StartButton"), Qt::LeftButton);
    QVERIFY(dialog->Running());
    QVERIFY(ended.wait(SearchTimeoutMs));
    QVERIFY(!dialog->Running());

    QVERIFY2(Text(dialog, "SearchStatus").startsWith("The best design found."),
        qPrintable(Text(dialog, "SearchStatus")));
    QVERIFY(Text(dialog, "ChosenFigures").contains("Outlet spread"));
    QCOMPARE(Child<QChartView>(dialog, "OutletComparisonChart")->chart()->series().size(), 2);
    const auto best = dialog->ChosenTexts();
    QVERIFY(best);
    // Only the varied fields differ from the design searched from.
    for (const Field field : AllFields)
        if (field != Field::InletSlitHeight && field != Field::OutletSlitHeight)
            QCOMPARE((*best)[field], before[field]);

    // The best keeps the limit offered and is no less even than the design searched from.
    EvaluationSettings settings;
    const DesignEvaluation current = Judge(before, settings);
    const DesignEvaluation found = Judge(*best, settings);
    QVERIFY(found.Figures && current.Figures);
    QVERIFY(found.Objective <= current.Objective);
    const double limitBar =
        Child<QLineEdit>(dialog, "LimitValue_head-pressure")->text().toDouble();
    QVERIFY(found.Figures->Head.Bar <= limitBar);

    QTest::mouseClick(Child<QPushButton>(dialog, "UseButton"), Qt::LeftButton);
    QCOMPARE(TextsOf(form), *best);
    // The results window now shows a design other than the fields: OK runs the new one.
    QVERIFY(Child<QLabel>(form->Results(), "StaleMark")->isVisibleTo(form->Results()));
}

void OptimiseDialogTest::cancelEndsALongSearchWithTheWindowAnswering()
{
    MainWindow* form = window_->Window();
    OptimiseDialog dialog(*form, TextsOf(form), '.');
    dialog.show();
    // The four profile ends offered and a front of many designs: a search of seconds.
    Child<QSpinBox>(&dialog, "FrontPoints")->setValue(30);
    QSignalSpy ended(&dialog, &OptimiseDialog::SearchEnded);

    QTest::mouseClick(Child<QPushButton>(&dialog, "StartButton"), Qt::LeftButton);
    QVERIFY(dialog.Running());
    QVERIFY(!Child<QPushButton>(&dialog, "StartButton")->isEnabled());
    QVERIFY(!Child<QLineEdit>(&dialog, "Low_inlet-slit-height")->isEnabled());
    // Start has returned with the search still running: the window's own thread is free, and a
    // click reaches Cancel.
    QTest::mouseClick(Child<QPushButton>(&dialog, "CancelButton"), Qt::LeftButton);
    QVERIFY(ended.wait(SearchTimeoutMs));

    QVERIFY2(Text(&dialog, "SearchStatus").startsWith("Cancelled: the best design so far."),
        qPrintable(Text(&dialog, "SearchStatus")));
    QVERIFY(Child<QPushButton>(&dialog, "StartButton")->isEnabled());
    QVERIFY(!Child<QPushButton>(&dialog, "CancelButton")->isEnabled());
    QVERIFY(Child<QLineEdit>(&dialog, "Low_inlet-slit-height")->isEnabled());

    // A search started again and the dialog closed meanwhile: it stops and nothing is left.
    QVERIFY(dialog.Start());
    dialog.reject();
    QVERIFY(ended.wait(SearchTimeoutMs));
    QVERIFY(!dialog.Running());
}

void OptimiseDialogTest::refusedChoicesNameTheField_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("problem");
    QTest::newRow("a bound not a number")
        << "Low_outlet-slit-height" << "abc"
        << "Outlet Slit Height (cm): the bound \"abc\" is not a number.";
    QTest::newRow("low above high") << "Low_outlet-slit-height" << "0.3"
                                    << "Outlet Slit Height (cm): the lower bound is above the upper one.";
    QTest::newRow("a limit not positive") << "LimitValue_head-pressure" << "0"
                                          << "Head pressure at most (bar): \"0\" is not a positive number.";
    QTest::newRow("a comma where the separator is a point")
        << "High_inlet-slit-height" << "0,02"
        << "Inlet Slit Height (cm): the bound \"0,02\" is not a number.";
}

void OptimiseDialogTest::refusedChoicesNameTheField()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, problem);
    MainWindow* form = window_->Window();
    OptimiseDialog dialog(*form, TextsOf(form), '.');
    ChooseSmallProblem(&dialog);
    Child<QLineEdit>(&dialog, field)->setText(text);

    QVERIFY(!dialog.Start());
    QVERIFY(!dialog.Running());
    QCOMPARE(Text(&dialog, "ProblemLabel"), problem);
    QVERIFY(Child<QLabel>(&dialog, "ProblemLabel")->isVisibleTo(&dialog));

    // Mended, the same choices start.
    ChooseSmallProblem(&dialog);
    Child<QLineEdit>(&dialog, "LimitValue_head-pressure")->setText("1000");
    QSignalSpy ended(&dialog, &OptimiseDialog::SearchEnded);
    QVERIFY(dialog.Start());
    QVERIFY(!Child<QLabel>(&dialog, "ProblemLabel")->isVisibleTo(&dialog));
    QVERIFY(ended.wait(SearchTimeoutMs));
}

void OptimiseDialogTest::anUnkeepableLimitIsNeverAnswered()
{
    MainWindow* form = window_->Window();
    OptimiseDialog dialog(*form, TextsOf(form), '.');
    ChooseSmallProblem(&dialog);
    Child<QLineEdit>(&dialog, "LimitValue_head-pressure")->setText("1");
    QSignalSpy ended(&dialog, &OptimiseDialog::SearchEnded);

    QVERIFY(dialog.Start());
    QVERIFY(ended.wait(SearchTimeoutMs));

    const QString status = Text(&dialog, "SearchStatus");
    QVERIFY2(status.startsWith("No design in the bounds keeps every limit:"), qPrintable(status));
    QVERIFY2(status.contains("head pressure"), qPrintable(status));
    QVERIFY(!Child<QPushButton>(&dialog, "UseButton")->isEnabled());
    const FieldTexts before = TextsOf(form);
    dialog.UseChosenDesign();
    QCOMPARE(TextsOf(form), before);
}

void OptimiseDialogTest::aFrontIsDrawnAndEachOfItsDesignsUsable()
{
    MainWindow* form = window_->Window();
    OptimiseDialog dialog(*form, TextsOf(form), '.');
    ChooseSmallProblem(&dialog);
    Child<QSpinBox>(&dialog, "FrontPoints")->setValue(3);
    QSignalSpy ended(&dialog, &OptimiseDialog::SearchEnded);

    QVERIFY(dialog.Start());
    QVERIFY(ended.wait(SearchTimeoutMs));

    QVERIFY(dialog.FrontDesignCount() >= 2);
    auto* tabs = Child<QChartView>(&dialog, "FrontChart")->parentWidget()->parentWidget();
    QVERIFY(qobject_cast<QTabWidget*>(tabs)->isTabEnabled(1));
    QScatterSeries* points = nullptr;
    for (QAbstractSeries* series : Child<QChartView>(&dialog, "FrontChart")->chart()->series())
        if (auto* scatter = qobject_cast<QScatterSeries*>(series))
            points = scatter;
    QVERIFY(points);
    QCOMPARE(points->count(), dialog.FrontDesignCount());

    // A click near a point chooses the design drawn there: its texts give the figures plotted.
    for (int k : { dialog.FrontDesignCount() - 1, 0 }) {
        const QPointF drawn = points->at(k);
        emit points->clicked(drawn + QPointF(1e-3, 1e-3));
        QCOMPARE(Child<QLabel>(&dialog, "ChosenTitle")->text(),
            QStringLiteral("<b>Design %1 of %2 of the front</b>")
                .arg(k + 1)
                .arg(dialog.FrontDesignCount()));
        const auto chosen = dialog.ChosenTexts();
        QVERIFY(chosen);
        const DesignEvaluation e = Judge(*chosen, EvaluationSettings {});
        QVERIFY(e.Figures);
        QVERIFY(std::abs(e.Figures->Head.Bar - drawn.x()) <= 1e-9 * drawn.x());
        QVERIFY(std::abs(e.Figures->Outlet.CvPercent - drawn.y()) <= 1e-9 * drawn.y());
        QTest::mouseClick(Child<QPushButton>(&dialog, "UseButton"), Qt::LeftButton);
        QCOMPARE(TextsOf(form), *chosen);
    }
}

// The melt chosen in the Melt dialog judges every design, named above the limits; heated, its
// temperature limits are offered and bind when set tight, and the answer is that melt's.
void OptimiseDialogTest::searchesWithTheMeltOfTheMeltDialog()
{
    MainWindow* form = window_->Window();
    {
        OptimiseDialog plain(*form, TextsOf(form), '.');
        QVERIFY(Text(&plain, "MeltLabel").contains("power law"));
        QVERIFY(!Child<QCheckBox>(&plain, "Limit_temperature-rise")->isEnabled());
        QVERIFY(!Child<QCheckBox>(&plain, "Limit_outlet-temperature-spread")->isEnabled());
    }
    MeltChoice choice;
    choice.Grade = "test-cross";
    choice.Melt.Model = ViscosityModel::Cross;
    choice.Melt.FlowIndex = 0.3;
    choice.Melt.ZeroShearViscosity = 5000;
    choice.Melt.CriticalStress = 30000;
    choice.Melt.Density = 740;
    choice.Melt.HeatCapacity = 2700;
    choice.Conditions.MeltTemperature = 230;
    choice.Conditions.Thermal = ThermalMode::Heated;
    form->SetMelt(choice);
    OptimiseDialog dialog(*form, TextsOf(form), '.');
    QVERIFY2(Text(&dialog, "MeltLabel").contains("test-cross at 230.0"),
        qPrintable(Text(&dialog, "MeltLabel")));
    QVERIFY(Text(&dialog, "MeltLabel").contains("heated"));
    QVERIFY(Text(&dialog, "CurrentFigures").contains("above the melt temperature"));
    ChooseSmallProblem(&dialog);
    auto* rise = Child<QCheckBox>(&dialog, "Limit_temperature-rise");
    QVERIFY(rise->isEnabled());
    rise->setChecked(true);
    Child<QLineEdit>(&dialog, "LimitValue_temperature-rise")->setText("0.001");
    QSignalSpy ended(&dialog, &OptimiseDialog::SearchEnded);
    QVERIFY(dialog.Start());
    QVERIFY(ended.wait(SearchTimeoutMs));
    const QString status = Text(&dialog, "SearchStatus");
    QVERIFY2(status.contains("temperature rise"), qPrintable(status));
    QVERIFY(rise->isEnabled());
}

QTEST_MAIN(OptimiseDialogTest)
#include "optimise_dialog_test.moc"
