// A new user's first start: the sample product database copied into place, never over an
// existing one and never leaving a half file; and the built program doing it when it starts.
#include "childprocess.h"
#include "firststart.h"
#include "productprofile.h"
#include "profilefixture.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace testsupport;

namespace {

const QByteArray sampleBytes = QByteArray("SQLite format 3").append(200 * 1024, '\x5a');

bool setMode(const QString &path, int mode)
{
    return chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(mode)) == 0;
}

} // namespace

class TestFirstStart : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void makesMissingDatabase_data();
    void makesMissingDatabase();
    void neverReplaces_data();
    void neverReplaces();
    void failureLeavesNothing_data();
    void failureLeavesNothing();
    void programMakesDatabaseAtStart();

private:
    QString path(const QString &relative) const { return base->filePath(relative); }
    std::unique_ptr<QTemporaryDir> base;
    QString sample;
};

void TestFirstStart::init()
{
    base = std::make_unique<QTemporaryDir>();
    QVERIFY(base->isValid());
    // Open to the unprivileged children of the permission cases.
    QVERIFY(setMode(base->path(), 0777));
    sample = path(QStringLiteral("sample"));
    QVERIFY(writeAll(sample, sampleBytes));
}

void TestFirstStart::cleanup()
{
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
    // Folders made unwritable by a case must not keep the temporary folder from going.
    for (const QString &entry : entriesUnder(base->path()))
        setMode(path(entry), 0777);
    base.reset();
}

void TestFirstStart::makesMissingDatabase_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("folderThere");
    QTest::newRow("folder there") << "home/db" << true;
    QTest::newRow("folder missing") << "home/Documents/Tarnwick/profile-lumo" << false;
}

void TestFirstStart::makesMissingDatabase()
{
    QFETCH(QString, target);
    QFETCH(bool, folderThere);
    if (folderThere)
        QVERIFY(QDir().mkpath(QFileInfo(path(target)).path()));

    QCOMPARE(FirstStart::installSample(sample, path(target)), FirstStart::Outcome::Made);
    QCOMPARE(readAll(path(target)), sampleBytes);
    // The copy it was written as is gone; the sample is untouched.
    QCOMPARE(QDir(QFileInfo(path(target)).path())
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList {QFileInfo(target).fileName()});
    QCOMPARE(readAll(sample), sampleBytes);
}

void TestFirstStart::neverReplaces_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("a database") << "file";
    QTest::newRow("an empty file") << "empty";
    QTest::newRow("a folder") << "folder";
    QTest::newRow("a link that leads nowhere") << "dangling link";
}

void TestFirstStart::neverReplaces()
{
    QFETCH(QString, kind);
    const QString target = path(QStringLiteral("home/profile-lumo"));
    QVERIFY(QDir().mkpath(path(QStringLiteral("home"))));
    if (kind == QLatin1String("file"))
        QVERIFY(writeAll(target, "the user's own database"));
    else if (kind == QLatin1String("empty"))
        QVERIFY(writeAll(target, QByteArray()));
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(target));
    else
        QVERIFY(QFile::link(path(QStringLiteral("nowhere")), target));
    const QStringList before = entriesUnder(base->path());
    const QByteArray content = readAll(target);

    QCOMPARE(FirstStart::installSample(sample, target), FirstStart::Outcome::AlreadyThere);
    QCOMPARE(entriesUnder(base->path()), before);
    QCOMPARE(readAll(target), content);
    QCOMPARE(QFileInfo(target).isSymLink(), kind == QLatin1String("dangling link"));
}

void TestFirstStart::failureLeavesNothing_data()
{
    QTest::addColumn<QString>("sampleName");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("setup");
    QTest::newRow("no sample") << "missing"
                               << "home/profile-lumo"
                               << "";
    QTest::newRow("sample not readable") << "sample"
                                         << "home/profile-lumo"
                                         << "sample 000";
    QTest::newRow("folder not writable") << "sample"
                                         << "home/profile-lumo"
                                         << "home 555";
    QTest::newRow("folder cannot be made") << "sample"
                                           << "home/Documents/Tarnwick/profile-lumo"
                                           << "home 555";
    QTest::newRow("copy cut short by a file size limit") << "sample"
                                                         << "home/profile-lumo"
                                                         << "size limit";
}

void TestFirstStart::failureLeavesNothing()
{
    QFETCH(QString, sampleName);
    QFETCH(QString, target);
    QFETCH(QString, setup);
    QVERIFY(QDir().mkpath(path(QStringLiteral("home"))));
    QVERIFY(setMode(path(QStringLiteral("home")), 0777));
    if (setup == QLatin1String("sample 000"))
        QVERIFY(setMode(sample, 0));
    else if (setup == QLatin1String("home 555"))
        QVERIFY(setMode(path(QStringLiteral("home")), 0555));
    const QStringList before = entriesUnder(base->path());

    // Unprivileged, so that permissions hold when the suite runs as root.
    const std::optional<int> outcome = runInChild(
            [&] {
                if (setup == QLatin1String("size limit")) {
                    signal(SIGXFSZ, SIG_IGN);
                    const rlimit size {4096, 4096};
                    if (setrlimit(RLIMIT_FSIZE, &size) != 0)
                        return -1;
                }
                return static_cast<int>(FirstStart::installSample(path(sampleName), path(target)));
            },
            ChildRights::Unprivileged);

    QVERIFY(outcome.has_value());
    QCOMPARE(static_cast<FirstStart::Outcome>(*outcome), FirstStart::Outcome::Failed);
    QCOMPARE(entriesUnder(base->path()), before);
}

void TestFirstStart::programMakesDatabaseAtStart()
{
    // A new user starts the built program where the sample tconfig lies, as the desktop entry
    // starts the installed one: the database appears, and the profile then gives the product's
    // name and version.
    ProfileFixture fixture; // HOME for the program too
    QVERIFY(fixture.isValid());
    QVERIFY(QFile::copy(QStringLiteral(TAGDESK_SAMPLE_PROFILE_DIR "/tconfig"),
                        QDir(fixture.workPath()).filePath(QStringLiteral("tconfig"))));
    QProcess tagdesk;
    tagdesk.setWorkingDirectory(fixture.workPath());
    tagdesk.start(QStringLiteral(TAGDESK_EXE), QStringList());
    QVERIFY(tagdesk.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(fixture.databasePath()), 60000);
    tagdesk.kill();
    tagdesk.waitForFinished();

    QCOMPARE(readAll(fixture.databasePath()), readAll(QStringLiteral(TAGDESK_SAMPLE_DATABASE)));
    ProductProfile profile;
    QCOMPARE(profile.mc(), QStringLiteral("TagDesk"));
    QCOMPARE(profile.ver(), QStringLiteral("1.0.0"));
}

QTEST_GUILESS_MAIN(TestFirstStart)
#include "tst_firststart.moc"
