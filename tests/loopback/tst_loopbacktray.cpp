// The window's form, the tray icon and menu, and what closing the window does.
#include "loopbacktray.h"
#include "mainwindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestLoopbackTray : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void form();
    void trayIconAndMenu();
    void doubleClickTogglesWindow();
    void closeNoticeShownOnce();
    void withoutTrayTheWindowStays();
    // Last: after a quit no nested event loop runs any more in this process.
    void exitEndsTheProgram();

private:
    // Answers message boxes while `action` runs; returns the titles and texts seen.
    QStringList answerBoxes(const std::function<void()> &action);
};

void TestLoopbackTray::init()
{
    QSettings().clear();
    QApplication::setQuitOnLastWindowClosed(false);
}

QStringList TestLoopbackTray::answerBoxes(const std::function<void()> &action)
{
    QStringList seen;
    QTimer timer;
    timer.setInterval(20);
    connect(&timer, &QTimer::timeout, [&seen] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            if (box && box->isVisible()) {
                seen << box->windowTitle() + QLatin1Char('|') + box->text();
                box->button(QMessageBox::Ok)->click();
            }
        }
    });
    timer.start();
    action();
    timer.stop();
    return seen;
}

void TestLoopbackTray::form()
{
    MainWindow window;
    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Brontel Input Loopback "));
    QCOMPARE(window.font().family(), QStringLiteral("DejaVu Sans"));
    for (const char *name : {"centralwidget", "label_3", "label_4", "label", "label_2"})
        QVERIFY2(window.findChild<QWidget *>(QLatin1String(name)), name);
    for (const char *name : {"verticalLayout", "horizontalLayout_4", "horizontalLayout",
             "horizontalLayout_3", "horizontalLayout_2"})
        QVERIFY2(window.findChild<QLayout *>(QLatin1String(name)), name);
    QCOMPARE(window.findChild<QGridLayout *>(QStringLiteral("button_status"))->spacing(), 1);
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("label_4"))->text(),
        QStringLiteral("Brontel Input Loopback v0.2"));
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("label"))->text(),
        QStringLiteral("Input Device:"));
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("label_2"))->text(),
        QStringLiteral("Output Device:"));
    auto *logo = window.findChild<QLabel *>(QStringLiteral("label_3"));
    QVERIFY(logo->pixmap(Qt::ReturnByValue).width() > 0);
    QVERIFY(logo->hasScaledContents());
    auto *dest = window.findChild<QComboBox *>(QStringLiteral("cb_dest"));
    QCOMPARE(dest->minimumHeight(), 46);
    QCOMPARE(dest->toolTip(), QStringLiteral("Output Device"));
    QCOMPARE(dest->modelColumn(), 1);
    QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("cb_source"))->modelColumn(), 1);
    auto *refresh = window.findChild<QPushButton *>(QStringLiteral("pushButton"));
    QCOMPARE(refresh->text(), QStringLiteral("↺"));
    QCOMPARE(refresh->maximumSize(), QSize(30, 30));
    QCOMPARE(refresh->font().pointSize(), 12);
}

void TestLoopbackTray::trayIconAndMenu()
{
    MainWindow window;
    LoopbackTray tray(&window, true);
    QVERIFY(tray.trayAvailable());
    QCOMPARE(tray.trayIcon()->toolTip(), QStringLiteral("Brontel Input Loopback"));
    QVERIFY(tray.trayIcon()->isVisible());
    QVERIFY(!tray.trayIcon()->icon().isNull());
    QVERIFY(!window.windowIcon().isNull());
    QMenu *menu = tray.trayIcon()->contextMenu();
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions().first()->text(), QStringLiteral("Exit"));
    QVERIFY(window.runsInBackground());
}

void TestLoopbackTray::exitEndsTheProgram()
{
    MainWindow window;
    LoopbackTray tray(&window, true);
    QEventLoop loop;
    QTimer::singleShot(0, tray.exitAction(), &QAction::trigger);
    QTimer::singleShot(5000, &loop, [&loop] { loop.exit(1); });
    QCOMPARE(loop.exec(), 0);
}

void TestLoopbackTray::doubleClickTogglesWindow()
{
    MainWindow window;
    LoopbackTray tray(&window, true);
    window.show();
    Q_EMIT tray.trayIcon()->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(window.isHidden());
    // A single click does nothing.
    Q_EMIT tray.trayIcon()->activated(QSystemTrayIcon::Trigger);
    QVERIFY(window.isHidden());
    Q_EMIT tray.trayIcon()->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(window.isVisible());
}

void TestLoopbackTray::closeNoticeShownOnce()
{
    MainWindow window;
    LoopbackTray tray(&window, true);
    window.show();
    QCOMPARE(answerBoxes([&] { window.close(); }),
        QStringList {QStringLiteral(
            "Running in background|Brontel Input Loopback will now run in the background")});
    QVERIFY(window.isHidden());
    QCOMPARE(QSettings().value(QStringLiteral("notified_tray")).toBool(), true);

    window.show();
    QCOMPARE(answerBoxes([&] { window.close(); }), QStringList());
    QVERIFY(window.isHidden());

    // The notice is remembered across starts.
    MainWindow next;
    LoopbackTray nextTray(&next, true);
    next.show();
    QCOMPARE(answerBoxes([&] { next.close(); }), QStringList());
}

void TestLoopbackTray::withoutTrayTheWindowStays()
{
    MainWindow window;
    LoopbackTray tray(&window, false);
    QVERIFY(!tray.trayAvailable());
    QVERIFY(!window.runsInBackground());
    QVERIFY(QApplication::quitOnLastWindowClosed());
    window.show();
    auto *note = window.findChild<QLabel *>(QStringLiteral("label_no_tray"));
    QVERIFY(note);
    QVERIFY(note->isVisible());
    QVERIFY(note->text().contains(QStringLiteral("closing this window ends the program")));
    // Closing really closes (and so ends the program) instead of hiding for good.
    QCOMPARE(answerBoxes([&] { QVERIFY(window.close()); }), QStringList());
}

int main(int argc, char **argv)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tavik"));
    QApplication::setApplicationName(QStringLiteral("BrontelLoopback"));
    TestLoopbackTray test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_loopbacktray.moc"
