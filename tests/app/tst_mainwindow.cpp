// The main window on a temporary profile: title, menus, action addresses, status bar, editor
// messages, "Exit", and which addresses openurl() hands to the desktop.
#include "debugcapture.h"
#include "httpserver.h"
#include "mainwindow.h"
#include "profilefixture.h"
#include "textfinder.h"
#include "urlcatcher.h"

#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSqlDatabase>
#include <QStatusBar>
#include <QWindow>
#include <QtTest>

#include <memory>

namespace {

// Nothing listens here: the requests sent at start fail at once and stay off the network.
const QUrl closedFeed(QStringLiteral("http://127.0.0.1:1/e/get-ad.php"));
const QString closedVersionFeed = QStringLiteral("http://127.0.0.1:1/version.xml");

const QStringList caughtSchemes
        = {"http", "https", "file", "ftp", "mailto", "smb", "javascript", "data"};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void title();
    void editorIsCentralWidget();
    void menus();
    void links_data();
    void links();
    void statusBarLabels();
    void editorMessages();
    void closingEndsEventLoop_data();
    void closingEndsEventLoop();
    void openurlSchemes_data();
    void openurlSchemes();
    void emptyProfile();
    void feedAddress();
    void requestsAtStart();

private:
    std::unique_ptr<ProfileFixture> fixture;
    UrlCatcher catcher;
};

void TestMainWindow::init()
{
    fixture = std::make_unique<ProfileFixture>();
    QVERIFY(fixture->isValid());
    QVERIFY(fixture->writeTconfig("TagDesk\nTarnwick\nTD-TEST\n"));
    QVERIFY(fixture->createDatabase({
            ProfileFixture::productTable(),
            ProfileFixture::productRow("TD-TEST", "TagDesk Test", "1.2", "http://help.test/manual",
                                       "https://home.test/p", closedVersionFeed),
    }));
    catcher.opened.clear();
    for (const QString &scheme : caughtSchemes)
        QDesktopServices::setUrlHandler(scheme, &catcher, "open");
}

void TestMainWindow::cleanup()
{
    for (const QString &scheme : caughtSchemes)
        QDesktopServices::unsetUrlHandler(scheme);
    fixture.reset();
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
}

void TestMainWindow::title()
{
    MainWindow window(nullptr, closedFeed);
    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // What the title bar shows; the title itself marks where unsaved changes would show.
    QCOMPARE(window.windowHandle()->title(), QStringLiteral("TagDesk Test"));
    QVERIFY(window.width() >= 726);
    QVERIFY(window.height() >= 311);
}

void TestMainWindow::editorIsCentralWidget()
{
    MainWindow window(nullptr, closedFeed);
    auto *editor = qobject_cast<TextFinder *>(window.centralWidget());
    QVERIFY(editor);
    QCOMPARE(editor->parent(), &window);
}

void TestMainWindow::menus()
{
    MainWindow window(nullptr, closedFeed);
    const QList<QAction *> top = window.menuBar()->actions();
    QCOMPARE(top.size(), 2);
    QCOMPARE(top.at(0)->text(), QStringLiteral("System"));
    QCOMPARE(top.at(1)->text(), QStringLiteral("Other Freeware"));
    QCOMPARE(top.at(0)->menu()->objectName(), QStringLiteral("menuMenu"));
    QCOMPARE(top.at(1)->menu()->objectName(), QStringLiteral("menuOther_Freeware"));

    QStringList entries;
    QStringList names;
    for (const QAction *action : top.at(0)->menu()->actions()) {
        QVERIFY(!action->isSeparator());
        entries << action->text();
        names << action->objectName();
    }
    QCOMPARE(entries, (QStringList {"Help", "Support", "Check New Version", "Exit"}));
    QCOMPARE(
            names,
            (QStringList {"actionHelp", "actionSupport", "actionCheck_New_Version", "actionExit"}));

    // Filled only by the feed's answer, which never comes here.
    QVERIFY(top.at(1)->menu()->actions().isEmpty());
}

