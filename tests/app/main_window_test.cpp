// The main window as a user meets it: its fields, keyboard, resources, the input sets of its File
// menu, its message boxes, and the ways to close it.

#include "finish_dialog.h"
#include "main_window.h"
#include "message_box.h"
#include "window_under_test.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <memory>

using namespace karrow;
using namespace karrow::test;

Q_DECLARE_METATYPE(karrow::MessageBoxKind)

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void freshWindowShowsDefaults_data();
    void freshWindowShowsDefaults();
    void rheologyRowsCannotBeChanged();
    void tabVisitsEnabledInputsInRowOrder();
    void enterInAFieldRunsLikeOk();
    void resourcesAndFontAreThere();
    void panelFollowsTheClientArea();
    void inputSetsSaveAndOpenFromTheMenuBeforeAnyRun();
    void messageBoxesKeepTheirTitleButtonsAndAnswers_data();
    void messageBoxesKeepTheirTitleButtonsAndAnswers();
    void closingEndsTheProgramAndWritesNothing_data();
    void closingEndsTheProgramAndWritesNothing();

private:
    std::unique_ptr<WindowUnderTest> window_;
};

void MainWindowTest::init()
{
    window_ = std::make_unique<WindowUnderTest>();
    QVERIFY(window_->IsValid());
}

void MainWindowTest::cleanup()
{
    window_.reset();
}

void MainWindowTest::freshWindowShowsDefaults_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("Edit1") << 1 << "Number of Channels (-)"
                           << "4" << true;
    QTest::newRow("Edit2") << 2 << "Spiral Height (cm)"
                           << "12.38" << true;
    QTest::newRow("Edit3") << 3 << "Lip Height (cm)"
                           << "1.0" << true;
    QTest::newRow("Edit4") << 4 << "Die Radius (cm)"
                           << "11.25" << true;
    QTest::newRow("Edit5") << 5 << "Flow Rate / Channel (cm3/sec)"
                           << "4.12" << true;
    QTest::newRow("Edit6") << 6 << "Power Law Parameter <n> (-)"
                           << "0.69" << false;
    QTest::newRow("Edit7") << 7 << "Standard Viscosity (gf.sec/cm2)"
                           << "11.0" << false;
    QTest::newRow("Edit8") << 8 << "Standard Shear Rate (1/sec)"
                           << "100.0" << false;
    QTest::newRow("Edit9") << 9 << "Inlet Slit Height (cm)"
                           << "0.01" << true;
    QTest::newRow("Edit10") << 10 << "Outlet Slit Height (cm)"
                            << "0.165" << true;
    QTest::newRow("Edit11") << 11 << "Inlet Channel Depth* (cm)"
                            << "1.0" << true;
    QTest::newRow("Edit12") << 12 << "Outlet Channel Depth* (cm)"
                            << "0.165" << true;
    QTest::newRow("Edit13") << 13 << "Channel Width (cm)"
                            << "1.2" << true;
    QTest::newRow("Edit14") << 14
                            << QString::fromUtf8(
                                   "Total Increments <15 deg.=\u03C0/12 rad each> (-)")
                            << "39" << true;
    QTest::newRow("Edit15")
        << 15 << "* Channel depth is the distance from channel bottom to body surface."
        << "result.txt" << true;
}

void MainWindowTest::freshWindowShowsDefaults()
{
    QFETCH(int, field);
    QFETCH(QString, label);
    QFETCH(QString, text);
    QFETCH(bool, enabled);

    const MainWindow* form = window_->Window();
    const auto* edit = form->findChild<QLineEdit*>(QStringLiteral("Edit%1").arg(field));
    const auto* labelControl = form->findChild<QLabel*>(QStringLiteral("Label%1").arg(field));
    QVERIFY(edit);
    QVERIFY(labelControl);
    QCOMPARE(labelControl->text(), label);
    QCOMPARE(edit->text(), text);
    QCOMPARE(edit->isEnabled(), enabled);
    QCOMPARE(form->windowTitle(), QStringLiteral("Karrow"));
}

void MainWindowTest::rheologyRowsCannotBeChanged()
{
    MainWindow* form = window_->Window();
    for (int field : { 6, 7, 8 }) {
        QLineEdit* edit = Edit(form, field);
        const QString before = edit->text();
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClicks(edit, "99");
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), before);
        QVERIFY(!edit->hasFocus());
    }
}

