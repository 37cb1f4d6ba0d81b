#pragma once

#include "report/figures.h"

#include <QAbstractTableModel>
#include <vector>

namespace karrow {

// The per-increment figures of a run as a table, one row per increment. The display role holds
// the number as shown, the sort role (Qt::UserRole) the number itself, so that a sorting proxy
// orders by value rather than by text.
class IncrementTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit IncrementTableModel(char decimalSeparator, QObject* parent = nullptr);

    void SetIncrements(std::vector<IncrementFigures> increments);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    char decimalSeparator_;
    std::vector<IncrementFigures> increments_;
};

} // namespace karrow
