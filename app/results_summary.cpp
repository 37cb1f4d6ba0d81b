#include "results_summary.h"

#include <QStringList>
#include <cmath>

namespace karrow {

namespace {

    QString StopReason(IterationStop stop)
    {
        switch (stop) {
        case IterationStop::Balanced:
            return QStringLiteral("every slit flow balanced within 3 %");
        case IterationStop::CorrectionLimit:
            return QStringLiteral("stopped at the tenth pressure correction");
        case IterationStop::StepLimit:
            return QStringLiteral("stopped at the step limit without balance");
        }
        return {};
    }

    QString WithSeparator(QString text, char decimalSeparator)
    {
        text.replace(QLatin1Char('.'), QLatin1Char(decimalSeparator));
        return text;
    }

    QString NotFinite(double value)
    {
        if (std::isnan(value))
            return QStringLiteral("undefined");
        return value > 0 ? QStringLiteral("beyond 1.8e308") : QStringLiteral("below -1.8e308");
    }

} // namespace

QString FixedNumber(double value, int decimals, char decimalSeparator)
{
    if (!std::isfinite(value))
        return NotFinite(value);
    const double size = std::fabs(value);
    if (size != 0 && (size < 1e-3 || size >= 1e7))
        return WithSeparator(QString::number(value, 'e', std::max(decimals, 2)), decimalSeparator);
    return WithSeparator(QString::number(value, 'f', decimals), decimalSeparator);
}

QString VerdictText(const DesignFigures& figures, char decimalSeparator)
{
    const auto number = [&](double value, int decimals) {
        return FixedNumber(value, decimals, decimalSeparator);
    };
    const OutletDistribution& outlet = figures.Outlet;
    const ResidenceTimes& residence = figures.Residence;
    const ShearMaxima& shear = figures.Shear;
    return QStringList {
        outlet.Resolved
            ? QStringLiteral("Outlet spread %1 %, coefficient of variation %2 %")
                  .arg(number(outlet.SpreadPercent, 2), number(outlet.CvPercent, 2))
            : QStringLiteral("Outlet spread not resolved: one outlet increment per channel"),
        QStringLiteral("Head pressure %1 bar (%2 kgf/cm2)")
            .arg(number(figures.Head.Bar, 1), number(figures.Head.KgfCm2, 2)),
        QStringLiteral("Largest wall shear rate: channel %1 1/s (increment %2), land %3 1/s "
                       "(increment %4), outlet path %5 1/s (increment %6)")
            .arg(number(shear.Channel.Rate, 1))
            .arg(shear.ChannelIncrement)
            .arg(number(shear.Land.Rate, 1))
            .arg(shear.LandIncrement)
            .arg(number(shear.OutletPath.Rate, 1))
            .arg(shear.OutletPathIncrement),
        QStringLiteral("Mean residence time %1 s, oldest melt at the outlet %2 s, %3 % of the "
                       "volume stagnant (over %4 x the mean)")
            .arg(number(residence.MeanTime, 1), number(residence.OldestOutletAge, 1),
                number(residence.StagnantPercent, 2), number(StagnationMultiple, 0)),
        QStringLiteral("Adiabatic temperature rise %1 K").arg(number(figures.TemperatureRise, 2)),
    }
        .join(QLatin1Char('\n'));
}

QString IterationText(const IterationRecord& record, char decimalSeparator)
{
    const int corrections = static_cast<int>(record.Corrections.size());
    return QStringLiteral("The report's classic method: %1 balance steps, %2 pressure corrections; "
                          "%3; its last step moved the outlet flows by up to %4 %.")
        .arg(record.BalanceSteps)
        .arg(corrections)
        .arg(StopReason(record.Stop))
        .arg(FixedNumber(100 * record.FinalChange.Outlet, 2, decimalSeparator));
}

QString NetworkText(const ExactAnswer& exact, char decimalSeparator)
{
    if (!exact.Network.Converged)
        return QStringLiteral("Exact network: not solved (%1).")
            .arg(QString::fromStdString(exact.Network.Failure));
    QString residual = QString::number(exact.Network.Residual, 'e', 1);
    residual.replace(QLatin1Char('.'), QLatin1Char(decimalSeparator));
    return QStringLiteral("Exact network: %1 Newton steps, largest node imbalance %2 of the flow "
                          "rate.")
        .arg(exact.Network.Iterations)
        .arg(residual);
}

QString DifferenceText(const DesignFigures& report, const DesignFigures& exact, char decimalSeparator)
{
    const auto number = [&](double value) { return FixedNumber(value, 2, decimalSeparator); };
    QString text;
    if (report.Outlet.Resolved) {
        const double points = report.Outlet.SpreadPercent - exact.Outlet.SpreadPercent;
        QString words = QStringLiteral("they agree within half a point");
        if (std::fabs(points) >= 0.5)
            words = points < 0 ? QStringLiteral("the report understates the non-uniformity")
                               : QStringLiteral("the report overstates the non-uniformity");
        text = QStringLiteral("The report's spread is %1 %, the exact solution's %2 %: %3. ")
                   .arg(number(report.Outlet.SpreadPercent), number(exact.Outlet.SpreadPercent),
                       words);
    }
    const double head = 100 * (report.Head.KgfCm2 / exact.Head.KgfCm2 - 1);
    return text
        + QStringLiteral("The report's head pressure is %1 % %2 the exact one.")
              .arg(number(std::fabs(head)),
                  head < 0 ? QStringLiteral("below") : QStringLiteral("above"));
}

} // namespace karrow
