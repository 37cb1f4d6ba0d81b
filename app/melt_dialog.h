#pragma once

#include "melt_choice.h"
#include "run/material_power_law.h"

#include <QDialog>
#include <QString>
#include <map>
#include <optional>
#include <string>

class QChartView;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;

namespace karrow {

// "Melt…" (object name MeltDialog): the real melt the exact network runs with beside the
// classic power law. A grade of the library or the user's folder fills the constants, or the
// designer types them; the temperature and the thermal mode follow. The flow curve at that
// temperature is drawn as the constants change, with the design's wall shear rates shaded. OK
// keeps the dialog open, naming the constant or field, while anything does not make a melt.
class MeltDialog : public QDialog {
    Q_OBJECT

public:
    MeltDialog(const MaterialCatalogue& grades, const std::optional<MeltChoice>& current,
        const std::optional<ShearRateRange>& designRates, char decimalSeparator,
        QWidget* parent = nullptr);

    // What the fields make, or why they make nothing (naming the constant or field).
    struct Reading {
        std::optional<MeltChoice> Choice;
        QString Problem;
    };
    Reading Read() const;

    // The choice OK accepted.
    const std::optional<MeltChoice>& Chosen() const { return chosen_; }

    void accept() override;

private:
    void CreateUi(const MaterialCatalogue& grades);
    void GradePicked(int index);
    void ShowConstants();
    void FillFrom(const MeltChoice& choice);
    void Redraw();
    QString Number(double value) const;
    std::optional<double> Parse(const QLineEdit* field) const;

    char decimalSeparator_;
    std::optional<ShearRateRange> designRates_;
    std::vector<MaterialGrade> grades_;
    QComboBox* grade_ = nullptr;
    QComboBox* model_ = nullptr;
    QComboBox* shift_ = nullptr;
    QFormLayout* constants_ = nullptr;
    std::map<std::string, QLineEdit*, std::less<>> constantFields_;
    std::map<std::string, QString, std::less<>> typed_; // kept while the model changes
    QLineEdit* temperature_ = nullptr;
    QComboBox* thermal_ = nullptr;
    QLineEdit* wallTemperature_ = nullptr;
    QLineEdit* coefficient_ = nullptr;
    QLabel* problem_ = nullptr;
    QChartView* chart_ = nullptr;
    std::optional<MeltChoice> chosen_;
    bool filling_ = false;
};

} // namespace karrow
