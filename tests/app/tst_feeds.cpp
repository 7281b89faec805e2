// The two answers the window asks for at start, served over real HTTP on the loopback
// interface: the version check in "info_display" and the "Other Freeware" menu, also from a
// server that sends too much or too little.
#include "httpserver.h"
#include "mainwindow.h"
#include "profilefixture.h"
#include "urlcatcher.h"

#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QNetworkReply>
#include <QSqlDatabase>
#include <QtTest>

#include <memory>

namespace {

const QString feedPath = QStringLiteral("/e/get-ad.php");
const QString versionPath = QStringLiteral("/version.xml");
const QString startText = QStringLiteral("Check new version....");

using Delivery = HttpServer::Delivery;

// "Other Freeware" as text: entries as title=address, submenus as title[entries].
QString describe(const QMenu *menu)
{
    QStringList items;
    for (const QAction *action : menu->actions()) {
        const QString text
                = QString(action->text()).replace(QLatin1String("&&"), QLatin1String("&"));
        if (action->menu())
            items << text + QLatin1Char('[') + describe(action->menu()) + QLatin1Char(']');
        else
            items << text + QLatin1Char('=') + action->data().toString();
    }
    return items.join(QLatin1Char(' '));
}

} // namespace

class TestFeeds : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void versionCheck_data();
    void versionCheck();
    void versionWithoutAnswer();
    void versionAfterEditorMessage();
    void menu_data();
    void menu();
    void menuWithoutAnswer();
    void entryOpensItsAddress();
    void bothAnswersAtStart();
    void brokenServer_data();
    void brokenServer();
    void menuLimits_data();
    void menuLimits();

private:
    // Starts the window on a profile with the installed version and the version feed on the
    // loopback server; feedUrl defaults to the server's feed.
    MainWindow *
    startWindow(const QString &installed, QUrl feedUrl = QUrl(), QString versionUrl = QString(),
                std::chrono::milliseconds transferTimeout = MainWindow::defaultTransferTimeout);
    bool waitForReplies();
    QLabel *infoDisplay() const { return m_window->findChild<QLabel *>("info_display"); }
    QMenu *otherFreeware() const { return m_window->findChild<QMenu *>("menuOther_Freeware"); }

    std::unique_ptr<ProfileFixture> m_fixture;
    std::unique_ptr<HttpServer> m_server;
    std::unique_ptr<MainWindow> m_window;
};

void TestFeeds::init()
{
    m_fixture = std::make_unique<ProfileFixture>();
    QVERIFY(m_fixture->isValid());
    QVERIFY(m_fixture->writeTconfig("TagDesk\nTarnwick\nTD-FEED\n"));
    m_server = std::make_unique<HttpServer>();
    QVERIFY(m_server->start());
}

void TestFeeds::cleanup()
{
    m_window.reset();
    m_server.reset();
    m_fixture.reset();
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
}

MainWindow *TestFeeds::startWindow(const QString &installed, QUrl feedUrl, QString versionUrl,
                                   std::chrono::milliseconds transferTimeout)
{
    if (feedUrl.isEmpty())
        feedUrl = m_server->url(feedPath);
    if (versionUrl.isNull())
        versionUrl = m_server->url(versionPath).toString();
    if (!m_fixture->createDatabase(
                {ProfileFixture::productTable(),
                 ProfileFixture::productRow("TD-FEED", "TagDesk", installed, "http://help.test/",
                                            "http://home.test/", versionUrl)}))
        return nullptr;
    m_window = std::make_unique<MainWindow>(nullptr, feedUrl, transferTimeout);
    return m_window.get();
}

bool TestFeeds::waitForReplies()
{
    const QList<QNetworkReply *> replies = m_window->findChildren<QNetworkReply *>();
    if (replies.size() != 2)
        return false;
    // The reply slots run from finished(), which is emitted as the reply turns finished.
    return QTest::qWaitFor([&] {
        return std::all_of(replies.begin(), replies.end(),
                           [](const QNetworkReply *reply) { return reply->isFinished(); });
    });
}