void TestMainWindow::links_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("address");

    QTest::newRow("Help") << "actionHelp"
                          << "http://help.test/manual";
    QTest::newRow("Support") << "actionSupport"
                             << "https://home.test/p#support";
    QTest::newRow("Check New Version") << "actionCheck_New_Version"
                                       << "https://home.test/p#news";
}

void TestMainWindow::links()
{
    QFETCH(QString, action);
    QFETCH(QString, address);

    MainWindow window(nullptr, closedFeed);
    auto *entry = window.findChild<QAction *>(action);
    QVERIFY(entry);
    QCOMPARE(entry->data().toString(), address);

    entry->trigger();
    QCOMPARE(catcher.opened, QList<QUrl> {QUrl(address)});
    // Only opens a page: the status bar keeps its text.
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("info_display"))->text(),
             QStringLiteral("Check new version...."));
}

void TestMainWindow::statusBarLabels()
{
    MainWindow window(nullptr, closedFeed);
    QStatusBar *bar = window.statusBar();
    QCOMPARE(bar->objectName(), QStringLiteral("statusbar"));
    QVERIFY(!bar->isSizeGripEnabled());

    auto *info = window.findChild<QLabel *>(QStringLiteral("info_display"));
    auto *ver = window.findChild<QLabel *>(QStringLiteral("ver_display"));
    QVERIFY(info);
    QVERIFY(ver);
    QCOMPARE(info->parent(), bar);
    QCOMPARE(ver->parent(), bar);
    QCOMPARE(info->text(), QStringLiteral("Check new version...."));
    QCOMPARE(ver->text(), QStringLiteral(" Ver 1.2"));
    QCOMPARE(info->frameShape(), QFrame::NoFrame);
    QCOMPARE(ver->frameShape(), QFrame::NoFrame);

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(info->isVisible());
    QVERIFY(ver->isVisible());
    // Both at the right end, the version last.
    QTRY_VERIFY(info->geometry().right() < ver->geometry().left());
    QVERIFY(ver->geometry().right() > bar->width() - 30);

    // Permanent widgets: a temporary status message does not hide them.
    bar->showMessage(QStringLiteral("temporary"));
    QCoreApplication::processEvents();
    QVERIFY(info->isVisible());
    QVERIFY(ver->isVisible());
}

void TestMainWindow::editorMessages()
{
    MainWindow window(nullptr, closedFeed);
    auto *editor = qobject_cast<TextFinder *>(window.centralWidget());
    QVERIFY(editor);
    auto *info = window.findChild<QLabel *>(QStringLiteral("info_display"));
    auto *ver = window.findChild<QLabel *>(QStringLiteral("ver_display"));

    emit editor->sysInfo(QStringLiteral("Load tag OK"));
    QCOMPARE(info->text(), QStringLiteral("Load tag OK"));
    // The last message wins; the version label is untouched.
    emit editor->sysInfo(QStringLiteral("Save error -1"));
    QCOMPARE(info->text(), QStringLiteral("Save error -1"));
    QCOMPARE(ver->text(), QStringLiteral(" Ver 1.2"));
    QVERIFY(window.statusBar()->currentMessage().isEmpty());

    window.updateSysInfo(QString());
    QCOMPARE(info->text(), QString());
}

void TestMainWindow::closingEndsEventLoop_data()
{
    QTest::addColumn<bool>("byExit");
    QTest::newRow("Exit") << true;
    QTest::newRow("title bar") << false;
}

void TestMainWindow::closingEndsEventLoop()
{
    QFETCH(bool, byExit);

    MainWindow window(nullptr, closedFeed);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);

    QTimer::singleShot(0, &window, [&window, byExit] {
        if (byExit)
            window.findChild<QAction *>(QStringLiteral("actionExit"))->trigger();
        else
            window.close();
    });
    // Should the window stay open, this ends the loop with a code the test rejects.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
    guard.start(10000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!window.isVisible());
    QCOMPARE(lastClosed.count(), 1);
    QVERIFY(catcher.opened.isEmpty());
}

