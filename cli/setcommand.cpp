#include "setcommand.h"

#include "batch.h"
#include "chosencover.h"
#include "commandline.h"
#include "console.h"
#include "covertype.h"
#include "failurereason.h"
#include "filewalk.h"
#include "namepattern.h"
#include "tagrecord.h"
#include "wholenumber.h"
#include "widetext.h"

#include <QCommandLineParser>

#include <cerrno>
#include <optional>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString command = QStringLiteral("set");

// What the command line asks to change; a field not named stays as each file has it.
struct Change
{
    std::vector<std::pair<TagField, QString>> fields;
    QByteArray cover; // empty: the covers stay
    NamePattern fromName; // empty: no field comes from the file's name
    bool dryRun = false;
};

// A value as the dry run shows it: quoted, with quotes, backslashes and line breaks escaped so
// that every change stays on one line.
QString quoted(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    escaped.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    escaped.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString describeCover(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return QStringLiteral("none");
    return QStringLiteral("%1 bytes %2").arg(bytes.size()).arg(coverType(bytes));
}

// Why a save would refuse to write the file, as the library judges it (a file nobody may write
// is not written, not even by root); 0 where it may.
int writeRefusal(const QString &path)
{
    const QByteArray name = nativeName(path);
    struct stat info;
    if (stat(name.constData(), &info) != 0)
        return errno;
    if ((info.st_mode & 0222) == 0)
        return EACCES;
    return access(name.constData(), W_OK) == 0 ? 0 : errno;
}

FileOutcome apply(const Change &change, const QString &path)
{
    FileOutcome outcome;
    TagRecord record;
    if (!record.read(path, &outcome.error))
        return outcome;

    auto fields = change.fields;
    if (!change.fromName.isEmpty()) {
        const std::optional<QList<FieldValue>> named
                = change.fromName.fieldsFrom(path, &outcome.error);
        if (!named)
            return outcome;
        for (const FieldValue &value : *named)
            fields.emplace_back(tagFields[value.field], value.text);
    }
    QStringList changes;
    for (const auto &[field, value] : fields) {
        const QString old = record.text(field);
        if (old == value)
            continue;
        changes += QStringLiteral("%1: %2 -> %3")
                           .arg(QLatin1String(field.name), quoted(old), quoted(value));
        record.setText(field, value);
    }
    // A cover equal to the file's own is not written again.
    QByteArray cover;
    if (!change.cover.isEmpty()) {
        const QByteArray old = record.cover();
        if (old != change.cover) {
            changes += QStringLiteral("cover: %1 -> %2")
                               .arg(describeCover(old), describeCover(change.cover));
            cover = change.cover;
        }
    }

    if (change.dryRun) {
        if (const int error = changes.isEmpty() ? 0 : writeRefusal(path)) {
            outcome.error = failureReason(error) + QStringLiteral("; the file is unchanged");
            return outcome;
        }
        if (changes.isEmpty())
            changes += QStringLiteral("nothing to change");
        for (const QString &line : std::as_const(changes))
            outcome.output += nativeName(path + QStringLiteral(": ") + line + QLatin1Char('\n'));
        return outcome;
    }
    // A file that already holds every value given is left alone.
    if (!changes.isEmpty())
        record.save(path, cover, &outcome.error);
    return outcome;
}

} // namespace

int setCommand(const QStringList &arguments, Console &console)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Changes the fields given in every file and leaves the others exactly as they\n"
            "are. A folder is walked for audio files, sorted by path."));
    const QStringList fieldHelp = {
            QStringLiteral("Sets the title."),
            QStringLiteral("Sets the artist."),
            QStringLiteral("Sets the album."),
            QStringLiteral("Sets the comment."),
            QStringLiteral("Sets the year (0 removes it)."),
            QStringLiteral("Sets the track number (0 removes it)."),
            QStringLiteral("Sets the genre."),
    };
    for (std::size_t i = 0; i < tagFields.size(); ++i) {
        const QString name = QLatin1String(tagFields[i].name);
        parser.addOption(
                QCommandLineOption(name, fieldHelp[static_cast<qsizetype>(i)], name.toUpper()));
    }
    const QCommandLineOption coverOption(
            QStringLiteral("cover"),
            QStringLiteral("Sets the front cover: a JPEG as it is, any other image encoded as "
                           "JPEG."),
            QStringLiteral("IMAGE"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"),
                                    QStringLiteral("Prints what would change; writes nothing."));
    const QCommandLineOption fromName(
            QStringLiteral("from-name"),
            QStringLiteral("Sets the fields that the pattern names from each file's name "
                           "(without its extension; with / also from its folders)."),
            QStringLiteral("PATTERN"));
    parser.addOptions({coverOption, fromName, dryRun});

    int status = commandline::Success;
    const int jobs = commandline::parseFileCommand(
            parser, command, arguments, QStringLiteral("quillet set [options] FILE|FOLDER..."),
            console, &status);
    if (jobs == 0)
        return status;

    Change change;
    change.dryRun = parser.isSet(dryRun);
    for (const TagField &field : tagFields) {
        const QString name = QLatin1String(field.name);
        if (!parser.isSet(name))
            continue;
        QString value = parser.value(name);
        if (field.isNumber) {
            const std::optional<QString> number = wholeNumber(value);
            if (!number)
                return commandline::usageError(
                        console, QStringLiteral("--%1 takes a whole number").arg(name), command);
            value = *number;
        }
        change.fields.emplace_back(field, value);
    }
    if (parser.isSet(fromName)) {
        QString error;
        if (!change.fromName.parse(parser.value(fromName), &error))
            return commandline::usageError(console, error, command);
        for (std::size_t i = 0; i < tagFields.size(); ++i) {
            const QString name = QLatin1String(tagFields[i].name);
            if (parser.isSet(name) && change.fromName.names(i))
                return commandline::usageError(
                        console, QStringLiteral("--%1 and --from-name both set it").arg(name),
                        command);
        }
    }
    if (change.fields.empty() && change.fromName.isEmpty() && !parser.isSet(coverOption))
        return commandline::usageError(console, QStringLiteral("nothing to set"), command);
    if (parser.positionalArguments().isEmpty())
        return commandline::usageError(console, QStringLiteral("no file or folder given"), command);

    if (parser.isSet(coverOption)) {
        const QString image = parser.value(coverOption);
        const ChosenCover cover = chooseCover(image);
        change.cover = cover.bytes;
        if (change.cover.isEmpty()) {
            // Without its cover the change is not what was asked for: no file is touched.
            console.error(image + QStringLiteral(": ") + cover.error);
            return commandline::Failure;
        }
    }

    const auto work = [&change](const QString &path) { return apply(change, path); };
    const bool succeeded = runBatch(withoutRepeats(collectFiles(parser.positionalArguments())),
                                    jobs, work, console);
    return succeeded ? commandline::Success : commandline::Failure;
}
