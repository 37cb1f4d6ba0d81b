#include "results_summary.h"

#include <QStringList>

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

} // namespace

QString FixedNumber(double value, int decimals, char decimalSeparator)
{
    QString text = QString::number(value, 'f', decimals);
    text.replace(QLatin1Char('.'), QLatin1Char(decimalSeparator));
    return text;
}

QString SignificantNumber(double value, int digits, char decimalSeparator)
{
    QString text = QString::number(value, 'g', digits);
    text.replace(QLatin1Char('.'), QLatin1Char(decimalSeparator));
    return text;
}

QString VerdictText(const DesignFigures& figures, char decimalSeparator)
{
    const auto number = [&](double value, int decimals) {
        return FixedNumber(value, decimals, decimalSeparator);
    };
    return QStringList {
        QStringLiteral("Outlet spread %1 %, coefficient of variation %2 %")
            .arg(number(figures.Outlet.SpreadPercent, 2), number(figures.Outlet.CvPercent, 2)),
        QStringLiteral("Head pressure %1 bar (%2 kgf/cm2)")
            .arg(number(figures.Head.Bar, 1), number(figures.Head.KgfCm2, 2)),
        QStringLiteral("Largest wall shear rate: channel %1 1/s (increment %2), slit %3 1/s "
                       "(increment %4)")
            .arg(number(figures.Shear.Channel.Rate, 1))
            .arg(figures.Shear.ChannelIncrement)
            .arg(number(figures.Shear.Slit.Rate, 1))
            .arg(figures.Shear.SlitIncrement),
        QStringLiteral("Mean residence time %1 s, adiabatic temperature rise %2 K")
            .arg(number(figures.Residence.MeanTime, 1), number(figures.TemperatureRise, 2)),
    }
        .join(QLatin1Char('\n'));
}

QString IterationText(const IterationRecord& record)
{
    const int corrections = static_cast<int>(record.Corrections.size());
    return QStringLiteral("Classic iteration: %1 balance steps, %2 pressure corrections; %3.")
        .arg(record.BalanceSteps)
        .arg(corrections)
        .arg(StopReason(record.Stop));
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

QString DifferenceText()
{
    return QStringLiteral(
        "The classic iteration stops at a 3 % balance and caps the channel flow; the exact "
        "solution of the same network is what the model itself predicts.");
}

QString SettlingWarning(const SettlingCheck& check, char decimalSeparator)
{
    if (check.Settled)
        return {};
    QString text = QStringLiteral(
        "Not settled: repeating this run with the flow rate changed in its last digit changes "
        "the report by up to %1 % of the mean outlet flow; the last digits of the report are not "
        "reliable.")
                       .arg(SignificantNumber(check.OutletDifferencePercent, 2, decimalSeparator));
    if (!check.Note.empty())
        text += QLatin1Char(' ') + QString::fromStdString(check.Note);
    return text;
}

} // namespace karrow