void TestFeeds::versionCheck_data()
{
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("label");

    const auto element = [](const QByteArray &version) {
        return "<?xml version=\"1.0\"?>\n<Program><Program_Version>" + version
                + "</Program_Version></Program>\n";
    };
    QTest::newRow("newer") << "1.2" << element("1.3") << "New version 1.3 found";
    QTest::newRow("equal") << "1.3" << element("1.3") << "";
    QTest::newRow("older") << "1.3" << element("1.2") << "";
    // Dotted numbers compare number by number, a suffix after them as text.
    QTest::newRow("1.10 after 1.9") << "1.9.0" << element("1.10.0") << "New version 1.10.0 found";
    QTest::newRow("1.9 before 1.10") << "1.10" << element("1.9") << "";
    QTest::newRow("2.0 before 10.0") << "2.0" << element("10.0") << "New version 10.0 found";
    QTest::newRow("suffix as text") << "2.0-a" << element("2.0-b") << "New version 2.0-b found";
    QTest::newRow("prefix sorts first") << "2.0" << element("2.0.1") << "New version 2.0.1 found";
    QTest::newRow("leading space") << "1.2" << element(" 1.3") << "";
    QTest::newRow("first element counts")
            << "1.2"
            << QByteArray("<Program_Version>1.3</Program_Version><Program_Version>9.9"
                          "</Program_Version>")
            << "New version 1.3 found";
    QTest::newRow("no closing tag") << "1.2" << QByteArray("<Program_Version>1.3\nbeta\n")
                                    << "New version 1.3\nbeta\n found";
    QTest::newRow("no element") << "1.2" << QByteArray("<Program><Version>9</Version></Program>")
                                << startText;
    QTest::newRow("element in another case")
            << "1.2" << QByteArray("<program_version>9</program_version>") << startText;
    QTest::newRow("element with attribute")
            << "1.2" << QByteArray("<Program_Version id=\"1\">9</Program_Version>") << startText;
    QTest::newRow("empty element") << "1.2" << element("") << "";
    QTest::newRow("32 characters") << "1.2" << element(QByteArray(32, '9'))
                                   << "New version " + QString(32, '9') + " found";
    QTest::newRow("33 characters: no version")
            << "1.2" << element(QByteArray(33, '9')) << startText;
    QTest::newRow("NUL ends the text")
            << "1.2" << QByteArray("<Program_Version>1.3") + '\0' + "</Program_Version>"
            << "New version 1.3 found";
    QTest::newRow("element after a NUL")
            << "1.2" << QByteArray("junk") + '\0' + "<Program_Version>9.9</Program_Version>"
            << startText;
    QTest::newRow("UTF-8") << "1.2" << element("1.3 β") << "New version 1.3 β found";
    QTest::newRow("empty body") << "1.2" << QByteArray("") << startText;
}

void TestFeeds::versionCheck()
{
    QFETCH(QString, installed);
    QFETCH(QByteArray, body);
    QFETCH(QString, label);
    m_server->setBody(versionPath, body);
    m_server->setBody(feedPath, "");
    QVERIFY(startWindow(installed));
    QCOMPARE(infoDisplay()->text(), startText);

    QVERIFY(waitForReplies());
    QCOMPARE(m_server->requestCount(versionPath), 1);
    QCOMPARE(infoDisplay()->text(), label);
    QCOMPARE(m_window->findChild<QLabel *>("ver_display")->text(), " Ver " + installed);
}

void TestFeeds::versionWithoutAnswer()
{
    // A refused connection and a 404 with an empty body: nothing matches, the label stays.
    QVERIFY(startWindow("1.2", QUrl("http://127.0.0.1:1/e/get-ad.php"),
                        QStringLiteral("http://127.0.0.1:1/version.xml")));
    QVERIFY(waitForReplies());
    QCOMPARE(infoDisplay()->text(), startText);

    cleanup();
    init();
    QVERIFY(startWindow("1.2", QUrl(), m_server->url("/missing.xml").toString()));
    QVERIFY(waitForReplies());
    QCOMPARE(m_server->requestCount("/missing.xml"), 1);
    QCOMPARE(infoDisplay()->text(), startText);
}

void TestFeeds::versionAfterEditorMessage()
{
    m_server->setBody(versionPath, "<Program_Version>2.0</Program_Version>");
    QVERIFY(startWindow("1.0"));
    // The editor reports before the answer arrives; whoever writes last wins.
    QObject *editor = m_window->centralWidget();
    QVERIFY(QMetaObject::invokeMethod(editor, "sysInfo", Q_ARG(QString, "Load tag OK")));
    QCOMPARE(infoDisplay()->text(), QStringLiteral("Load tag OK"));
    QVERIFY(waitForReplies());
    QCOMPARE(infoDisplay()->text(), QStringLiteral("New version 2.0 found"));
    QVERIFY(QMetaObject::invokeMethod(editor, "sysInfo", Q_ARG(QString, "Save tag OK")));
    QCOMPARE(infoDisplay()->text(), QStringLiteral("Save tag OK"));
}

