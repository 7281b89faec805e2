#include "firststart.h"

#include "productprofile.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#ifdef Q_OS_UNIX
#    include <unistd.h>
#endif

namespace {

// A symbolic link counts as there even when it leads nowhere: it is the user's, not ours.
bool somethingAt(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool copyContent(QFile &from, QFile &to)
{
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 got = from.read(buffer.data(), buffer.size());
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (to.write(buffer.constData(), got) != got)
            return false;
    }
}

// On disk before the rename makes it the database: after a crash the user finds the whole
// sample or none, never an empty file that would then count as theirs.
bool flushToDisk(QFile &file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_UNIX
    return ::fsync(file.handle()) == 0;
#else
    return true;
#endif
}

} // namespace

FirstStart::Outcome FirstStart::installSample(const QString &sample, const QString &target,
                                              QString *reason)
{
    const auto fail = [reason](const QString &why) {
        if (reason)
            *reason = why;
        return Outcome::Failed;
    };

    if (somethingAt(target))
        return Outcome::AlreadyThere;

    // The sample is opened first, so that without it not even the folder is made.
    QFile source(sample);
    if (!source.open(QIODevice::ReadOnly))
        return fail(
                QStringLiteral("cannot read the sample %1: %2").arg(sample, source.errorString()));

    const QFileInfo targetInfo(target);
    const QString folder = targetInfo.absolutePath();
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("cannot create the folder %1").arg(folder));

    // Hidden, in the target's own folder: the rename stays on one file system. The temporary
    // file removes itself whenever the copy does not make it into place.
    QTemporaryFile copy(folder + QStringLiteral("/.") + targetInfo.fileName()
                        + QStringLiteral(".XXXXXX"));
    if (!copy.open())
        return fail(QStringLiteral("cannot write in %1: %2").arg(folder, copy.errorString()));
    if (!copyContent(source, copy) || !flushToDisk(copy)) {
        const QString why = source.error() != QFileDevice::NoError ? source.errorString()
                                                                   : copy.errorString();
        return fail(QStringLiteral("cannot copy %1 to %2: %3").arg(sample, copy.fileName(), why));
    }

    // QTemporaryFile::rename, like QFile::rename, refuses a target that exists.
    if (!copy.rename(target)) {
        // Another tagdesk starting at the same moment may have been quicker.
        if (somethingAt(target))
            return Outcome::AlreadyThere;
        return fail(QStringLiteral("cannot rename %1 to %2: %3")
                            .arg(copy.fileName(), target, copy.errorString()));
    }
    copy.setAutoRemove(false);
    return Outcome::Made;
}

void FirstStart::provideProductDatabase()
{
    const QString sample
            = QDir::cleanPath(QCoreApplication::applicationDirPath()
                              + QStringLiteral("/" TAGDESK_DATA_FROM_BIN "/profile-lumo"));
    const QString target = ProductProfile::databasePath();
    QString reason;
    switch (installSample(sample, target, &reason)) {
    case Outcome::AlreadyThere:
        break;
    case Outcome::Made:
        qDebug().noquote() << "made the product database" << target << "from the sample" << sample;
        break;
    case Outcome::Failed:
        qDebug().noquote() << "no product database:" << reason;
        break;
    }
}
