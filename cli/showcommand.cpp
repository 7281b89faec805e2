#include "showcommand.h"

#include "batch.h"
#include "commandline.h"
#include "console.h"
#include "covertype.h"
#include "filewalk.h"
#include "tagrecord.h"
#include "widetext.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString command = QStringLiteral("show");

QString coverDescription(const TagRecord &record)
{
    if (record.coverSize() == 0)
        return QStringLiteral("none");
    return QStringLiteral("%1 bytes, %2").arg(record.coverSize()).arg(coverType(record.cover()));
}

// One line of JSON; its keys come out in alphabetical order.
QByteArray jsonLine(const QString &path, const TagRecord &record)
{
    QJsonObject object;
    object.insert(QStringLiteral("file"), path);
    for (const TagField &field : tagFields)
        object.insert(QLatin1String(field.jsonKey), record.text(field));
    object.insert(QStringLiteral("cover_bytes"), record.coverSize());
    object.insert(QStringLiteral("cover_type"), coverType(record.cover()));
    object.insert(QStringLiteral("report"), record.report());
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

// The path, then the fields, the cover and the report indented under it, and a blank line.
QByteArray textBlock(const QString &path, const TagRecord &record)
{
    QString text = path + QLatin1Char('\n');
    const auto line = [&text](const QString &label, const QString &value) {
        // An empty value leaves no spaces at the end of the line.
        text += value.isEmpty() ? QStringLiteral("  %1\n").arg(label)
                                : QStringLiteral("  %1 %2\n").arg(label, -8).arg(value);
    };
    for (const TagField &field : tagFields)
        line(QLatin1String(field.name), record.text(field));
    line(QStringLiteral("cover"), coverDescription(record));
    text += QStringLiteral("  report\n");
    const QStringList reportLines = record.report().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &reportLine : reportLines)
        text += QStringLiteral("    ") + reportLine + QLatin1Char('\n');
    text += QLatin1Char('\n');
    return nativeName(text);
}

} // namespace

int showCommand(const QStringList &arguments, Console &console)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Shows the tags of audio files: the seven fields, the cover's size and image\n"
            "type, and the report of every tag property and the audio properties.\n"
            "A folder is walked for audio files, sorted by path."));
    const QCommandLineOption json(
            QStringLiteral("json"),
            QStringLiteral("One JSON object per file and line (JSON Lines)."));
    parser.addOption(json);
    int status = commandline::Success;
    const int jobs = commandline::parseFileCommand(
            parser, command, arguments,
            QStringLiteral("quillet show [--json] [--jobs N] FILE|FOLDER..."), console, &status);
    if (jobs == 0)
        return status;
    if (parser.positionalArguments().isEmpty())
        return commandline::usageError(console, QStringLiteral("no file or folder given"), command);

    const bool asJson = parser.isSet(json);
    const auto show = [asJson](const QString &path) {
        TagRecord record;
        FileOutcome outcome;
        if (record.read(path, &outcome.error))
            outcome.output = asJson ? jsonLine(path, record) : textBlock(path, record);
        return outcome;
    };
    const bool succeeded
            = runBatch(collectFiles(parser.positionalArguments()), jobs, show, console);
    return succeeded ? commandline::Success : commandline::Failure;
}
