#include "melt_dialog.h"

#include "melt_charts.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace karrow {

namespace {

    constexpr ViscosityModel Models[] = { ViscosityModel::PowerLaw, ViscosityModel::Cross,
        ViscosityModel::CarreauYasuda, ViscosityModel::CrossWlf };
    constexpr TemperatureShift Shifts[] = { TemperatureShift::None, TemperatureShift::Arrhenius,
        TemperatureShift::Wlf };
    constexpr ThermalMode Modes[] = { ThermalMode::Isothermal, ThermalMode::Heated };

    const QString OwnConstants = QStringLiteral("Own constants");

    QString Text(std::string_view text)
    {
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }

    QLineEdit* Field(const QString& objectName, QWidget* parent)
    {
        auto* field = new QLineEdit(parent);
        field->setObjectName(objectName);
        return field;
    }

    // The temperature a grade is shown at first: the middle of its processing window.
    double UsualTemperature(const MaterialGrade& grade)
    {
        return (grade.Processing.Low + grade.Processing.High) / 2;
    }

} // namespace

MeltDialog::MeltDialog(const MaterialCatalogue& grades, const std::optional<MeltChoice>& current,
    const std::optional<ShearRateRange>& designRates, char decimalSeparator, QWidget* parent)
    : QDialog(parent)
    , decimalSeparator_(decimalSeparator)
    , designRates_(designRates)
{
    setObjectName(QStringLiteral("MeltDialog"));
    setWindowTitle(QStringLiteral("Melt"));
    CreateUi(grades);
    if (current)
        FillFrom(*current);
    else if (!grades_.empty())
        grade_->setCurrentIndex(1);
    ShowConstants();
    Redraw();
    resize(900, 560);
}

void MeltDialog::CreateUi(const MaterialCatalogue& grades)
{
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;

    auto* meltBox = new QGroupBox(QStringLiteral("Melt"), this);
    auto* meltForm = new QFormLayout(meltBox);
    grade_ = new QComboBox(meltBox);
    grade_->setObjectName(QStringLiteral("GradeBox"));
    grade_->addItem(OwnConstants);
    for (const ListedGrade& listed : grades.Grades) {
        grades_.push_back(listed.Grade);
        grade_->addItem(QStringLiteral("%1 (%2%3)")
                            .arg(QString::fromStdString(listed.Grade.Name),
                                QString::fromStdString(listed.Grade.Family),
                                listed.Origin == GradeOrigin::User ? QStringLiteral(", own")
                                                                   : QString()));
    }
    model_ = new QComboBox(meltBox);
    model_->setObjectName(QStringLiteral("ModelBox"));
    for (const ViscosityModel model : Models)
        model_->addItem(Text(ModelName(model)));
    shift_ = new QComboBox(meltBox);
    shift_->setObjectName(QStringLiteral("ShiftBox"));
    for (const TemperatureShift shift : Shifts)
        shift_->addItem(Text(ShiftName(shift)));
    meltForm->addRow(QStringLiteral("&Grade"), grade_);
    meltForm->addRow(QStringLiteral("&Model"), model_);
    meltForm->addRow(QStringLiteral("Temperature &shift"), shift_);
    if (!grades.Problems.empty()) {
        // A grade file that cannot be read is named, not passed over in silence.
        QStringList problems;
        for (const std::string& problem : grades.Problems)
            problems.append(QString::fromStdString(problem));
        auto* skipped = new QLabel(
            QStringLiteral("Not listed: ") + problems.join(QLatin1Char('\n')), meltBox);
        skipped->setObjectName(QStringLiteral("SkippedGrades"));
        skipped->setWordWrap(true);
        meltForm->addRow(skipped);
    }
    left->addWidget(meltBox);

    auto* constantsBox = new QGroupBox(QStringLiteral("Constants (SI units, \u00b0C)"), this);
    constants_ = new QFormLayout(constantsBox);
    left->addWidget(constantsBox);

    auto* conditionsBox = new QGroupBox(QStringLiteral("Conditions"), this);
    auto* conditions = new QFormLayout(conditionsBox);
    temperature_ = Field(QStringLiteral("MeltTemperature"), conditionsBox);
    thermal_ = new QComboBox(conditionsBox);
    thermal_->setObjectName(QStringLiteral("ThermalBox"));
    for (const ThermalMode mode : Modes)
        thermal_->addItem(Text(ThermalModeName(mode)));
    wallTemperature_ = Field(QStringLiteral("WallTemperature"), conditionsBox);
    coefficient_ = Field(QStringLiteral("HeatTransferCoefficient"), conditionsBox);
    coefficient_->setText(Number(0));
    coefficient_->setToolTip(QStringLiteral("0 leaves the die adiabatic"));
    conditions->addRow(QStringLiteral("Melt &temperature (\u00b0C)"), temperature_);
    conditions->addRow(QStringLiteral("T&hermal mode"), thermal_);
    conditions->addRow(QStringLiteral("&Wall temperature (\u00b0C)"), wallTemperature_);
    conditions->addRow(QStringLiteral("Heat-transfer &coefficient (W/(m2 K))"), coefficient_);
    left->addWidget(conditionsBox);
    left->addStretch(1);

    chart_ = new QChartView(this);
    chart_->setObjectName(QStringLiteral("FlowCurveChart"));
    chart_->setRenderHint(QPainter::Antialiasing);
    chart_->setMinimumWidth(440);
    columns->addLayout(left);
    columns->addWidget(chart_, 1);

    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("MeltProblem"));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("QLabel { color: #a00000; }"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &MeltDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &MeltDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(problem_);
    layout->addWidget(buttons);

    connect(grade_, &QComboBox::currentIndexChanged, this, &MeltDialog::GradePicked);
    const auto lawChanged = [this] {
        if (filling_)
            return;
        ShowConstants();
        Redraw();
    };
    connect(model_, &QComboBox::currentIndexChanged, this, lawChanged);
    connect(shift_, &QComboBox::currentIndexChanged, this, lawChanged);
    connect(temperature_, &QLineEdit::textEdited, this, &MeltDialog::Redraw);
    const auto heatedOnly = [this] {
        const bool heated = Modes[thermal_->currentIndex()] == ThermalMode::Heated;
        wallTemperature_->setEnabled(heated);
        coefficient_->setEnabled(heated);
    };
    connect(thermal_, &QComboBox::currentIndexChanged, this, heatedOnly);
    heatedOnly();
}