void TestFeeds::menu_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("menu");

    QTest::newRow("runs G G H") << QByteArray("P,http://u1/,G\nQ,http://u2/,G\nR,http://u3/,H\n")
                                << "G[P=http://u1/ Q=http://u2/] H[R=http://u3/]";
    QTest::newRow("runs G H G: two submenus G")
            << QByteArray("P,http://u1/,G\nR,http://u3/,H\nQ,http://u2/,G\n")
            << "G[P=http://u1/] H[R=http://u3/] G[Q=http://u2/]";
    QTest::newRow("empty line ends the list")
            << QByteArray("P,http://u1/,G\n\nQ,http://u2/,G\n") << "G[P=http://u1/]";
    QTest::newRow("fields after the third ignored")
            << QByteArray("P,http://u1/,G,extra,more\n") << "G[P=http://u1/]";
    QTest::newRow("two fields end the list")
            << QByteArray("P,http://u1/,G\nQ,http://u2/\nR,http://u3/,H\n") << "G[P=http://u1/]";
    QTest::newRow("CRLF stays in the group")
            << QByteArray("P,http://u1/,G\r\nQ,http://u2/,G\r\nR,http://u3/,G")
            << "G\r[P=http://u1/ Q=http://u2/] G[R=http://u3/]";
    QTest::newRow("space after a comma kept")
            << QByteArray("P, http://u1/,G\n") << "G[P= http://u1/]";
    QTest::newRow("later empty group: untitled submenu")
            << QByteArray("P,http://u1/,G\nQ,http://u2/,\nR,http://u3/,\n")
            << "G[P=http://u1/] [Q=http://u2/ R=http://u3/]";
    QTest::newRow("first records without group sit in the menu")
            << QByteArray("P,http://u1/,\nQ,http://u2/,\nR,http://u3/,G\n")
            << "P=http://u1/ Q=http://u2/ G[R=http://u3/]";
    QTest::newRow("no line feed at the end") << QByteArray("P,http://u1/,G") << "G[P=http://u1/]";
    QTest::newRow("NUL ends the text")
            << QByteArray("P,http://u1/,G\nQ,http://u2/,G") + '\0' + "\nR,http://u3/,H\n"
            << "G[P=http://u1/ Q=http://u2/]";
    QTest::newRow("ampersands shown as written")
            << QByteArray("Tom & Jerry,http://u1/,A&B\n") << "A&B[Tom & Jerry=http://u1/]";
    QTest::newRow("UTF-8") << QByteArray("Éditeur 😀,http://u1/é,Gruppe ✓\n")
                           << "Gruppe ✓[Éditeur 😀=http://u1/é]";
    QTest::newRow("error page") << QByteArray("<html>\n<body>a,b,c</body>\n</html>\n") << "";
    QTest::newRow("empty body") << QByteArray("") << "";
}

void TestFeeds::menu()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, menu);
    m_server->setBody(feedPath, body);
    QVERIFY(startWindow("1.0"));
    QVERIFY(otherFreeware()->actions().isEmpty());

    QVERIFY(waitForReplies());
    QCOMPARE(m_server->requestCount(feedPath), 1);
    QCOMPARE(describe(otherFreeware()), menu);
    // Entries belong to the window; submenus to "Other Freeware".
    for (QAction *action : otherFreeware()->actions()) {
        if (QMenu *submenu = action->menu()) {
            QCOMPARE(submenu->parent(), otherFreeware());
            for (QAction *entry : submenu->actions())
                QCOMPARE(entry->parent(), m_window.get());
        }
    }
}

void TestFeeds::menuWithoutAnswer()
{
    QVERIFY(startWindow("1.0", QUrl("http://127.0.0.1:1/e/get-ad.php")));
    QVERIFY(waitForReplies());
    QVERIFY(otherFreeware()->actions().isEmpty());

    cleanup();
    init();
    // Nothing served at the feed's path: a 404 with an empty body.
    QVERIFY(startWindow("1.0"));
    QVERIFY(waitForReplies());
    QCOMPARE(m_server->requestCount(feedPath), 1);
    QVERIFY(otherFreeware()->actions().isEmpty());
    QCOMPARE(m_window->menuBar()->actions().size(), 2);
}

void TestFeeds::entryOpensItsAddress()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    m_server->setBody(feedPath,
                      "P,http://u1.test/p,G\nQ,http://u2.test/q?x=1,G\nL,file:///etc/passwd,G\n");
    QVERIFY(startWindow("1.0"));
    QVERIFY(waitForReplies());

    const QList<QAction *> entries = otherFreeware()->actions().value(0)->menu()->actions();
    QCOMPARE(entries.size(), 3);
    entries.at(1)->trigger();
    entries.at(2)->trigger(); // not a web address: refused
    QDesktopServices::unsetUrlHandler("http");
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(catcher.opened, QList<QUrl> {QUrl("http://u2.test/q?x=1")});
}

