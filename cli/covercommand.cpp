#include "covercommand.h"

#include "commandline.h"
#include "console.h"
#include "tagrecord.h"

#include <QCommandLineParser>
#include <QSaveFile>

namespace {

const QString command = QStringLiteral("cover");

// OUT appears complete or not at all, never as half an image.
bool writeFile(const QString &path, const QByteArray &bytes, QString *reason)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *reason = file.errorString();
        return false;
    }
    return true;
}

} // namespace

int coverCommand(const QStringList &arguments, Console &console)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
            QStringLiteral("Writes the exact bytes of the file's front cover to OUT, or to "
                           "standard output when OUT is -."));
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("An audio file."),
                                 QStringLiteral("FILE"));
    parser.addPositionalArgument(QStringLiteral("out"),
                                 QStringLiteral("Where the image goes; - for standard output."),
                                 QStringLiteral("OUT"));

    int status = commandline::Success;
    if (!commandline::parse(parser, command, arguments, QStringLiteral("quillet cover FILE OUT"),
                            console, &status))
        return status;
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2)
        return commandline::usageError(console, QStringLiteral("cover takes FILE and OUT"),
                                       command);
    const QString &path = files[0];
    const QString &out = files[1];

    TagRecord record;
    QString reason;
    if (!record.read(path, &reason)) {
        console.error(path + QStringLiteral(": ") + reason);
        return commandline::Failure;
    }
    const QByteArray cover = record.cover();
    if (cover.isEmpty()) {
        console.error(path + QStringLiteral(": no cover"));
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