void TestMainWindow::openurlSchemes_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("handed");

    QTest::newRow("http") << "http://tarnwick.test/tagdesk/" << true;
    QTest::newRow("https") << "https://tarnwick.test/tagdesk/#news" << true;
    QTest::newRow("HTTP in capitals") << "HTTP://tarnwick.test/A" << true;
    QTest::newRow("file") << "file:///bin/sh" << false;
    QTest::newRow("file, two slashes") << "file://localhost/usr/bin/xterm" << false;
    QTest::newRow("ftp") << "ftp://tarnwick.test/pub" << false;
    QTest::newRow("mailto") << "mailto:someone@tarnwick.test" << false;
    QTest::newRow("smb") << "smb://host/share/setup.exe" << false;
    QTest::newRow("javascript") << "javascript:alert(1)" << false;
    QTest::newRow("data") << "data:text/html,<b>x</b>" << false;
    QTest::newRow("plain path") << "/usr/bin/xterm" << false;
    QTest::newRow("no scheme") << "tarnwick.test/tagdesk" << false;
    QTest::newRow("empty") << "" << false;
}

void TestMainWindow::openurlSchemes()
{
    QFETCH(QString, address);
    QFETCH(bool, handed);

    MainWindow window(nullptr, closedFeed);
    auto *help = window.findChild<QAction *>(QStringLiteral("actionHelp"));
    help->setData(address);

    DebugCapture debug;
    help->trigger();
    if (handed) {
        QCOMPARE(catcher.opened, QList<QUrl> {QUrl(address)});
        QVERIFY(debug.messages().isEmpty());
    } else {
        QCOMPARE(catcher.opened, QList<QUrl>());
        QCOMPARE(debug.messages().size(), 1);
        QVERIFY(debug.messages().first().contains(QStringLiteral("ignored")));
    }
}

void TestMainWindow::emptyProfile()
{
    // Started where no "tconfig" lies: an empty profile, and the window still works.
    QVERIFY(QFile::remove(QDir(fixture->workPath()).filePath(QStringLiteral("tconfig"))));

    MainWindow window(nullptr, closedFeed);
    window.winId(); // makes the title bar's window
    QCOMPARE(window.windowHandle()->title(), QString());
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("ver_display"))->text(),
             QStringLiteral(" Ver "));
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("info_display"))->text(),
             QStringLiteral("Check new version...."));
    QCOMPARE(window.findChild<QAction *>(QStringLiteral("actionSupport"))->data().toString(),
             QStringLiteral("#support"));
    QCOMPARE(window.findChild<QAction *>(QStringLiteral("actionCheck_New_Version"))
                     ->data()
                     .toString(),
             QStringLiteral("#news"));

    // Such addresses are not web pages and go nowhere.
    window.findChild<QAction *>(QStringLiteral("actionSupport"))->trigger();
    QVERIFY(catcher.opened.isEmpty());
}

void TestMainWindow::feedAddress()
{
    // The host is a build setting; the feed server's path is not.
    QCOMPARE(MainWindow::defaultFeedUrl().path(), QStringLiteral("/e/get-ad.php"));
    QVERIFY(MainWindow::defaultFeedUrl().scheme().startsWith(QLatin1String("http")));
}

void TestMainWindow::requestsAtStart()
{
    HttpServer server;
    QVERIFY(server.start());
    const QString versionFeed = server.url(QStringLiteral("/version.xml")).toString();
    QVERIFY(fixture->createDatabase(
            {QStringLiteral("update product set xml = '%1'").arg(versionFeed)}));

    MainWindow window(nullptr, server.url(QStringLiteral("/e/get-ad.php")));
    // One GET of each feed, sent by the constructor and never repeated.
    QTRY_COMPARE(server.requestCount(QStringLiteral("/e/get-ad.php")), 1);
    QTRY_COMPARE(server.requestCount(QStringLiteral("/version.xml")), 1);
    QTest::qWait(100);
    QCOMPARE(server.requestCount(QStringLiteral("/e/get-ad.php")), 1);
    QCOMPARE(server.requestCount(QStringLiteral("/version.xml")), 1);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
