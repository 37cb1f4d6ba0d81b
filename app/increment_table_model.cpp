#include "increment_table_model.h"

#include "results_summary.h"

#include <array>

namespace karrow {

namespace {

    struct Column {
        const char* Title;
        int Decimals; // as shown; -1 for a count
        double (*Read)(const IncrementFigures&);
    };

    // In the order of IncrementFigures, as the CSV export has them.
    constexpr std::array<Column, 11> Columns { {
        { "increment", -1, [](const IncrementFigures& r) { return double(r.Increment); } },
        { "angle (degrees)", 1, [](const IncrementFigures& r) { return r.AngleDegrees; } },
        { "slit flow (cm3/s)", 4, [](const IncrementFigures& r) { return r.SlitFlow; } },
        { "channel flow (cm3/s)", 4, [](const IncrementFigures& r) { return r.ChannelFlow; } },
        { "pressure (kgf/cm2)", 3, [](const IncrementFigures& r) { return r.PressureKgfCm2; } },
        { "channel shear rate (1/s)", 2, [](const IncrementFigures& r) { return r.Channel.Rate; } },
        { "channel shear stress (gf/cm2)", 1,
            [](const IncrementFigures& r) { return r.Channel.Stress; } },
        { "land or outlet path shear rate (1/s)", 2,
            [](const IncrementFigures& r) { return r.Slit.Rate; } },
        { "land or outlet path shear stress (gf/cm2)", 1,
            [](const IncrementFigures& r) { return r.Slit.Stress; } },
        { "mean age at the node (s)", 2, [](const IncrementFigures& r) { return r.NodeMeanAge; } },
        { "mean age leaving the land or outlet path (s)", 2,
            [](const IncrementFigures& r) { return r.PathMeanAge; } },
    } };

} // namespace

IncrementTableModel::IncrementTableModel(char decimalSeparator, QObject* parent)
    : QAbstractTableModel(parent)
    , decimalSeparator_(decimalSeparator)
{
}

void IncrementTableModel::SetIncrements(std::vector<IncrementFigures> increments)
{
    beginResetModel();
    increments_ = std::move(increments);
    endResetModel();
}

int IncrementTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(increments_.size());
}

int IncrementTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(Columns.size());
}

QVariant IncrementTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const Column& column = Columns[static_cast<std::size_t>(index.column())];
    const double value = column.Read(increments_[static_cast<std::size_t>(index.row())]);
    switch (role) {
    case Qt::DisplayRole:
        return column.Decimals < 0 ? QString::number(static_cast<int>(value))
                                   : FixedNumber(value, column.Decimals, decimalSeparator_);
    case Qt::UserRole:
        return value;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant IncrementTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromUtf8(Columns[static_cast<std::size_t>(section)].Title);
}

} // namespace karrow
