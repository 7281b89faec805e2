#include "covercommand.h"

#include "commandline.h"
#include "console.h"
#include "picturetypes.h"
#include "tagrecord.h"
#include "widetext.h"

#include <QCommandLineParser>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString command = QStringLiteral("cover");

// OUT appears complete or not at all, never as half an image: the bytes go to a new file beside
// it that is then renamed over it. Names are taken as the system has them (QSaveFile would write
// a name that is not UTF-8 under another one).
bool writeFile(const QString &path, const QByteArray &bytes, QString *reason)
{
    const QByteArray target = nativeName(path);
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = target + ".quillet-" + QByteArray::number(::getpid()) + '-'
                + QByteArray::number(attempt);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    bool written = fd >= 0;
    for (qsizetype done = 0; written && done < bytes.size();) {
        const ssize_t count = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (count > 0)
            done += count;
        else
            written = count < 0 && errno == EINTR;
    }
    written = written && ::fsync(fd) == 0;
    written = written && ::rename(temporary.constData(), target.constData()) == 0;
    const int error = errno;
    if (fd >= 0) {
        ::close(fd);
        if (!written)
            ::unlink(temporary.constData());
    }
    if (!written)
        *reason = QString::fromLocal8Bit(std::strerror(error));
    return written;
}

} // namespace

int coverCommand(const QStringList &arguments, Console &console)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
            QStringLiteral("Writes the exact bytes of the file's front cover (or of its picture "
                           "of another type) to OUT, or to standard output when OUT is -."));
    const QCommandLineOption typeOption(
            QStringLiteral("type"),
            QStringLiteral("The picture's type: %1 (default: front).").arg(pictureTypeNames()),
            QStringLiteral("TYPE"));
    parser.addOption(typeOption);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("An audio file."),
                                 QStringLiteral("FILE"));
    parser.addPositionalArgument(QStringLiteral("out"),
                                 QStringLiteral("Where the image goes; - for standard output."),
                                 QStringLiteral("OUT"));

    int status = commandline::Success;
    if (!commandline::parse(parser, command, arguments,
                            QStringLiteral("quillet cover [--type TYPE] FILE OUT"), console,
                            &status))
        return status;
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2)
        return commandline::usageError(console, QStringLiteral("cover takes FILE and OUT"),
                                       command);
    const int type = parser.isSet(typeOption) ? pictureType(parser.value(typeOption))
                                              : int(TagPictureType::FrontCover);
    if (type < 0)
        return commandline::usageError(
                console, QStringLiteral("--type takes one of %1").arg(pictureTypeNames()), command);
    const QString &path = files[0];
    const QString &out = files[1];

    TagRecord record;
    QString reason;
    if (!record.read(path, &reason)) {
        console.error(path + QStringLiteral(": ") + reason);
        return commandline::Failure;
    }
    // The front cover as always (a file's only picture counts as one); another type exactly.
    QByteArray cover;
    if (type == int(TagPictureType::FrontCover)) {
        cover = record.cover();
    } else {
        for (const TagPicture &picture : record.pictures()) {
            if (picture.type == type && !picture.data.isEmpty()) {
                cover = picture.data;
                break;
            }
        }
    }
    if (cover.isEmpty()) {
        console.error(
                path
                + (type == int(TagPictureType::FrontCover)
                           ? QStringLiteral(": no cover")
                           : QStringLiteral(": no picture of type %1").arg(pictureTypeName(type))));
        return commandline::Failure;
    }
    if (out == QLatin1String("-")) {
        console.out(cover);
        if (!console.flush()) {
            console.error(QStringLiteral("quillet: standard output could not be written"));
            return commandline::Failure;
        }
    } else if (!writeFile(out, cover, &reason)) {
        console.error(out + QStringLiteral(": ") + reason);
        return commandline::Failure;
    }
    return commandline::Success;
}
