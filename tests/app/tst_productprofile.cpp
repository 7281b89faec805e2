// ProductProfile on a temporary home directory and working directory with a real SQLite file.
#include "debugcapture.h"
#include "productprofile.h"
#include "profilefixture.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QtTest>

#include <memory>

class TestProductProfile : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void rowValues();
    void productCodeLine_data();
    void productCodeLine();
    void lastOfSeveralRowsWins();
    void columnValues_data();
    void columnValues();
    void noRowForCode();
    void missingTconfig();
    void missingColumn();
    void missingDatabaseIsNotCreated_data();
    void missingDatabaseIsNotCreated();
    void databaseClosedByDestructor();
    void sampleProfile();

private:
    static void verifyEmpty(const ProductProfile &profile);
};

void TestProductProfile::cleanup()
{
    // Each profile registers Qt's default connection and leaves it registered.
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
}

void TestProductProfile::verifyEmpty(const ProductProfile &profile)
{
    QVERIFY(profile.mc().isEmpty());
    QVERIFY(profile.ver().isEmpty());
    QVERIFY(profile.help().isEmpty());
    QVERIFY(profile.home().isEmpty());
    QVERIFY(profile.xml().isEmpty());
}

void TestProductProfile::rowValues()
{
    ProfileFixture fixture;
    QVERIFY(fixture.isValid());
    QVERIFY(fixture.writeTconfig("Some Product\nignored too\nCODE-7\n"));
    QVERIFY(fixture.createDatabase({
            ProfileFixture::productTable(),
            ProfileFixture::productRow("OTHER", "Other", "9.9", "h-other", "o-other", "x-other"),
            ProfileFixture::productRow("CODE-7", "TagDesk Seven", "1.2", "http://help.test/manual",
                                       "https://home.test/p", "http://feed.test/version.xml"),
            ProfileFixture::productRow("CODE-8", "Eight", "8.0", "h8", "o8", "x8"),
    }));

    DebugCapture debug;
    ProductProfile profile;
    QCOMPARE(profile.mc(), QStringLiteral("TagDesk Seven"));
    QCOMPARE(profile.ver(), QStringLiteral("1.2"));
    QCOMPARE(profile.help(), QStringLiteral("http://help.test/manual"));
    QCOMPARE(profile.home(), QStringLiteral("https://home.test/p"));
    QCOMPARE(profile.xml(), QStringLiteral("http://feed.test/version.xml"));
    QCOMPARE(debug.messages(), QStringList());
}

void TestProductProfile::productCodeLine_data()
{
    QTest::addColumn<QByteArray>("tconfig");
    QTest::addColumn<bool>("found");

    QTest::newRow("line 3") << QByteArray("a\nb\nCODE\n") << true;
    QTest::newRow("line 3, no final line end") << QByteArray("a\nb\nCODE") << true;
    QTest::newRow("line 3, CRLF line ends") << QByteArray("a\r\nb\r\nCODE\r\n") << true;
    QTest::newRow("line 3, more lines after it") << QByteArray("a\nb\nCODE\nx\ny\n") << true;
    QTest::newRow("line 3 with empty lines before it") << QByteArray("\n\nCODE\n") << true;
    QTest::newRow("line 1") << QByteArray("CODE\nb\nc\n") << false;
    QTest::newRow("line 2") << QByteArray("a\nCODE\nc\n") << false;
    QTest::newRow("line 4") << QByteArray("a\nb\nc\nCODE\n") << false;
    QTest::newRow("two lines only") << QByteArray("CODE\nCODE\n") << false;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("space after the code") << QByteArray("a\nb\nCODE \n") << false;
}

void TestProductProfile::productCodeLine()
{
    QFETCH(QByteArray, tconfig);
    QFETCH(bool, found);

    ProfileFixture fixture;
    QVERIFY(fixture.isValid());
    QVERIFY(fixture.writeTconfig(tconfig));
    QVERIFY(fixture.createDatabase({
            ProfileFixture::productTable(),
            ProfileFixture::productRow("CODE", "Name", "1.0", "help", "home", "xml"),
    }));

    ProductProfile profile;
    if (found) {
        QCOMPARE(profile.mc(), QStringLiteral("Name"));
        QCOMPARE(profile.xml(), QStringLiteral("xml"));
    } else {
        verifyEmpty(profile);
    }
}

