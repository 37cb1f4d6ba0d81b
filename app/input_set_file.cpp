#include "input_set_file.h"

#include "run/fields.h"
#include "run/input_set.h"
#include "run/melt_document.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace karrow {

namespace {

    // A run document carries every increment's figures: larger than an input set by far, but
    // anything beyond this is not one.
    constexpr qint64 LargestRunDocument = 64 << 20;

    QString NamingTheFile(const QString& path, const QString& problem)
    {
        return problem.contains(path) ? problem : QStringLiteral("%1: %2").arg(path, problem);
    }

    MeltChoice ChoiceOf(const InputSetMelt& kept)
    {
        MeltChoice choice { kept.Name, kept.TheMelt, {} };
        const MeltRunSettings& s = kept.Settings;
        choice.Conditions.MeltTemperature = s.MeltTemperature.value_or(0);
        choice.Conditions.Thermal =
            s.Thermal == "heated" ? ThermalMode::Heated : ThermalMode::Isothermal;
        choice.Conditions.WallTemperature = s.WallTemperature.value_or(0);
        choice.Conditions.HeatTransferCoefficient = s.HeatTransferCoefficient.value_or(0);
        return choice;
    }

    struct RunDocument {
        QByteArray Text;
        QJsonObject Texts; // "inputs" → "texts"
    };

    // The document of a run, or nothing when the file is not one.
    std::optional<RunDocument> RunDocumentOf(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.size() > LargestRunDocument)
            return std::nullopt;
        RunDocument run { file.readAll(), {} };
        const QJsonDocument document = QJsonDocument::fromJson(run.Text);
        const QJsonValue texts = document.object().value(QStringLiteral("inputs"))
                                     .toObject()
                                     .value(QStringLiteral("texts"));
        if (!document.isObject() || !texts.isObject())
            return std::nullopt;
        run.Texts = texts.toObject();
        return run;
    }

    FieldTextsReading FromRunDocument(const QString& path, const RunDocument& run)
    {
        const QJsonObject& texts = run.Texts;
        FieldTextsReading reading;
        WindowFieldTexts fields;
        for (const Field field : AllFields) {
            const QString key = QString::fromUtf8(InfoOf(field).JsonKey);
            const QJsonValue text = texts.value(key);
            if (!text.isString()) {
                reading.Problem = QStringLiteral(
                    "%1 is the document of a run, not an input set, and the inputs it holds "
                    "lack the field \"%2\": nothing was opened.")
                                      .arg(path, key);
                return reading;
            }
            fields[field] = text.toString();
        }
        const auto melt = RecordedMeltOf(run.Text.toStdString());
        if (const auto* problem = std::get_if<std::string>(&melt)) {
            reading.Problem = QStringLiteral("%1 is the document of a run, and the melt it "
                                             "records cannot be taken: %2 Nothing was opened.")
                                  .arg(path, QString::fromStdString(*problem));
            return reading;
        }
        if (const auto& recorded = std::get<std::optional<InputSetMelt>>(melt)) {
            reading.SaysMelt = true;
            reading.Melt = ChoiceOf(*recorded);
        }
        reading.Texts = fields;
        return reading;
    }

    InputSetMelt KeptOf(const MeltChoice& choice)
    {
        return KeptMelt(choice.Grade, choice.Melt, choice.Conditions);
    }

} // namespace

FieldTextsReading ReadFieldTexts(const QString& path, char decimalSeparator)
{
    const InputSetReading set = ReadInputSet(path.toStdString(), decimalSeparator);
    if (set.Set) {
        WindowFieldTexts texts;
        for (const Field field : AllFields)
            texts[field] = QString::fromStdString(set.Set->Texts[field]);
        std::optional<MeltChoice> melt;
        if (set.Set->RealMelt)
            melt = ChoiceOf(*set.Set->RealMelt);
        return { texts, true, melt, QString() };
    }
    if (const std::optional<RunDocument> run = RunDocumentOf(path))
        return FromRunDocument(path, *run);
    return { std::nullopt, false, std::nullopt,
        NamingTheFile(path, QString::fromStdString(set.Problem)) };
}

std::optional<QString> WriteFieldTexts(const QString& path, const WindowFieldTexts& texts,
    const std::optional<MeltChoice>& melt, char decimalSeparator)
{
    InputSet set;
    for (const Field field : AllFields)
        set.Texts[field] = texts[field].toStdString();
    if (melt)
        set.RealMelt = KeptOf(*melt);
    const std::optional<std::string> problem = WriteInputSet(path.toStdString(), set, decimalSeparator);
    if (!problem)
        return std::nullopt;
    return NamingTheFile(path, QString::fromStdString(*problem));
}

} // namespace karrow
