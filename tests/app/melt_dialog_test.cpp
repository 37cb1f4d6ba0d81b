// The Melt dialog and the results window's Melt tab: constants that make no melt are refused by
// name and kept as typed; a grade fills the constants and the temperature; the flow curve drawn
// is the melt's at the chosen temperature, with the design's shear rates shaded; the results
// window solves the network for the chosen melt and draws its temperatures.

#include "main_window.h"
#include "melt_charts.h"
#include "melt_dialog.h"
#include "melt_results.h"
#include "results_window.h"
#include "../core/test_melts.h"
#include "run/input_set.h"
#include "window_under_test.h"

#include <QAction>
#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <cmath>
#include <memory>

using namespace karrow;
using namespace karrow::test;

namespace {

MaterialGrade CrossWlfGrade()
{
    MaterialGrade grade;
    grade.Name = "test-pp";
    grade.Family = "PP";
    grade.Melt = CrossWlfMelt();
    grade.Processing = { 200, 240 };
    return grade;
}

MaterialCatalogue OneGrade()
{
    MaterialCatalogue catalogue;
    catalogue.Grades.push_back({ CrossWlfGrade(), GradeOrigin::Library, "test-pp.json", false });
    return catalogue;
}

MeltChoice OwnCross()
{
    MeltChoice choice;
    Melt& m = choice.Melt;
    m.Model = ViscosityModel::Cross;
    m.FlowIndex = 0.35;
    m.ZeroShearViscosity = 8000;
    m.CriticalStress = 25000;
    m.Density = 780;
    m.HeatCapacity = 2500;
    choice.Conditions.MeltTemperature = 200;
    return choice;
}

template <typename T>
T* Child(const QWidget* parent, const QString& name)
{
    T* child = parent->findChild<T*>(name);
    if (!child)
        qFatal("no child %s", qPrintable(name));
    return child;
}

QLineEdit* Constant(const QWidget* dialog, const char* name)
{
    return Child<QLineEdit>(dialog, QStringLiteral("Constant_") + QLatin1String(name));
}

void Type(QLineEdit* field, const QString& text)
{
    field->selectAll();
    if (text.isEmpty())
        QTest::keyClick(field, Qt::Key_Backspace);
    else
        QTest::keyClicks(field, text);
}

bool Near(double a, double b, double relative)
{
    return std::abs(a - b) <= relative * std::abs(b);
}

QLineSeries* SeriesNamed(const QChart* chart, const QString& name)
{
    for (QAbstractSeries* series : chart->series())
        if (series->name() == name)
            return qobject_cast<QLineSeries*>(series);
    return nullptr;
}

// The same law, constants and conditions, bit for bit.
bool IsTheMelt(const MeltChoice& seen, const MeltChoice& expected)
{
    const Melt& a = seen.Melt;
    const Melt& b = expected.Melt;
    const MeltConditions& c = seen.Conditions;
    const MeltConditions& d = expected.Conditions;
    for (const MeltConstant& constant : AllMeltConstants())
        if (a.*constant.Member != b.*constant.Member)
            return false;
    return a.Model == b.Model && a.Shift == b.Shift && c.MeltTemperature == d.MeltTemperature
        && c.Thermal == d.Thermal && c.WallTemperature == d.WallTemperature
        && c.HeatTransferCoefficient == d.HeatTransferCoefficient;
}

} // namespace

class MeltDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void refusesWhatMakesNoMeltNamingItAndKeepsIt_data();
    void refusesWhatMakesNoMeltNamingItAndKeepsIt();
    void pickingAGradeFillsItsConstantsAndTemperature();
    void flowCurveIsTheMeltsAtTheChosenTemperatureWithTheDesignsRatesShaded();
    void resultsWindowSolvesTheChosenMeltAndDrawsItsTemperatures();
    void bothWindowsOpenTheDialog();
    void inputSetsAndTheJsonExportCarryTheMelt();
};

void MeltDialogTest::refusesWhatMakesNoMeltNamingItAndKeepsIt_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named");
    QTest::newRow("not a number") << "Constant_eta0" << "8e3x" << "constant eta0";
    QTest::newRow("non-positive eta0") << "Constant_eta0" << "-8000" << "constant eta0";
    QTest::newRow("flow index above 1.5") << "Constant_n" << "1.6" << "constant n";
    QTest::newRow("empty tau*") << "Constant_tau_star" << "" << "constant tau_star";
    QTest::newRow("temperature not a number") << "MeltTemperature" << "hot" << "melt temperature";
    QTest::newRow("below absolute zero") << "MeltTemperature" << "-300" << "absolute zero";
}