void TestProductProfile::lastOfSeveralRowsWins()
{
    ProfileFixture fixture;
    QVERIFY(fixture.isValid());
    QVERIFY(fixture.writeTconfig("a\nb\nCODE\n"));
    QVERIFY(fixture.createDatabase({
            ProfileFixture::productTable(),
            ProfileFixture::productRow("CODE", "First", "1.0", "h1", "o1", "x1"),
            ProfileFixture::productRow("CODE", "Second", "2.0", "h2", "o2", "x2"),
    }));

    ProductProfile profile;
    QCOMPARE(profile.mc(), QStringLiteral("Second"));
    QCOMPARE(profile.ver(), QStringLiteral("2.0"));
    QCOMPARE(profile.help(), QStringLiteral("h2"));
    QCOMPARE(profile.home(), QStringLiteral("o2"));
    QCOMPARE(profile.xml(), QStringLiteral("x2"));
}

void TestProductProfile::columnValues_data()
{
    QTest::addColumn<QVariant>("home");
    QTest::addColumn<QVariant>("ver");
    QTest::addColumn<QString>("expectedHome");
    QTest::addColumn<QString>("expectedVer");

    QTest::newRow("NULL home") << QVariant() << QVariant("1.0") << QString() << "1.0";
    QTest::newRow("NULL version") << QVariant("o") << QVariant() << "o" << QString();
    QTest::newRow("empty home") << QVariant("") << QVariant("1.0") << QString() << "1.0";
    QTest::newRow("number as version") << QVariant("o") << QVariant(3) << "o"
                                       << "3";
}

void TestProductProfile::columnValues()
{
    QFETCH(QVariant, home);
    QFETCH(QVariant, ver);
    QFETCH(QString, expectedHome);
    QFETCH(QString, expectedVer);

    ProfileFixture fixture;
    QVERIFY(fixture.isValid());
    QVERIFY(fixture.writeTconfig("a\nb\nCODE\n"));
    QVERIFY(fixture.createDatabase({
            ProfileFixture::productTable(),
            ProfileFixture::productRow("CODE", "Name", ver, "h", home, "x"),
    }));

    ProductProfile profile;
    QCOMPARE(profile.home(), expectedHome);
    QCOMPARE(profile.ver(), expectedVer);
    QCOMPARE(profile.mc(), QStringLiteral("Name"));
}

void TestProductProfile::noRowForCode()
{
    ProfileFixture fixture;
    QVERIFY(fixture.isValid());
    QVERIFY(fixture.writeTconfig("a\nb\nNOPE\n"));
    QVERIFY(fixture.createDatabase({
            ProfileFixture::productTable(),
            ProfileFixture::productRow("CODE", "Name", "1.0", "h", "o", "x"),
    }));

    DebugCapture debug;
    ProductProfile profile;
    verifyEmpty(profile);
    QCOMPARE(debug.messages(), QStringList());
}

void TestProductProfile::missingTconfig()
{
    ProfileFixture fixture;
    QVERIFY(fixture.isValid());
    QVERIFY(fixture.createDatabase({
            ProfileFixture::productTable(),
            ProfileFixture::productRow("CODE", "Name", "1.0", "h", "o", "x"),
    }));

    DebugCapture debug;
    ProductProfile profile;
    verifyEmpty(profile);
    QVERIFY(debug.messages().contains(QStringLiteral("fileopen error")));
    // The database itself was fine.
    QVERIFY(!debug.contains(QStringLiteral("sqlite error")));
}