void MainWindowTest::tabVisitsEnabledInputsInRowOrder()
{
    MainWindow* form = window_->Window();
    QCOMPARE(QApplication::focusWidget(), Edit(form, 1));

    QStringList visited;
    for (int step = 0; step < 11; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget()->objectName());
    }
    // The rheology rows, Edit15, the chooser and the buttons are left out, and Tab wraps.
    const QStringList expected { "Edit2", "Edit3", "Edit4", "Edit5", "Edit9", "Edit10", "Edit11",
        "Edit12", "Edit13", "Edit14", "Edit1" };
    QCOMPARE(visited, expected);
}

void MainWindowTest::enterInAFieldRunsLikeOk()
{
    MainWindow* form = window_->Window();
    QSignalSpy okClicks(OkButton(form), &QPushButton::clicked);
    ModalDialogCloser closer(form);

    QTest::keyClick(Edit(form, 1), Qt::Key_Return);

    QCOMPARE(okClicks.count(), 1);
    QCOMPARE(closer.SeenNames(), QStringList { "FinishForm" });
    QVERIFY(Exists(window_->PathOf("result.txt")));
}

void MainWindowTest::resourcesAndFontAreThere()
{
    const MainWindow* form = window_->Window();
    const QPixmap picture = form->findChild<QLabel*>("Image1")->pixmap();
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.size(), QSize(226, 280));
    QVERIFY(!form->windowIcon().isNull());
    QVERIFY(!FinishDialogOf(form)->windowIcon().isNull());

    // The requested face or one of the Gothic faces named after it, never a generic default.
    const QFontInfo used(Edit(form, 1)->font());
    const QStringList gothic { QStringLiteral(u"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF"),
        "VL PGothic", "IPAPGothic", "Noto Sans CJK JP" };
    QVERIFY2(gothic.contains(used.family()), qPrintable(used.family()));
    QCOMPARE(used.pixelSize(), 12);
    QCOMPARE(QFontInfo(OkButton(form)->font()).pixelSize(), 15);
}

void MainWindowTest::panelFollowsTheClientArea()
{
    MainWindow* form = window_->Window();
    QCOMPARE(form->centralWidget()->objectName(), QStringLiteral("Panel1"));
    // The menu bar sits above the form, which keeps its client area.
    const int menuHeight = form->menuBar()->height();
    QVERIFY(menuHeight > 0);
    QCOMPARE(form->menuBar()->geometry().bottom() + 1, form->centralWidget()->y());
    QCOMPARE(form->centralWidget()->geometry(), QRect(0, menuHeight, 635, 440));
    const QRect okBefore = OkButton(form)->geometry();

    form->resize(800, 600 + menuHeight);
    QTRY_COMPARE(form->centralWidget()->size(), QSize(800, 600));
    QCOMPARE(OkButton(form)->geometry(), okBefore);
    QCOMPARE(Files(form)->geometry(), QRect(512, 296, 120, 136));
}

void MainWindowTest::inputSetsSaveAndOpenFromTheMenuBeforeAnyRun()
{
    MainWindow* form = window_->Window();
    QVERIFY(!form->Results());
    const auto action = [form](const char* name) {
        return form->menuBar()->findChild<QAction*>(QString::fromLatin1(name));
    };
    QAction* save = action("SaveInputsAction");
    QAction* open = action("OpenInputsAction");
    QVERIFY(save && save->isEnabled() && open && open->isEnabled());

    // A melt of its own in the rheology rows, which the window shows but never lets be typed;
    // saved from the menu, the input set's suffix added to the name typed.
    MainWindow::FieldTexts saved = form->AllFieldTexts();
    saved[Field::SpiralHeight] = QStringLiteral("11.50");
    saved[Field::PowerLawIndex] = QStringLiteral("0.550");
    saved[Field::SaveFileName] = QStringLiteral("second.txt");
    form->SetFieldTexts(saved);
    const QString path = window_->PathOf("design.karrow");
    {
        ModalDialogCloser closer(form);
        closer.WhileOpen([&](QWidget* dialog) {
            auto* chooser = qobject_cast<QFileDialog*>(dialog);
            if (!chooser)
                return;
            chooser->selectFile(chooser->objectName() == "SaveFileDialog"
                    ? window_->PathOf("design")
                    : path);
            static_cast<QDialog*>(chooser)->accept();
        });
        save->trigger();
        QVERIFY(Exists(path));
        Edit(form, 2)->setText("9.00");
        Edit(form, 15)->setText("other.txt");
        open->trigger();
        QCOMPARE(closer.SeenNames(), QStringList({ "SaveFileDialog", "OpenFileDialog" }));
    }
    QCOMPARE(form->AllFieldTexts(), saved);
    QVERIFY(!Edit(form, 6)->isEnabled());
    // Nothing ran for it: no results window, no report.
    QVERIFY(!form->Results());
    QCOMPARE(QDir(window_->Folder()).entryList(QDir::Files), QStringList { "design.karrow" });

    // The next run calculates what was opened.
    ModalDialogCloser closer(form);
    QTest::mouseClick(OkButton(form), Qt::LeftButton);
    QCOMPARE(closer.SeenNames(), QStringList { "FinishForm" });
    QVERIFY(Contents(window_->PathOf("second.txt")).contains("=  0.550"));
}

