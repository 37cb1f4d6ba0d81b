#include "melt_results.h"

#include "melt_charts.h"

#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace karrow {

namespace {

    QString MeltName(const MeltChoice& melt)
    {
        const std::string_view model = ModelName(melt.Melt.Model);
        const QString law = QString::fromUtf8(model.data(), static_cast<qsizetype>(model.size()));
        return melt.Grade.empty() ? QStringLiteral("own %1 constants").arg(law)
                                  : QStringLiteral("%1 (%2)").arg(
                                        QString::fromStdString(melt.Grade), law);
    }

    QString Conditions(const MeltConditions& c)
    {
        if (c.Thermal == ThermalMode::Isothermal)
            return QStringLiteral("isothermal at %1 \u00b0C").arg(c.MeltTemperature, 0, 'g', 6);
        QString text =
            QStringLiteral("heated by its own flow, entering at %1 \u00b0C").arg(c.MeltTemperature, 0, 'g', 6);
        if (c.HeatTransferCoefficient > 0)
            text += QStringLiteral(", die wall at %1 \u00b0C with %2 W/(m2 K)")
                        .arg(c.WallTemperature, 0, 'g', 6)
                        .arg(c.HeatTransferCoefficient, 0, 'g', 6);
        else
            text += QStringLiteral(", adiabatic die");
        return text;
    }

} // namespace

QString MeltAnswerText(const MeltChoice& melt, const MeltAnswer& answer)
{
    const MeltNetworkSolution& s = answer.Solved;
    QStringList lines;
    lines << QStringLiteral("Melt: %1, %2.").arg(MeltName(melt), Conditions(melt.Conditions));
    if (!s.Network.Converged) {
        lines << QStringLiteral("The exact network found no answer for this melt: %1")
                     .arg(QString::fromStdString(s.Network.Failure));
        return lines.join(QLatin1Char('\n'));
    }
    lines << QStringLiteral("Head pressure %1 MPa (%2 bar); outlet flow spread %3 % (max \u2212 "
                            "min over the mean).")
                 .arg(answer.HeadPressureMPa, 0, 'f', 3)
                 .arg(answer.HeadPressureMPa * 10, 0, 'f', 2)
                 .arg(answer.FlowSpreadPercent, 0, 'f', 2);
    lines << QStringLiteral("Melt leaving the die: %1 \u00b0C on average (by flow), %2 K from "
                            "the coolest to the hottest outlet.")
                 .arg(s.MeanOutletTemperature, 0, 'f', 2)
                 .arg(s.OutletTemperatureSpread, 0, 'f', 3);
    // The outer steps settle the temperatures and, where the law has one, its pressure term:
    // their residual is the last move of T - D3 p.
    lines << QStringLiteral("Solved in %1 Newton steps, %2 outer steps for the temperatures and "
                            "the pressure term (residual %3 of the flow rate, %4 K).")
                 .arg(s.Network.Iterations)
                 .arg(s.ThermalIterations)
                 .arg(s.Network.Residual, 0, 'g', 2)
                 .arg(s.ThermalResidual, 0, 'g', 2);
    return lines.join(QLatin1Char('\n'));
}

MeltPanel::MeltPanel(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MeltPanel"));
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("MeltAnswer"));
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    chart_ = new QChartView(this);
    chart_->setObjectName(QStringLiteral("MeltTemperatureChart"));
    chart_->setRenderHint(QPainter::Antialiasing);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(chart_, 1);
    Show();
}

void MeltPanel::SetRun(const RunRecord& record)
{
    run_.reset();
    if (record.Outcome && record.Outcome->Result)
        run_ = record.Outcome->Result;
    const Assessment& answers = record.Answers;
    const DesignFigures* figures = answers.Exact && answers.Exact->Figures
        ? &*answers.Exact->Figures
        : answers.Classic ? &*answers.Classic : nullptr;
    rates_ = figures ? WallShearRateRange(*figures) : std::nullopt;
    Show();
}

void MeltPanel::SetMelt(const std::optional<MeltChoice>& melt)
{
    melt_ = melt;
    Show();
}

void MeltPanel::Show()
{
    answer_.reset();
    if (!melt_) {
        text_->setText(QStringLiteral("No melt chosen: the exact network runs with the power law "
                                      "of the fields. Choose one with Melt\u2026"));
    } else if (!run_) {
        text_->setText(QStringLiteral("Melt: %1. No finished run to solve it on.")
                           .arg(MeltName(*melt_)));
    } else {
        answer_ = SolveMeltAnswer(*run_, *melt_);
        text_->setText(MeltAnswerText(*melt_, *answer_));
    }
    chart_->setVisible(answer_ && answer_->Solved.Network.Converged);
    if (!chart_->isVisibleTo(this))
        return;
    QChart* previous = chart_->chart();
    chart_->setChart(MeltTemperatureChart(*answer_));
    delete previous;
}

} // namespace karrow