void TestProductProfile::missingColumn()
{
    ProfileFixture fixture;
    QVERIFY(fixture.isValid());
    QVERIFY(fixture.writeTconfig("a\nb\nCODE\n"));
    // Every column but jx: the whole query fails, also for the columns that exist.
    QVERIFY(fixture.createDatabase({
            QStringLiteral("create table product (bh text, mc text, id integer, support text, "
                           "trial integer, ver text, help text, pro integer, av text, "
                           "isSupportYoutube integer, ad text, buy text, engine text, "
                           "news text, free integer, encoder text, home text, "
                           "isSupportFile integer, xml text)"),
            QStringLiteral("insert into product (bh, mc, ver, help, home, xml) "
                           "values ('CODE', 'Name', '1.0', 'h', 'o', 'x')"),
    }));

    DebugCapture debug;
    ProductProfile profile;
    verifyEmpty(profile);
    QVERIFY2(debug.contains(QStringLiteral("QSqlError(")), qPrintable(debug.messages().join('|')));
    QVERIFY2(debug.contains(QStringLiteral("no such column: jx")),
             qPrintable(debug.messages().join('|')));
    QVERIFY(!debug.contains(QStringLiteral("sqlite error")));
    QVERIFY(!debug.contains(QStringLiteral("fileopen error")));
}

void TestProductProfile::missingDatabaseIsNotCreated_data()
{
    QTest::addColumn<bool>("folderExists");
    QTest::newRow("no Tarnwick folder") << false;
    QTest::newRow("Tarnwick folder without database") << true;
}

void TestProductProfile::missingDatabaseIsNotCreated()
{
    QFETCH(bool, folderExists);

    ProfileFixture fixture;
    QVERIFY(fixture.isValid());
    QVERIFY(fixture.writeTconfig("a\nb\nCODE\n"));
    const QString folder = QFileInfo(fixture.databasePath()).path();
    if (folderExists)
        QVERIFY(QDir().mkpath(folder));

    {
        DebugCapture debug;
        ProductProfile profile;
        verifyEmpty(profile);
        QVERIFY(debug.messages().contains(QStringLiteral("sqlite error")));
        // The query on the unopened database fails and says so.
        QVERIFY(debug.contains(QStringLiteral("QSqlError(")));
    }
    QVERIFY(!QFileInfo::exists(fixture.databasePath()));
    QCOMPARE(QFileInfo::exists(folder), folderExists);
}

void TestProductProfile::databaseClosedByDestructor()
{
    ProfileFixture fixture;
    QVERIFY(fixture.isValid());
    QVERIFY(fixture.writeTconfig("a\nb\nCODE\n"));
    QVERIFY(fixture.createDatabase({ProfileFixture::productTable()}));

    auto profile = std::make_unique<ProductProfile>();
    // Open for the whole life of the profile, on Qt's default connection.
    QVERIFY(QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false).isOpen());
    profile.reset();
    QVERIFY(!QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false)
                     .isOpen());
}

void TestProductProfile::sampleProfile()
{
    // The sample profile: tconfig and the SQL script from the sources.
    ProfileFixture fixture;
    QVERIFY(fixture.isValid());
    QFile tconfig(QStringLiteral(TAGDESK_SAMPLE_PROFILE_DIR "/tconfig"));
    QVERIFY(tconfig.open(QIODevice::ReadOnly));
    QVERIFY(fixture.writeTconfig(tconfig.readAll()));
    QVERIFY(fixture.createDatabaseFromScript(
            QStringLiteral(TAGDESK_SAMPLE_PROFILE_DIR "/profile-lumo.sql")));

    DebugCapture debug;
    ProductProfile profile;
    QCOMPARE(debug.messages(), QStringList());
    QCOMPARE(profile.mc(), QStringLiteral("TagDesk"));
    QVERIFY(!profile.ver().isEmpty());
    for (const QString &address : {profile.help(), profile.home(), profile.xml()}) {
        const QUrl url(address);
        QVERIFY2(url.isValid() && url.scheme().startsWith(QLatin1String("http")),
                 qPrintable(address));
    }
}

QTEST_GUILESS_MAIN(TestProductProfile)
#include "tst_productprofile.moc"