void MeltDialogTest::refusesWhatMakesNoMeltNamingItAndKeepsIt()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, named);
    MeltDialog dialog(OneGrade(), OwnCross(), std::nullopt, '.');
    QVERIFY(dialog.Read().Choice);
    auto* edit = Child<QLineEdit>(&dialog, field);
    const QString good = edit->text();
    Type(edit, text);

    dialog.accept();

    QVERIFY(dialog.result() != QDialog::Accepted);
    QVERIFY(!dialog.Chosen());
    const QString problem = Child<QLabel>(&dialog, QStringLiteral("MeltProblem"))->text();
    QVERIFY2(!problem.isEmpty(), qPrintable(field));
    QVERIFY2(problem.contains(named), qPrintable(problem));
    QCOMPARE(edit->text(), text);
    // Put right, the same dialog accepts, with the melt it shows.
    Type(edit, good);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(dialog.Chosen());
    QCOMPARE(dialog.Chosen()->Melt.ZeroShearViscosity, 8000.0);
    QCOMPARE(dialog.Chosen()->Melt.CriticalStress, 25000.0);
}

void MeltDialogTest::pickingAGradeFillsItsConstantsAndTemperature()
{
    MaterialCatalogue grades = OneGrade();
    grades.Problems.push_back("broken.json: not a JSON document");
    MeltDialog dialog(grades, OwnCross(), std::nullopt, ',');
    auto* grade = Child<QComboBox>(&dialog, QStringLiteral("GradeBox"));
    QCOMPARE(grade->currentIndex(), 0);
    QCOMPARE(grade->count(), 2);
    QVERIFY(Child<QLabel>(&dialog, QStringLiteral("SkippedGrades"))->text().contains("broken.json"));

    grade->setCurrentIndex(1);

    const Melt expected = CrossWlfGrade().Melt;
    QCOMPARE(Child<QComboBox>(&dialog, QStringLiteral("ModelBox"))->currentText(),
        QStringLiteral("cross-wlf"));
    // Shown with the regional separator, read back exactly.
    QCOMPARE(Constant(&dialog, "A2")->text(), QStringLiteral("51,6"));
    QCOMPARE(Child<QLineEdit>(&dialog, QStringLiteral("MeltTemperature"))->text(),
        QStringLiteral("220"));
    const MeltDialog::Reading reading = dialog.Read();
    QVERIFY2(reading.Choice, qPrintable(reading.Problem));
    QCOMPARE(reading.Choice->Grade, std::string("test-pp"));
    for (const MeltConstant& c : ConstantsOf(ViscosityModel::CrossWlf, TemperatureShift::None))
        QCOMPARE(reading.Choice->Melt.*(c.Member), expected.*(c.Member));
    QCOMPARE(reading.Choice->Conditions.MeltTemperature, 220.0);

    // A constant changed by hand is no longer the grade's.
    Type(Constant(&dialog, "D1"), QStringLiteral("3e12"));
    QCOMPARE(grade->currentIndex(), 0);
    QVERIFY(dialog.Read().Choice);
    QCOMPARE(dialog.Read().Choice->Grade, std::string());
    QCOMPARE(dialog.Read().Choice->Melt.D1, 3e12);
}

