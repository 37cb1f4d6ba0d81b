// The finish dialog on its own: its message whole inside its frame in the Gothic faces, at the
// normal and at a higher device pixel ratio (ctest runs this program under both), and a fixed
// size with a close button only.

#include "finish_dialog.h"
#include "window_under_test.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QTest>

using namespace karrow;
using namespace karrow::test;

class FinishDialogTest : public QObject {
    Q_OBJECT

private slots:
    void messageFitsInsideItsFrame();
    void fixedSizeWithACloseButtonOnly();
};

void FinishDialogTest::messageFitsInsideItsFrame()
{
    FinishDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QLabel* message = Message(&dialog);
    QVERIFY(message);
    QCOMPARE(message->text(), QStringLiteral("Calculation is successfully finished !"));

    const QFontInfo face(message->font());
    const int advance = QFontMetrics(message->font()).horizontalAdvance(message->text());
    QVERIFY2(advance <= message->contentsRect().width(),
        qPrintable(QStringLiteral("%1 px of text in %2 px, face %3, device pixel ratio %4")
                       .arg(advance)
                       .arg(message->contentsRect().width())
                       .arg(face.family())
                       .arg(dialog.devicePixelRatioF())));
    // A label wider than its frame is cut by the frame instead.
    const QWidget* frame = message->parentWidget();
    QVERIFY2(frame->contentsRect().contains(message->geometry()),
        qPrintable(QStringLiteral("label %1 px from %2, frame inside ends at %3")
                       .arg(message->width())
                       .arg(message->x())
                       .arg(frame->contentsRect().right())));
    QCOMPARE(face.pixelSize(), 16);
}

void FinishDialogTest::fixedSizeWithACloseButtonOnly()
{
    FinishDialog dialog;
    const Qt::WindowFlags flags = dialog.windowFlags();

    // Without the customize hint the platform chooses the buttons itself.
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(dialog.windowType(), Qt::Dialog);
    QCOMPARE(dialog.minimumSize(), QSize(305, 179));
    QCOMPARE(dialog.maximumSize(), QSize(305, 179));
    QVERIFY(!dialog.isSizeGripEnabled());
}

QTEST_MAIN(FinishDialogTest)
#include "finish_dialog_test.moc"