void TestFeeds::bothAnswersAtStart()
{
    m_server->setBody(feedPath,
                      "Sound Editor,http://tarnwick.test/sound,Audio\n"
                      "Tag Helper,http://tarnwick.test/tags,Audio\n"
                      "Clip Cutter,http://tarnwick.test/clip,Video\n");
    m_server->setBody(versionPath, "<?xml version=\"1.0\"?><Program_Version>1.1</Program_Version>");
    QVERIFY(startWindow("1.0"));
    m_window->show();
    QVERIFY(waitForReplies());
    QCOMPARE(infoDisplay()->text(), QStringLiteral("New version 1.1 found"));
    QCOMPARE(describe(otherFreeware()),
             QStringLiteral("Audio[Sound Editor=http://tarnwick.test/sound "
                            "Tag Helper=http://tarnwick.test/tags] "
                            "Video[Clip Cutter=http://tarnwick.test/clip]"));
}

void TestFeeds::brokenServer_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<Delivery>("delivery");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("label");

    // A good answer followed by a line that ends the list, as long as asked for.
    const auto padded = [](const QByteArray &answer, int size) {
        return answer + QByteArray(size - answer.size(), 'x');
    };
    const QByteArray feed = "P,http://u1/,G\n";
    const QByteArray version = "<Program_Version>1.3</Program_Version>\n";
    const QString menu = "G[P=http://u1/]";
    const QString label = "New version 1.3 found";

    QTest::newRow("feed of 256 KiB")
            << feedPath << padded(feed, 256 * 1024) << Delivery::Whole << menu << label;
    QTest::newRow("feed one byte longer")
            << feedPath << padded(feed, 256 * 1024 + 1) << Delivery::Whole << "" << label;
    QTest::newRow("feed without end") << feedPath << feed << Delivery::Endless << "" << label;
    QTest::newRow("feed never answered") << feedPath << feed << Delivery::Silent << "" << label;
    QTest::newRow("version reply of 64 KiB")
            << versionPath << padded(version, 64 * 1024) << Delivery::Whole << menu << label;
    QTest::newRow("version reply one byte longer") << versionPath << padded(version, 64 * 1024 + 1)
                                                   << Delivery::Whole << menu << startText;
    QTest::newRow("version reply without end")
            << versionPath << version << Delivery::Endless << menu << startText;
    // What came before the silence is not used.
    QTest::newRow("version reply stops half way")
            << versionPath << version << Delivery::Stalled << menu << startText;
}

void TestFeeds::brokenServer()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, body);
    QFETCH(Delivery, delivery);
    QFETCH(QString, menu);
    QFETCH(QString, label);
    m_server->setBody(feedPath, "P,http://u1/,G\n");
    m_server->setBody(versionPath, "<Program_Version>1.3</Program_Version>");
    m_server->setBody(path, body, delivery);
    // Short enough for a test, long enough for every answer that does come.
    QVERIFY(startWindow("1.2", QUrl(), QString(), std::chrono::seconds(1)));

    QVERIFY(waitForReplies());
    QCOMPARE(m_server->requestCount(path), 1);
    QCOMPARE(describe(otherFreeware()), menu);
    QCOMPARE(infoDisplay()->text(), label);
}

void TestFeeds::menuLimits_data()
{
    QTest::addColumn<int>("groups");
    QTest::addColumn<int>("entriesPerGroup");
    QTest::addColumn<int>("submenus");
    QTest::addColumn<int>("entries");

    QTest::newRow("201 entries in one group") << 1 << 201 << 1 << 200;
    QTest::newRow("51 groups") << 51 << 1 << 50 << 50;
    QTest::newRow("250 entries in 50 groups") << 50 << 5 << 40 << 200;
}

void TestFeeds::menuLimits()
{
    QFETCH(int, groups);
    QFETCH(int, entriesPerGroup);
    QFETCH(int, submenus);
    QFETCH(int, entries);
    QByteArray feed;
    for (int group = 0; group < groups; ++group) {
        for (int entry = 0; entry < entriesPerGroup; ++entry)
            feed += "P,http://u/,G" + QByteArray::number(group) + '\n';
    }
    m_server->setBody(feedPath, feed);
    QVERIFY(startWindow("1.0"));

    QVERIFY(waitForReplies());
    const QList<QAction *> shown = otherFreeware()->actions();
    QCOMPARE(shown.size(), submenus);
    int shownEntries = 0;
    for (const QAction *submenu : shown)
        shownEntries += submenu->menu()->actions().size();
    QCOMPARE(shownEntries, entries);
}

QTEST_MAIN(TestFeeds)
#include "tst_feeds.moc"
