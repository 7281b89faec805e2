// saveTag on file systems unlike the one the suite runs on: a nearly full one, and FAT through
// FUSE as on a USB stick or a phone's card. Each test skips where this machine does not allow
// the mount.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <memory>

#include <sys/mount.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "savetesting.h"
#include "testsupport.h"

using namespace testsupport;

namespace {

constexpr int megabyte = 1024 * 1024;
constexpr long fuseMagic = 0x65735546;

QString findTool(const QString &name)
{
    const QString found = QStandardPaths::findExecutable(name);
    return found.isEmpty() ? QStandardPaths::findExecutable(
                   name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")})
                           : found;
}

// Runs a tool to its end, its output discarded; its exit code, or -1.
int run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

} // namespace

class MountTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void nearlyFullFileSystem();
    void fatThroughFuse();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_mounted;
};

void MountTest::init()
{
    if (geteuid() != 0)
        QSKIP("mounting a file system needs root");
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void MountTest::cleanup()
{
    if (!m_mounted.isEmpty() && umount2(QFile::encodeName(m_mounted).constData(), 0) != 0)
        umount2(QFile::encodeName(m_mounted).constData(), MNT_DETACH);
    m_mounted.clear();
    m_dir.reset();
}

void MountTest::nearlyFullFileSystem()
{
    const QString root = m_dir->filePath(QStringLiteral("small"));
    QVERIFY(QDir().mkpath(root));
    if (mount("tmpfs", QFile::encodeName(root).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
              "size=40m")
        != 0)
        QSKIP(qPrintable(QStringLiteral("this machine does not allow mounting a tmpfs: %1")
                                 .arg(QString::fromLocal8Bit(std::strerror(errno)))));
    m_mounted = root;
    // 40 MB in all: a 16 MB song and 22 MB of other data.
    const QString path = root + QStringLiteral("/song.mp3");
    QVERIFY(makeLongMpeg(path, 16 * megabyte, coverBytes("cover", 100000)));
    QVERIFY(writeAll(root + QStringLiteral("/other.data"), QByteArray(22 * megabyte, 'x')));
    const QStringList entries = entriesOf(root);

    // A tag that keeps its room needs no room beside the file.
    QCOMPARE(save(path, record()), 0);
    QCOMPARE(fieldsOf(path).title, recordTitle);
    QCOMPARE(entriesOf(root), entries);

    // One that grows needs a whole copy, for which there is no room: refused, nothing changed.
    const QByteArray before = readAll(path);
    QCOMPARE(save(path, record(), coverBytes("bigger", 600000)), -1);
    QVERIFY(readAll(path) == before);
    QCOMPARE(entriesOf(root), entries);
}

void MountTest::fatThroughFuse()
{
    const QString mkfs = findTool(QStringLiteral("mkfs.vfat"));
    const QString fusefat = findTool(QStringLiteral("fusefat"));
    if (mkfs.isEmpty() || fusefat.isEmpty())
        QSKIP("needs mkfs.vfat and fusefat (Debian packages dosfstools and fusefat)");
    const QString image = m_dir->filePath(QStringLiteral("stick.img"));
    const QString root = m_dir->filePath(QStringLiteral("stick"));
    QVERIFY(QDir().mkpath(root));
    QFile file(image);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(40 * megabyte));
    file.close();
    QCOMPARE(run(mkfs, {image}), 0);
    struct statfs info = {};
    if (run(fusefat, {QStringLiteral("-o"), QStringLiteral("rw+"), image, root}) != 0
        || statfs(QFile::encodeName(root).constData(), &info) != 0 || info.f_type != fuseMagic)
        QSKIP("this machine does not allow FUSE mounts");
    m_mounted = root;
    const QString path = root + QStringLiteral("/tone.mp3");
    QVERIFY(QFile::copy(fixture(QStringLiteral("tone.mp3")), path));
    const QByteArray cover = coverBytes("stick");

    // The tag grows: a copy, to which FAT can give no owner, mode or extended attributes.
    QCOMPARE(save(path, record(), cover), 0);
    // Now it fits: in place.
    QCOMPARE(save(path, record(QStringLiteral("1999")), cover), 0);

    QCOMPARE(fieldsOf(path).title, recordTitle);
    QCOMPARE(fieldsOf(path).year, 1999u);
    QCOMPARE(mpegPictures(path).value(0).bytes, cover);
    QCOMPARE(entriesOf(root), QStringList {"tone.mp3"});
}

QTEST_GUILESS_MAIN(MountTest)

#include "tst_mounts.moc"