void MeltDialogTest::flowCurveIsTheMeltsAtTheChosenTemperatureWithTheDesignsRatesShaded()
{
    const ShearRateRange design { 0.4, 250 };
    MeltDialog dialog(OneGrade(), std::nullopt, design, '.');
    QCOMPARE(Child<QComboBox>(&dialog, QStringLiteral("GradeBox"))->currentIndex(), 1);
    const Melt melt = CrossWlfGrade().Melt;
    const auto* view = Child<QChartView>(&dialog, QStringLiteral("FlowCurveChart"));

    const auto curveMatches = [&](double celsius) {
        const QLineSeries* curve = SeriesNamed(view->chart(), QStringLiteral("Viscosity"));
        if (!curve || curve->count() < 50)
            return false;
        for (const int k : { 0, 17, curve->count() / 2, curve->count() - 1 }) {
            const QPointF p = curve->at(k);
            if (!Near(p.y(), Viscosity(melt, p.x(), celsius), 1e-12))
                return false;
        }
        // Two decades of rates beyond the design's at either end.
        return curve->at(0).x() <= design.Low / 10 * (1 + 1e-12)
            && curve->at(curve->count() - 1).x() >= design.High * 10 * (1 - 1e-12);
    };
    QVERIFY(curveMatches(220));
    const double before = SeriesNamed(view->chart(), QStringLiteral("Viscosity"))->at(0).y();
    Type(Child<QLineEdit>(&dialog, QStringLiteral("MeltTemperature")), QStringLiteral("240"));
    QVERIFY(curveMatches(240));
    QVERIFY(SeriesNamed(view->chart(), QStringLiteral("Viscosity"))->at(0).y() < before);

    const QAreaSeries* band = nullptr;
    for (QAbstractSeries* series : view->chart()->series())
        if (auto* area = qobject_cast<QAreaSeries*>(series))
            band = area;
    QVERIFY(band);
    QCOMPARE(band->upperSeries()->at(0).x(), design.Low);
    QCOMPARE(band->upperSeries()->at(1).x(), design.High);

    // A temperature the law refuses leaves the last curve that made sense.
    Type(Child<QLineEdit>(&dialog, QStringLiteral("MeltTemperature")), QStringLiteral("90"));
    QVERIFY(!Child<QLabel>(&dialog, QStringLiteral("MeltProblem"))->text().isEmpty());
    QVERIFY(curveMatches(240));
}

void MeltDialogTest::resultsWindowSolvesTheChosenMeltAndDrawsItsTemperatures()
{
    WindowUnderTest window;
    QVERIFY(window.IsValid());
    MainWindow* form = window.Window();
    {
        ModalDialogCloser closer(form);
        QTest::mouseClick(OkButton(form), Qt::LeftButton);
        QCOMPARE(closer.SeenNames(), QStringList { "FinishForm" });
    }
    MeltPanel& panel = form->Results()->MeltAnswers();
    QVERIFY(!panel.Answer());
    QVERIFY(panel.DesignShearRates());
    QVERIFY(panel.DesignShearRates()->Low < panel.DesignShearRates()->High);

    MeltChoice choice;
    choice.Grade = "test-pp";
    choice.Melt = CrossWlfGrade().Melt;
    choice.Conditions.MeltTemperature = 220;
    form->SetMelt(choice);
    QVERIFY(panel.Answer());
    const MeltNetworkSolution& isothermal = panel.Answer()->Solved;
    QVERIFY2(isothermal.Network.Converged, isothermal.Network.Failure.c_str());
    QVERIFY(panel.Answer()->HeadPressureMPa > 0);
    const QString text = Child<QLabel>(&panel, QStringLiteral("MeltAnswer"))->text();
    QVERIFY2(text.contains(QStringLiteral("test-pp")), qPrintable(text));
    QVERIFY(text.contains(QString::number(panel.Answer()->HeadPressureMPa, 'f', 3) + " MPa"));
    const QLineSeries* channel =
        SeriesNamed(panel.TemperatureChart()->chart(), QStringLiteral("Along the channel"));
    QVERIFY(channel);
    QCOMPARE(channel->count(), static_cast<int>(isothermal.NodeTemperature.size()));
    for (const QPointF& p : channel->points())
        QCOMPARE(p.y(), 220.0);

    // Heated in an adiabatic die, the melt leaves warmer by the whole dissipation: head
    // pressure x flow rate / (rho c) over the flow rate, whatever way it went.
    choice.Conditions.Thermal = ThermalMode::Heated;
    form->SetMelt(choice);
    QVERIFY(panel.Answer() && panel.Answer()->Solved.Network.Converged);
    const MeltAnswer& heated = *panel.Answer();
    const double rise = heated.HeadPressureMPa * 1e6 / (760.0 * 2600.0);
    QVERIFY2(Near(heated.Solved.MeanOutletTemperature - 220, rise, 1e-6),
        qPrintable(QString::number(heated.Solved.MeanOutletTemperature)));
    const QLineSeries* outlets = SeriesNamed(panel.TemperatureChart()->chart(),
        QStringLiteral("Leaving the die, round its circumference"));
    QVERIFY(outlets);
    QCOMPARE(outlets->count(), static_cast<int>(heated.Solved.OutletTemperature.size()));
    QCOMPARE(outlets->at(0).x(), double(heated.TransferIncrements + 1));
    QVERIFY(panel.TemperatureChart()->chart()->title().contains(
        QString::number(heated.Solved.OutletTemperatureSpread, 'f', 2) + " K"));

    // A melt the network cannot take says why instead of drawing.
    choice.Conditions.MeltTemperature = 50; // below D2: no Cross-WLF viscosity there
    form->SetMelt(choice);
    QVERIFY(panel.Answer() && !panel.Answer()->Solved.Network.Converged);
    QVERIFY(Child<QLabel>(&panel, QStringLiteral("MeltAnswer"))->text().contains("no answer"));
    QVERIFY(!panel.TemperatureChart()->isVisibleTo(&panel));
}

