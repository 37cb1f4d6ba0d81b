// Runs started from the window: what each way a run can end shows, writes and lists.

#include "finish_dialog.h"
#include "folder_chooser.h"
#include "main_window.h"
#include "window_under_test.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <memory>

using namespace karrow;
using namespace karrow::test;

namespace {
const QString InputMessage = QStringLiteral("Input data is not proper, change and try again!");
const QString NotConvergedMessage =
    QStringLiteral("This case does not congerge, power law parameter <n> may be too small.");
const QString FinishedText = QStringLiteral("Calculation is successfully finished !");
// Well past the time the folder chooser takes to show a change on disk.
constexpr int ChangeNoticedMs = 500;
} // namespace

class RunTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void goodRunWritesIntoTheOpenedFolder();
    void finishDialogIsModalAndShowsItsTexts();
    void badFieldKeepsAnExistingReport_data();
    void badFieldKeepsAnExistingReport();
    void nonConvergenceRemovesTheReport();
    void faultShowsErrorBoxAndKeepsWhatWasWritten();
    void reportThatCannotBeCreated_data();
    void reportThatCannotBeCreated();
    void fullPathIsWrittenWhateverTheChooserShows();

private:
    std::unique_ptr<WindowUnderTest> window_;
};

void RunTest::init()
{
    window_ = std::make_unique<WindowUnderTest>();
    QVERIFY(window_->IsValid());
}

void RunTest::cleanup()
{
    window_.reset();
}

void RunTest::goodRunWritesIntoTheOpenedFolder()
{
    MainWindow* form = window_->Window();
    QVERIFY(QDir(window_->Folder()).mkdir("out"));
    QVERIFY(ChooserOf(form).OpenFolder(window_->PathOf("out")));
    ModalDialogCloser closer(form);
    // The report is listed once the finish dialog has been closed, not while it is open.
    QStringList listedLateInTheDialog { "not looked at" };
    closer.WhileOpen([&](QWidget*) {
        QTest::qWait(ChangeNoticedMs);
        listedLateInTheDialog = Items(Files(form));
    });

    QTest::mouseClick(OkButton(form), Qt::LeftButton);

    QCOMPARE(closer.SeenNames(), QStringList { "FinishForm" });
    QCOMPARE(closer.Seen()[0].FilesListedMeanwhile, QStringList());
    QCOMPARE(listedLateInTheDialog, QStringList());
    const QByteArray report = Contents(window_->PathOf("out/result.txt"));
    QCOMPARE(report.count("\r\n"), 29 + 34);
    QVERIFY(!Exists(window_->PathOf("result.txt")));
    QCOMPARE(Items(Files(form)), QStringList { "result.txt" });
    QCOMPARE(QDir::currentPath(), window_->PathOf("out"));
}

void RunTest::finishDialogIsModalAndShowsItsTexts()
{
    MainWindow* form = window_->Window();
    FinishDialog* finishDialog = FinishDialogOf(form);
    QSignalSpy okClicks(OkButton(form), &QPushButton::clicked);
    ModalDialogCloser closer(form);
    const QPoint okInWindow = OkButton(form)->mapTo(form, OkButton(form)->rect().center());
    bool modal = false;
    QString date;
    int okClicksWhileOpen = -1;
    bool closedByEnter = false;
    closer.WhileOpen([&](QWidget* dialog) {
        if (dialog != finishDialog)
            return;
        modal = finishDialog->isModal();
        date = finishDialog->findChild<QLabel*>("Label2")->text();
        // A click that reaches the main window would start a second run.
        QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, okInWindow);
        okClicksWhileOpen = static_cast<int>(okClicks.count());
        QTest::keyClick(finishDialog, Qt::Key_Return);
        closedByEnter = !finishDialog->isVisible();
    });

    QTest::mouseClick(OkButton(form), Qt::LeftButton);

    QCOMPARE(closer.SeenNames(), QStringList { "FinishForm" });
    QCOMPARE(closer.Seen()[0].Title, QStringLiteral("Finsh"));
    QCOMPARE(closer.Seen()[0].Text, FinishedText);
    QCOMPARE(date, QStringLiteral("2008.8.6"));
    QVERIFY(modal);
    QCOMPARE(okClicksWhileOpen, 0);
    QVERIFY(closedByEnter);
    QVERIFY(!finishDialog->isVisible());

    // The same click with no dialog open does reach the button, and the dialog is shown again.
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, okInWindow);
    QCOMPARE(okClicks.count(), 2);
    QCOMPARE(closer.SeenNames(), (QStringList { "FinishForm", "FinishForm" }));
}

void RunTest::badFieldKeepsAnExistingReport_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("label");
    QTest::newRow("channels with a decimal") << 1 << "4.0"
                                             << "Number of Channels (-)";
    QTest::newRow("lip height not a number") << 3 << "abc"
                                             << "Lip Height (cm)";
    QTest::newRow("comma under a full stop") << 9 << "0,01"
                                             << "Inlet Slit Height (cm)";
    QTest::newRow("empty increments") << 14 << ""
                                      << "Total Increments";
}

