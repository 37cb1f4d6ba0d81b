// Under regional settings whose decimal separator is a comma: the window shows its default
// reals with it, so a run with the defaults parses and writes numbers with the comma.

#include "main_window.h"
#include "regional_settings.h"
#include "window_under_test.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace karrow;
using namespace karrow::test;

class CommaLocaleTest : public QObject {
    Q_OBJECT

private slots:
    void defaultsRunWithTheRegionalSeparator();
};

void CommaLocaleTest::defaultsRunWithTheRegionalSeparator()
{
    const char separator = RegionalDecimalSeparator();
    QCOMPARE(separator, ',');
    WindowUnderTest window(separator);
    QVERIFY(window.IsValid());
    MainWindow* form = window.Window();
    QCOMPARE(Edit(form, 1)->text(), QStringLiteral("4"));
    QCOMPARE(Edit(form, 2)->text(), QStringLiteral("12,38"));
    QCOMPARE(Edit(form, 6)->text(), QStringLiteral("0,69"));
    QCOMPARE(Edit(form, 15)->text(), QStringLiteral("result.txt"));
    ModalDialogCloser closer(form);

    QTest::mouseClick(OkButton(form), Qt::LeftButton);

    QCOMPARE(closer.SeenNames(), QStringList { "FinishForm" });
    const QByteArray report = Contents(window.PathOf("result.txt"));
    QCOMPARE(report.count("\r\n"), 29 + 34);
    QVERIFY(report.contains("0,690"));
    QVERIFY(!report.contains("0.690"));
}

QTEST_MAIN(CommaLocaleTest)
#include "comma_locale_test.moc"