void MeltDialogTest::bothWindowsOpenTheDialog()
{
    WindowUnderTest window;
    QVERIFY(window.IsValid());
    MainWindow* form = window.Window();
    auto* action = form->findChild<QAction*>(QStringLiteral("MeltAction"));
    QVERIFY(action);
    {
        ModalDialogCloser closer(form);
        action->trigger();
        QCOMPARE(closer.SeenNames(), QStringList { "MeltDialog" });
    }
    QVERIFY(!form->MeltChosen()); // rejected: nothing chosen
    {
        ModalDialogCloser closer(form);
        QTest::mouseClick(OkButton(form), Qt::LeftButton);
    }
    {
        ModalDialogCloser closer(form);
        // Accepted as it opens: the library's first grade, or whatever the dialog shows.
        closer.WhileOpen([](QWidget* dialog) {
            auto* melt = qobject_cast<MeltDialog*>(dialog);
            if (melt && melt->Read().Choice)
                melt->accept();
        });
        QTest::mouseClick(
            Child<QPushButton>(form->Results(), QStringLiteral("MeltButton")), Qt::LeftButton);
        QCOMPARE(closer.SeenNames(), QStringList { "MeltDialog" });
    }
    // The shipped library holds at least one grade, so the dialog had a melt to accept, and the
    // results window solved it.
    QVERIFY(form->MeltChosen());
    QVERIFY(form->Results()->MeltAnswers().Answer());
}

