#pragma once

#include "melt_choice.h"
#include "run/run_json.h"
#include "run/material_power_law.h"

#include <QWidget>
#include <optional>

class QChartView;
class QLabel;

namespace karrow {

// The results window's "Melt" tab: the exact network's answer for the melt chosen in the Melt
// dialog, on the geometry of the run shown, beside the classic power-law report; and the melt
// temperature along the channel and round the die. Solved again whenever the run or the melt
// changes (a network solve takes milliseconds).
class MeltPanel : public QWidget {
    Q_OBJECT

public:
    explicit MeltPanel(QWidget* parent = nullptr);

    // The run shown: its classic solution's geometry carries the melt's network, and its wall
    // shear rates (the exact answer's, else the classic ones) are the design's range.
    void SetRun(const RunRecord& record);
    void SetMelt(const std::optional<MeltChoice>& melt);

    // The answer shown, when a run and a melt gave one.
    const std::optional<MeltAnswer>& Answer() const { return answer_; }
    const std::optional<ShearRateRange>& DesignShearRates() const { return rates_; }
    QChartView* TemperatureChart() const { return chart_; }

private:
    void Show();

    std::optional<Solution> run_;
    std::optional<MeltChoice> melt_;
    std::optional<MeltAnswer> answer_;
    std::optional<ShearRateRange> rates_;
    QLabel* text_ = nullptr;
    QChartView* chart_ = nullptr;
};

// The answer in words: melt, conditions, head pressure, outlet spread, temperatures and the
// solver's iterations, or why there is none.
QString MeltAnswerText(const MeltChoice& melt, const MeltAnswer& answer);

} // namespace karrow
