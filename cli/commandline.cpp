#include "commandline.h"

#include "console.h"

#include <QCommandLineParser>
#include <QThread>

namespace commandline {

namespace {

// More threads than this would only wait for the disk.
constexpr int maxJobs = 256;

} // namespace

bool parse(QCommandLineParser &parser, const QString &command, const QStringList &arguments,
           const QString &usage, Console &console, int *exitStatus)
{
    const QCommandLineOption help = helpOption();
    parser.addOption(help);
    if (!parser.parse(arguments)) {
        *exitStatus = usageError(console, parser.errorText(), command);
        return false;
    }
    if (parser.isSet(help)) {
        // Qt's first line names the program as it was started; the command belongs in it too.
        QString text = parser.helpText();
        text.replace(0, text.indexOf(QLatin1Char('\n')), QStringLiteral("Usage: ") + usage);
        console.out(text.toUtf8());
        *exitStatus = Success;
        return false;
    }
    return true;
}

int parseFileCommand(QCommandLineParser &parser, const QString &command,
                     const QStringList &arguments, const QString &usage, Console &console,
                     int *exitStatus)
{
    parser.addOption(jobsOption());
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Audio files or folders."),
                                 QStringLiteral("FILE|FOLDER..."));
    if (!parse(parser, command, arguments, usage, console, exitStatus))
        return 0;
    const int count = jobs(parser, command, console);
    if (count == 0)
        *exitStatus = UsageError;
    return count;
}

QCommandLineOption helpOption()
{
    // Not Qt's own: its --help-all lists options of Qt's GUI classes this program never takes.
    return QCommandLineOption(QStringList {QStringLiteral("h"), QStringLiteral("help")},
                              QStringLiteral("Shows this help."));
}

int usageError(Console &console, const QString &message, const QString &command)
{
    const QString help = command.isEmpty() ? QStringLiteral("quillet --help")
                                           : QStringLiteral("quillet %1 --help").arg(command);
    console.error(QStringLiteral("quillet: ") + message);
    console.error(QStringLiteral("Try '%1' for more information.").arg(help));
    return UsageError;
}

QCommandLineOption jobsOption()
{
    return QCommandLineOption(QStringList {QStringLiteral("j"), QStringLiteral("jobs")},
                              QStringLiteral("Work on <N> files at once (default: the number of "
                                             "cores)."),
                              QStringLiteral("N"));
}

int jobs(const QCommandLineParser &parser, const QString &command, Console &console)
{
    if (!parser.isSet(QStringLiteral("jobs")))
        return qBound(1, QThread::idealThreadCount(), maxJobs);
    bool ok = false;
    const int value = parser.value(QStringLiteral("jobs")).toInt(&ok);
    if (!ok || value < 1 || value > maxJobs) {
        usageError(console, QStringLiteral("--jobs takes a number from 1 to %1").arg(maxJobs),
                   command);
        return 0;
    }
    return value;
}

} // namespace commandline