// Save inputs and Open inputs keep the melt of the Melt dialog with the fields, and the results
// window's JSON export carries its answer under "melt" as karrow-cli --json does.
void MeltDialogTest::inputSetsAndTheJsonExportCarryTheMelt()
{
    WindowUnderTest window;
    QVERIFY(window.IsValid());
    MainWindow* form = window.Window();
    MeltChoice typed = OwnCross();
    typed.Melt.Shift = TemperatureShift::Arrhenius;
    typed.Melt.ActivationEnergy = 40000.125;
    typed.Melt.ReferenceTemperature = 200;
    typed.Conditions.Thermal = ThermalMode::Heated;
    typed.Conditions.WallTemperature = 195;
    typed.Conditions.HeatTransferCoefficient = 300;
    form->SetMelt(typed);
    const QString set = window.PathOf(QStringLiteral("die.karrow"));
    QVERIFY(form->SaveInputs(set));
    MeltChoice grade;
    grade.Grade = "test-pp";
    grade.Melt = CrossWlfGrade().Melt;
    grade.Conditions.MeltTemperature = 220;
    form->SetMelt(grade);
    QVERIFY(form->OpenInputs(set));
    QVERIFY(form->MeltChosen());
    QCOMPARE(form->MeltChosen()->Grade, std::string());
    QVERIFY(IsTheMelt(*form->MeltChosen(), typed));

    // A set whose melt makes none is refused naming the file and the entry; nothing changes.
    QFile file(set);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QJsonObject document = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    QJsonObject melt = document.value(QStringLiteral("melt")).toObject();
    QJsonObject viscosity = melt.value(QStringLiteral("viscosity")).toObject();
    viscosity.remove(QStringLiteral("eta0"));
    melt.insert(QStringLiteral("viscosity"), viscosity);
    document.insert(QStringLiteral("melt"), melt);
    window.Write(QStringLiteral("bad.karrow"), QJsonDocument(document).toJson());
    {
        ModalDialogCloser closer(form);
        QVERIFY(!form->OpenInputs(window.PathOf(QStringLiteral("bad.karrow"))));
        QCOMPARE(closer.Seen().size(), 1);
        const QString text = closer.Seen().front().Text;
        QVERIFY2(text.contains(window.PathOf(QStringLiteral("bad.karrow")))
                && text.contains(QStringLiteral("\"melt.viscosity.eta0\" is missing")),
            qPrintable(text));
    }
    QVERIFY(form->MeltChosen() && form->MeltChosen()->Melt.Shift == TemperatureShift::Arrhenius);

    {
        ModalDialogCloser closer(form);
        QTest::mouseClick(OkButton(form), Qt::LeftButton);
    }
    QVERIFY(form->Results());
    const QString exported = window.PathOf(QStringLiteral("run.json"));
    QCOMPARE(form->Results()->ExportJson(exported), std::nullopt);
    QFile run(exported);
    QVERIFY(run.open(QIODevice::ReadOnly));
    const QJsonObject answer =
        QJsonDocument::fromJson(run.readAll()).object().value(QStringLiteral("melt")).toObject();
    QCOMPARE(answer.value("melt").toObject().value("model").toString(), QStringLiteral("cross"));
    const QJsonObject conditions = answer.value("conditions").toObject();
    QCOMPARE(conditions.value("melt_temperature_C").toDouble(), 200.0);
    QCOMPARE(conditions.value("thermal").toString(), QStringLiteral("heated"));
    QCOMPARE(conditions.value("wall_temperature_C").toDouble(), 195.0);
    QVERIFY(answer.value("network").toObject().value("converged").toBool());
    // The export and the Melt tab solve the same network: one answer for one design.
    const MeltPanel& panel = form->Results()->MeltAnswers();
    QVERIFY(panel.Answer() && panel.Answer()->Solved.Network.Converged);
    QCOMPARE(answer.value("network").toObject().value("head_pressure_gf_cm2").toDouble(),
        panel.Answer()->Solved.Network.InletPressure);
    QCOMPARE(answer.value("temperatures").toObject().value("mean_outlet_C").toDouble(),
        panel.Answer()->Solved.MeanOutletTemperature);
    QVERIFY(answer.value("temperatures").toObject().contains("outlets_C"));

    run.close();
    const QString withMelt = window.PathOf(QStringLiteral("run-with-melt.json"));
    QVERIFY(QFile::copy(exported, withMelt));

    // Opening a set without a melt leaves none chosen, and the export then has no melt.
    InputSet plain { DefaultFieldTexts('.') };
    QCOMPARE(WriteInputSet(window.PathOf(QStringLiteral("plain.karrow")).toStdString(), plain, '.'),
        std::nullopt);
    QVERIFY(form->OpenInputs(window.PathOf(QStringLiteral("plain.karrow"))));
    QVERIFY(!form->MeltChosen());
    QCOMPARE(form->Results()->ExportJson(exported), std::nullopt);
    QVERIFY(run.open(QIODevice::ReadOnly));
    QVERIFY(!QJsonDocument::fromJson(run.readAll()).object().contains(QStringLiteral("melt")));

    // A run document brings back the melt it was solved with, bit for bit, with its conditions;
    // one that records none leaves the melt chosen as it is.
    QVERIFY(form->OpenInputs(withMelt));
    QVERIFY(form->MeltChosen() && IsTheMelt(*form->MeltChosen(), typed));
    QVERIFY(form->OpenInputs(exported));
    QVERIFY(form->MeltChosen() && form->MeltChosen()->Melt.Shift == TemperatureShift::Arrhenius);

    // A recorded melt that makes none is refused naming the file and the constant: nothing is
    // opened, and the melt chosen stays.
    QFile recorded(withMelt);
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    QJsonObject spoilt = QJsonDocument::fromJson(recorded.readAll()).object();
    QJsonObject section = spoilt.value(QStringLiteral("melt")).toObject();
    QJsonObject law = section.value(QStringLiteral("melt")).toObject();
    QJsonObject constants = law.value(QStringLiteral("constants")).toObject();
    constants.remove(QStringLiteral("eta0"));
    law.insert(QStringLiteral("constants"), constants);
    section.insert(QStringLiteral("melt"), law);
    spoilt.insert(QStringLiteral("melt"), section);
    window.Write(QStringLiteral("spoilt-run.json"), QJsonDocument(spoilt).toJson());
    form->SetMelt(std::nullopt);
    {
        ModalDialogCloser closer(form);
        QVERIFY(!form->OpenInputs(window.PathOf(QStringLiteral("spoilt-run.json"))));
        QCOMPARE(closer.Seen().size(), 1);
        const QString text = closer.Seen().front().Text;
        QVERIFY2(text.contains(window.PathOf(QStringLiteral("spoilt-run.json")))
                && text.contains(QStringLiteral("eta0\" is missing")),
            qPrintable(text));
    }
    QVERIFY(!form->MeltChosen());
}

QTEST_MAIN(MeltDialogTest)
#include "melt_dialog_test.moc"