void MainWindowTest::messageBoxesKeepTheirTitleButtonsAndAnswers_data()
{
    QTest::addColumn<MessageBoxKind>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("pressed");
    QTest::addColumn<bool>("answer");
    QTest::newRow("error") << MessageBoxKind::Error << "ErrorBox" << 1
                           << int(QMessageBox::Ok) << true;
    QTest::newRow("message") << MessageBoxKind::Message << "MessageBox" << 1
                             << int(QMessageBox::Ok) << true;
    QTest::newRow("replace: yes") << MessageBoxKind::ReplaceQuestion << "ReplaceQuestion" << 2
                                  << int(QMessageBox::Yes) << true;
    QTest::newRow("replace: no") << MessageBoxKind::ReplaceQuestion << "ReplaceQuestion" << 2
                                 << int(QMessageBox::No) << false;
}

void MainWindowTest::messageBoxesKeepTheirTitleButtonsAndAnswers()
{
    QFETCH(MessageBoxKind, kind);
    QFETCH(QString, name);
    QFETCH(int, buttons);
    QFETCH(int, pressed);
    QFETCH(bool, answer);
    MainWindow* form = window_->Window();
    ModalDialogCloser closer(form);
    QWidget* over = nullptr;
    closer.WhileOpen([&](QWidget* dialog) {
        over = dialog->parentWidget();
        if (auto* box = qobject_cast<QMessageBox*>(dialog))
            if (QAbstractButton* button = box->button(QMessageBox::StandardButton(pressed)))
                QTest::mouseClick(button, Qt::LeftButton);
    });

    // Asked from a control, the box is modal over the control's window.
    QCOMPARE(ShowMessageBox(Edit(form, 1), kind, QStringLiteral("Some news")), answer);

    QCOMPARE(closer.SeenNames(), QStringList { name });
    QCOMPARE(closer.Seen()[0].Title, QStringLiteral("Karrow"));
    QCOMPARE(closer.Seen()[0].Text, QStringLiteral("Some news"));
    QCOMPARE(closer.Seen()[0].ButtonCount, buttons);
    QCOMPARE(over, form);
}

void MainWindowTest::closingEndsTheProgramAndWritesNothing_data()
{
    QTest::addColumn<int>("way");
    QTest::newRow("Close button") << 0;
    QTest::newRow("Alt+C") << 1;
    QTest::newRow("title bar") << 2;
}

void MainWindowTest::closingEndsTheProgramAndWritesNothing()
{
    QFETCH(int, way);
    QPointer<MainWindow> form = window_->Window();
    QPointer<FinishDialog> finishDialog = FinishDialogOf(form);

    QTimer::singleShot(0, form, [form, way] {
        if (way == 0)
            QTest::mouseClick(CloseButton(form), Qt::LeftButton);
        else if (way == 1)
            QTest::keyClick(form, Qt::Key_C, Qt::AltModifier);
        else
            form->windowHandle()->close();
    });
    // Should the window survive, this ends the loop instead of the window.
    QTimer fallback;
    fallback.setSingleShot(true);
    connect(&fallback, &QTimer::timeout, [] { QApplication::exit(1); });
    fallback.start(10000);
    const int status = QApplication::exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QCOMPARE(status, 0);
    QVERIFY(form.isNull());
    QVERIFY(finishDialog.isNull());
    QCOMPARE(
        QDir(window_->Folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