void RunTest::badFieldKeepsAnExistingReport()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, label);
    MainWindow* form = window_->Window();
    const QByteArray older("an older report\r\n");
    window_->Write("result.txt", older);
    ChooserOf(form).Reread();
    // Written by another program as the run starts: while the run is under way, the list
    // changes only when the run reads it again, which a rejected run does not do.
    window_->Write("later.txt", "x");
    Edit(form, field)->setText(text);
    ModalDialogCloser closer(form);
    QStringList listedLateInTheMessage;
    closer.WhileOpen([&](QWidget*) {
        QTest::qWait(ChangeNoticedMs);
        listedLateInTheMessage = Items(Files(form));
    });

    QTest::mouseClick(OkButton(form), Qt::LeftButton);

    QCOMPARE(closer.SeenNames(), QStringList { "MessageBox" });
    QCOMPARE(listedLateInTheMessage, QStringList { "result.txt" });
    const QStringList lines = closer.Seen()[0].Text.split('\n');
    QCOMPARE(lines.value(0), InputMessage);
    QVERIFY2(lines.value(1).contains(label), qPrintable(closer.Seen()[0].Text));
    QCOMPARE(closer.Seen()[0].ButtonCount, 1);
    QCOMPARE(Contents(window_->PathOf("result.txt")), older);
    QTRY_COMPARE(Items(Files(form)), (QStringList { "later.txt", "result.txt" }));
}

void RunTest::nonConvergenceRemovesTheReport()
{
    MainWindow* form = window_->Window();
    window_->Write("other.txt", "x");
    Edit(form, 6)->setText("0.2");
    ModalDialogCloser closer(form);
    bool begunWhileMessageOpen = false;
    closer.WhileOpen(
        [&](QWidget*) { begunWhileMessageOpen = Exists(window_->PathOf("result.txt")); });

    QTest::mouseClick(OkButton(form), Qt::LeftButton);

    QCOMPARE(closer.SeenNames(), QStringList { "MessageBox" });
    QCOMPARE(closer.Seen()[0].Text, NotConvergedMessage);
    QVERIFY(begunWhileMessageOpen);
    // Deleted, and the list read again: it shows the other file but not the report.
    QVERIFY(!Exists(window_->PathOf("result.txt")));
    QCOMPARE(Items(Files(form)), QStringList { "other.txt" });
}

void RunTest::faultShowsErrorBoxAndKeepsWhatWasWritten()
{
    MainWindow* form = window_->Window();
    // A melt far too thin for the model: the channel conductances overflow.
    Edit(form, 7)->setText("1e-300");
    ModalDialogCloser closer(form);

    QTest::mouseClick(OkButton(form), Qt::LeftButton);

    QCOMPARE(closer.SeenNames(), QStringList { "ErrorBox" });
    QCOMPARE(closer.Seen()[0].Title, QStringLiteral("Karrow"));
    QVERIFY2(closer.Seen()[0].Text.contains("channel conductances"),
        qPrintable(closer.Seen()[0].Text));
    QCOMPARE(closer.Seen()[0].ButtonCount, 1);
    // The input section stays; the run does not read the file list again, but the report is
    // listed once the run is over, as any file that appears in the open folder.
    const QByteArray partial = Contents(window_->PathOf("result.txt"));
    QVERIFY(partial.count("\r\n") >= 10);
    QVERIFY(partial.count("\r\n") < 29 + 34);
    QTRY_COMPARE(Items(Files(form)), QStringList { "result.txt" });

    // The window stays usable.
    Edit(form, 7)->setText("11.0");
    QTest::mouseClick(OkButton(form), Qt::LeftButton);
    QCOMPARE(closer.SeenNames(), (QStringList { "ErrorBox", "FinishForm" }));
    QCOMPARE(Contents(window_->PathOf("result.txt")).count("\r\n"), 29 + 34);
    QCOMPARE(Items(Files(form)), QStringList { "result.txt" });
}

void RunTest::reportThatCannotBeCreated_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing folder") << "missing/result.txt";
    QTest::newRow("empty name") << "";
}

void RunTest::reportThatCannotBeCreated()
{
    QFETCH(QString, name);
    MainWindow* form = window_->Window();
    Edit(form, 15)->setText(name);
    ModalDialogCloser closer(form);

    QTest::mouseClick(OkButton(form), Qt::LeftButton);

    QCOMPARE(closer.SeenNames(), QStringList { "MessageBox" });
    const QStringList lines = closer.Seen()[0].Text.split('\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("File can not open!"));
    QVERIFY2(lines[1].startsWith(window_->Folder()), qPrintable(lines[1]));
    QCOMPARE(
        QDir(window_->Folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void RunTest::fullPathIsWrittenWhateverTheChooserShows()
{
    MainWindow* form = window_->Window();
    QVERIFY(QDir(window_->Folder()).mkdir("elsewhere"));
    Edit(form, 15)->setText(window_->PathOf("elsewhere/named.txt"));
    ModalDialogCloser closer(form);

    QTest::mouseClick(OkButton(form), Qt::LeftButton);

    QCOMPARE(closer.SeenNames(), QStringList { "FinishForm" });
    QCOMPARE(Contents(window_->PathOf("elsewhere/named.txt")).count("\r\n"), 29 + 34);
    QCOMPARE(ChooserOf(form).OpenedFolder(), window_->Folder());
    QCOMPARE(Items(Files(form)), QStringList());
}

QTEST_MAIN(RunTest)
#include "run_test.moc"