QString MeltDialog::Number(double value) const
{
    QString text = QString::number(value, 'g', 12);
    if (decimalSeparator_ != '.')
        text.replace(QLatin1Char('.'), QLatin1Char(decimalSeparator_));
    return text;
}

std::optional<double> MeltDialog::Parse(const QLineEdit* field) const
{
    QString text = field->text().trimmed();
    if (decimalSeparator_ != '.') {
        if (text.contains(QLatin1Char('.')))
            return std::nullopt;
        text.replace(QLatin1Char(decimalSeparator_), QLatin1Char('.'));
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

void MeltDialog::FillFrom(const MeltChoice& choice)
{
    filling_ = true;
    const auto modelAt = std::find(std::begin(Models), std::end(Models), choice.Melt.Model);
    const auto shiftAt = std::find(std::begin(Shifts), std::end(Shifts), choice.Melt.Shift);
    model_->setCurrentIndex(static_cast<int>(modelAt - std::begin(Models)));
    shift_->setCurrentIndex(static_cast<int>(shiftAt - std::begin(Shifts)));
    for (const MeltConstant& c : AllMeltConstants())
        typed_[std::string(c.Name)] = Number(choice.Melt.*(c.Member));
    // The rows shown now are read back when the law's rows are laid out again.
    for (const auto& [name, field] : constantFields_)
        field->setText(typed_[name]);
    temperature_->setText(Number(choice.Conditions.MeltTemperature));
    thermal_->setCurrentIndex(choice.Conditions.Thermal == ThermalMode::Heated ? 1 : 0);
    wallTemperature_->setText(Number(choice.Conditions.WallTemperature));
    coefficient_->setText(Number(choice.Conditions.HeatTransferCoefficient));
    int index = 0;
    for (std::size_t k = 0; k < grades_.size(); ++k)
        if (grades_[k].Name == choice.Grade)
            index = static_cast<int>(k) + 1;
    grade_->setCurrentIndex(index);
    filling_ = false;
}

void MeltDialog::GradePicked(int index)
{
    if (filling_ || index < 1 || index > static_cast<int>(grades_.size()))
        return;
    const MaterialGrade& grade = grades_[static_cast<std::size_t>(index - 1)];
    MeltChoice choice;
    choice.Grade = grade.Name;
    choice.Melt = grade.Melt;
    choice.Conditions.MeltTemperature = UsualTemperature(grade);
    choice.Conditions.Thermal = Modes[thermal_->currentIndex()];
    choice.Conditions.WallTemperature = choice.Conditions.MeltTemperature;
    if (const auto coefficient = Parse(coefficient_))
        choice.Conditions.HeatTransferCoefficient = *coefficient;
    FillFrom(choice);
    ShowConstants();
    Redraw();
}

// One row per constant of the chosen law and shift; what was typed in a row stays with its
// constant's name, so a constant shared by two laws keeps its value when the law changes.
void MeltDialog::ShowConstants()
{
    for (const auto& [name, field] : constantFields_)
        typed_[name] = field->text();
    while (constants_->rowCount() > 0)
        constants_->removeRow(0);
    constantFields_.clear();
    const ViscosityModel model = Models[model_->currentIndex()];
    shift_->setEnabled(model != ViscosityModel::CrossWlf);
    const TemperatureShift shift =
        model == ViscosityModel::CrossWlf ? TemperatureShift::None : Shifts[shift_->currentIndex()];
    for (const MeltConstant& c : ConstantsOf(model, shift)) {
        const std::string name(c.Name);
        QLineEdit* field = Field(QStringLiteral("Constant_") + QString::fromStdString(name),
            constants_->parentWidget());
        field->setText(typed_[name]);
        connect(field, &QLineEdit::textEdited, this, [this] {
            if (grade_->currentIndex() != 0) {
                // Edited constants are no longer the grade's.
                filling_ = true;
                grade_->setCurrentIndex(0);
                filling_ = false;
            }
            Redraw();
        });
        const QString unit = c.Unit == "1" ? QString() : QStringLiteral(" (%1)").arg(Text(c.Unit));
        constants_->addRow(Text(c.Name) + unit, field);
        constantFields_[name] = field;
    }
}

MeltDialog::Reading MeltDialog::Read() const
{
    MeltChoice choice;
    if (grade_->currentIndex() > 0)
        choice.Grade = grades_[static_cast<std::size_t>(grade_->currentIndex() - 1)].Name;
    choice.Melt.Model = Models[model_->currentIndex()];
    choice.Melt.Shift = choice.Melt.Model == ViscosityModel::CrossWlf
        ? TemperatureShift::None
        : Shifts[shift_->currentIndex()];
    for (const MeltConstant& c : ConstantsOf(choice.Melt.Model, choice.Melt.Shift)) {
        const auto field = constantFields_.find(c.Name);
        const std::optional<double> value =
            field == constantFields_.end() ? std::nullopt : Parse(field->second);
        if (!value)
            return { std::nullopt,
                QStringLiteral("The melt's constant %1 must be a number, not \u201c%2\u201d.")
                    .arg(Text(c.Name),
                        field == constantFields_.end() ? QString() : field->second->text()) };
        choice.Melt.*(c.Member) = *value;
    }
    const auto number = [this](const QLineEdit* field, const QString& name, double& into)
        -> std::optional<QString> {
        if (const std::optional<double> value = Parse(field)) {
            into = *value;
            return std::nullopt;
        }
        return QStringLiteral("The %1 must be a number, not \u201c%2\u201d.")
            .arg(name, field->text());
    };
    MeltConditions& c = choice.Conditions;
    c.Thermal = Modes[thermal_->currentIndex()];
    if (auto problem = number(temperature_, QStringLiteral("melt temperature"), c.MeltTemperature))
        return { std::nullopt, *problem };
    if (c.Thermal == ThermalMode::Heated) {
        if (auto problem = number(coefficient_, QStringLiteral("heat-transfer coefficient"),
                c.HeatTransferCoefficient))
            return { std::nullopt, *problem };
        if (c.HeatTransferCoefficient != 0)
            if (auto problem =
                    number(wallTemperature_, QStringLiteral("wall temperature"), c.WallTemperature))
                return { std::nullopt, *problem };
    }
    if (const std::optional<std::string> problem = MeltConditionsProblem(choice.Melt, c))
        return { std::nullopt, QString::fromStdString(*problem) };
    return { choice, QString() };
}

void MeltDialog::Redraw()
{
    const Reading reading = Read();
    problem_->setText(reading.Problem);
    if (!reading.Choice)
        return; // the last curve that made sense stays until the fields make one again
    QChart* old = chart_->chart();
    chart_->setChart(FlowCurveChart(
        reading.Choice->Melt, reading.Choice->Conditions.MeltTemperature, designRates_));
    delete old;
}

void MeltDialog::accept()
{
    const Reading reading = Read();
    problem_->setText(reading.Problem);
    if (!reading.Choice)
        return;
    chosen_ = reading.Choice;
    QDialog::accept();
}

} // namespace karrow
