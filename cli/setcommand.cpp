#include "setcommand.h"

#include "batch.h"
#include "chosencover.h"
#include "commandline.h"
#include "console.h"
#include "covertype.h"
#include "csvtable.h"
#include "failurereason.h"
#include "fieldoptions.h"
#include "filewalk.h"
#include "namepattern.h"
#include "picturetypes.h"
#include "tagrecord.h"
#include "widetext.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

#include <cerrno>
#include <optional>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString command = QStringLiteral("set");

// A picture the command line puts or removes.
struct PictureOption
{
    int type = 0;
    bool remove = false;
    QString description;
    QByteArray bytes;
};

// What the command line asks to change; a field not named stays as each file has it.
struct Change
{
    QList<KeyChange> keys;
    QByteArray cover; // empty: the covers stay
    QList<PictureOption> pictures;
    NamePattern fromName; // empty: no field comes from the file's name
    QHash<QString, QList<KeyChange>> table; // --from-csv: each file's own changes
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

QString describePicture(const QByteArray &bytes, const QString &description)
{
    return description.isEmpty() ? describeCover(bytes)
                                 : describeCover(bytes) + QLatin1Char(' ') + quoted(description);
}

FileOutcome apply(const Change &change, const QString &path)
{
    FileOutcome outcome;
    TagRecord record;
    if (!record.read(path, &outcome.error))
        return outcome;

    QList<KeyChange> keys = change.table.isEmpty() ? change.keys : change.table.value(path);
    if (!change.fromName.isEmpty()) {
        const std::optional<QList<FieldValue>> named
                = change.fromName.fieldsFrom(path, &outcome.error);
        if (!named)
            return outcome;
        for (const FieldValue &value : *named)
            keys.append(fieldoptions::fromName(value.field, value.text));
    }
    TagChanges save;
    QStringList changes;
    for (const KeyChange &key : std::as_const(keys)) {
        const std::optional<ResolvedChange> resolved = fieldoptions::resolve(record, key);
        if (!resolved)
            continue;
        changes += QStringLiteral("%1: %2 -> %3")
                           .arg(resolved->name, quoted(resolved->before),
                                resolved->values.isEmpty() ? QStringLiteral("removed")
                                                           : quoted(resolved->after));
        if (resolved->values.isEmpty())
            save.remove(key.key);
        else
            save.set(key.key, resolved->values);
    }
    // A cover equal to the file's own is not written again.
    if (!change.cover.isEmpty()) {
        const QByteArray old = record.cover();
        if (old != change.cover) {
            changes += QStringLiteral("cover: %1 -> %2")
                               .arg(describeCover(old), describeCover(change.cover));
            TagPicture front;
            front.data = change.cover;
            save.putPicture(front);
        }
    }
    for (const PictureOption &picture : change.pictures) {
        QList<const TagPicture *> own;
        for (const TagPicture &held : record.pictures()) {
            if (held.type == picture.type)
                own.append(&held);
        }
        const QString name = QStringLiteral("picture %1").arg(pictureTypeName(picture.type));
        const QString before = own.isEmpty()
                ? QStringLiteral("none")
                : describePicture(own.first()->data, own.first()->description);
        if (picture.remove) {
            if (own.isEmpty())
                continue;
            changes += QStringLiteral("%1: %2 -> none").arg(name, before);
            save.removePictures(picture.type);
            continue;
        }
        if (own.size() == 1 && own.first()->data == picture.bytes
            && own.first()->description == picture.description)
            continue;
        changes += QStringLiteral("%1: %2 -> %3")
                           .arg(name, before, describePicture(picture.bytes, picture.description));
        TagPicture put;
        put.type = picture.type;
        put.description = picture.description;
        put.data = picture.bytes;
        save.putPicture(put);
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
    if (!save.isEmpty())
        save.save(path, &outcome.error);
    return outcome;
}

// --picture TYPE=IMAGE[:DESCRIPTION]: the image is the longest part that names a file.
std::optional<PictureOption> pictureOption(const QString &text, QString *error)
{
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    PictureOption picture;
    picture.type = equals > 0 ? pictureType(text.left(equals)) : -1;
    if (picture.type < 0) {
        *error = QStringLiteral("--picture takes TYPE=IMAGE[:DESCRIPTION], TYPE one of %1")
                         .arg(pictureTypeNames());
        return std::nullopt;
    }
    QString image = text.mid(equals + 1);
    if (!QFileInfo::exists(image) && image.contains(QLatin1Char(':'))) {
        const qsizetype colon = image.indexOf(QLatin1Char(':'));
        picture.description = image.mid(colon + 1);
        image = image.left(colon);
    }
    const ChosenCover chosen = chooseCover(image);
    if (chosen.bytes.isEmpty()) {
        *error = image + QStringLiteral(": ") + chosen.error;
        return std::nullopt;
    }
    picture.bytes = chosen.bytes;
    return picture;
}

// The rows of a table that show --csv wrote and a spreadsheet edited: each file's changes. A
// table that cannot be read entirely is refused with the line and the reason.
bool readTable(const QString &path, QHash<QString, QList<KeyChange>> *table, QStringList *files,
               QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    QList<csvtable::Row> rows;
    if (!csvtable::parse(file.readAll(), &rows, error)) {
        *error = path + QStringLiteral(": ") + *error;
        return false;
    }
    const auto refuse = [&](int line, const QString &reason) {
        *error = QStringLiteral("%1: line %2: %3").arg(path).arg(line).arg(reason);
        return false;
    };
    if (rows.isEmpty())
        return refuse(1, QStringLiteral("the table is empty"));
    const csvtable::Row &header = rows.first();
    if (header.cells.first() != QLatin1String("path"))
        return refuse(header.line, QStringLiteral("the first column must be path"));
    QStringList keys;
    for (qsizetype i = 1; i < header.cells.size(); ++i) {
        const QString key = header.cells[i].trimmed().toUpper();
        if (key.isEmpty())
            return refuse(header.line, QStringLiteral("column %1 has no name").arg(i + 1));
        if (keys.contains(key))
            return refuse(header.line, QStringLiteral("the column %1 is there twice").arg(key));
        keys.append(key);
    }
    for (qsizetype r = 1; r < rows.size(); ++r) {
        const csvtable::Row &row = rows[r];
        const QString file = row.cells.first();
        if (file.isEmpty())
            return refuse(row.line, QStringLiteral("the row names no file"));
        if (table->contains(file))
            return refuse(row.line, QStringLiteral("%1 has a row already").arg(file));
        QList<KeyChange> changes;
        for (qsizetype i = 1; i < row.cells.size(); ++i) {
            const QString &cell = row.cells[i];
            changes.append({keys[i - 1],
                            cell.isEmpty() ? QStringList() : csvtable::splitValues(cell), false});
        }
        table->insert(file, changes);
        files->append(file);
    }
    return true;
}

} // namespace

int setCommand(const QStringList &arguments, Console &console)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Changes the fields given in every file and leaves the others exactly as they\n"
            "are. A folder is walked for audio files, sorted by path."));
    fieldoptions::add(parser);
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
    const QCommandLineOption pictureOpt(
            QStringLiteral("picture"),
            QStringLiteral("Adds or replaces the picture of TYPE (%1), with the description "
                           "given: an image made as for --cover.")
                    .arg(pictureTypeNames()),
            QStringLiteral("TYPE=IMAGE[:DESCRIPTION]"));
    const QCommandLineOption removePicture(QStringLiteral("remove-picture"),
                                           QStringLiteral("Removes the pictures of TYPE."),
                                           QStringLiteral("TYPE"));
    const QCommandLineOption fromCsv(
            QStringLiteral("from-csv"),
            QStringLiteral("Applies a table as show --csv writes it: each row's file gets the "
                           "cells that differ from what it holds; an empty cell removes the "
                           "field, a missing column changes nothing."),
            QStringLiteral("TABLE"));
    parser.addOptions({coverOption, pictureOpt, removePicture, fromName, fromCsv, dryRun});

    int status = commandline::Success;
    const int jobs = commandline::parseFileCommand(
            parser, command, arguments, QStringLiteral("quillet set [options] FILE|FOLDER..."),
            console, &status);
    if (jobs == 0)
        return status;

    Change change;
    change.dryRun = parser.isSet(dryRun);
    QString error;
    const std::optional<QList<KeyChange>> keys = fieldoptions::changes(parser, &error);
    if (!keys)
        return commandline::usageError(console, error, command);
    change.keys = *keys;
    if (parser.isSet(fromName)) {
        if (!change.fromName.parse(parser.value(fromName), &error))
            return commandline::usageError(console, error, command);
        for (std::size_t i = 0; i < patternFieldCount; ++i) {
            const QString key = QLatin1String(quillet::knownFields[i].key.data(),
                                              qsizetype(quillet::knownFields[i].key.size()));
            const bool given = std::any_of(change.keys.cbegin(), change.keys.cend(),
                                           [&key](const KeyChange &c) { return c.key == key; });
            if (given && change.fromName.names(i))
                return commandline::usageError(
                        console,
                        QStringLiteral("--%1 and --from-name both set it")
                                .arg(QLatin1String(quillet::knownFields[i].option)),
                        command);
        }
    }
    for (const QString &text : parser.values(pictureOpt)) {
        const std::optional<PictureOption> picture = pictureOption(text, &error);
        if (!picture) {
            // Without its picture the change is not what was asked for: no file is touched.
            console.error(QStringLiteral("quillet: ") + error);
            return commandline::Failure;
        }
        change.pictures.append(*picture);
    }
    for (const QString &name : parser.values(removePicture)) {
        const int type = pictureType(name);
        if (type < 0)
            return commandline::usageError(
                    console,
                    QStringLiteral("--remove-picture takes one of %1").arg(pictureTypeNames()),
                    command);
        change.pictures.append({type, true, QString(), QByteArray()});
    }
    const bool nothing = change.keys.isEmpty() && change.fromName.isEmpty()
            && !parser.isSet(coverOption) && change.pictures.isEmpty();
    if (parser.isSet(fromCsv)) {
        if (!nothing)
            return commandline::usageError(
                    console, QStringLiteral("--from-csv takes no other change"), command);
        if (!parser.positionalArguments().isEmpty())
            return commandline::usageError(
                    console, QStringLiteral("--from-csv takes its files from the table"), command);
        QStringList files;
        if (!readTable(parser.value(fromCsv), &change.table, &files, &error)) {
            console.error(QStringLiteral("quillet: ") + error
                          + QStringLiteral("; nothing was changed"));
            return commandline::Failure;
        }
        QList<FileItem> items;
        for (const QString &file : std::as_const(files)) {
            // A file moved since the table was made is named, never looked for.
            items.append({file,
                          QFileInfo(file).isFile()
                                  ? QString()
                                  : QStringLiteral("no such file (missing, or renamed since "
                                                   "the table was made)")});
        }
        const auto work = [&change](const QString &path) { return apply(change, path); };
        return runBatch(withoutRepeats(items), jobs, work, console) ? commandline::Success
                                                                    : commandline::Failure;
    }
    if (nothing)
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
