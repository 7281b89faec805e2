#include "showcommand.h"

#include "batch.h"
#include "commandline.h"
#include "console.h"
#include "covertype.h"
#include "csvtable.h"
#include "filewalk.h"
#include "jsonobjectwriter.h"
#include "picturetypes.h"
#include "tagrecord.h"
#include "widetext.h"

#include <QCommandLineParser>
#include <QHash>

#include <algorithm>
#include <vector>

namespace {

const QString command = QStringLiteral("show");

QString coverDescription(const TagRecord &record)
{
    if (record.coverSize() == 0)
        return QStringLiteral("none");
    return QStringLiteral("%1 bytes, %2").arg(record.coverSize()).arg(coverType(record.cover()));
}

QString keyOf(const quillet::KnownField &field)
{
    return QString::fromLatin1(field.key.data(), qsizetype(field.key.size()));
}

bool isFormKey(const QString &key)
{
    return std::any_of(std::begin(quillet::knownFields), std::end(quillet::knownFields),
                       [&key](const quillet::KnownField &field) {
                           return field.form >= 0 && key == keyOf(field);
                       });
}

// One line of JSON; its keys come out in alphabetical order.
QByteArray jsonLine(const QString &path, const TagRecord &record)
{
    JsonObjectWriter object;
    object.add(QStringLiteral("file"), path);
    for (const TagField &field : tagFields)
        object.add(QString::fromLatin1(field.jsonKey), record.text(field));
    object.add(QStringLiteral("cover_bytes"), record.coverSize());
    object.add(QStringLiteral("cover_type"), coverType(record.cover()));
    object.add(QStringLiteral("report"), record.report());
    JsonObjectWriter tags;
    for (const TagProperty &property : record.properties())
        tags.add(property.key, property.values);
    object.add(QStringLiteral("tags"), tags);
    QList<JsonObjectWriter> pictures;
    pictures.reserve(record.pictures().size());
    for (const TagPicture &picture : record.pictures()) {
        JsonObjectWriter &shown = pictures.emplace_back();
        shown.add(QStringLiteral("type"), pictureTypeName(picture.type));
        shown.add(QStringLiteral("mime"), picture.mime);
        shown.add(QStringLiteral("description"), picture.description);
        shown.add(QStringLiteral("bytes"), qint64(picture.data.size()));
        shown.add(QStringLiteral("width"), picture.width);
        shown.add(QStringLiteral("height"), picture.height);
    }
    object.add(QStringLiteral("pictures"), pictures);
    const TagAudio &audio = record.audio();
    JsonObjectWriter audioObject;
    audioObject.add(QStringLiteral("length_ms"), audio.lengthMs);
    audioObject.add(QStringLiteral("bitrate"), audio.bitrate);
    audioObject.add(QStringLiteral("sample_rate"), audio.sampleRate);
    audioObject.add(QStringLiteral("channels"), audio.channels);
    audioObject.add(QStringLiteral("bits_per_sample"), audio.bitsPerSample);
    audioObject.add(QStringLiteral("format"), audio.format);
    object.add(QStringLiteral("audio"), audioObject);
    object.add(QStringLiteral("unsupported"), record.unsupported());
    return object.text() + '\n';
}

// The path, then the seven fields, every other key (a line a value), the pictures, the audio,
// the cover and the report indented under it, and a blank line.
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
    for (const TagProperty &property : record.properties()) {
        if (isFormKey(property.key))
            continue;
        for (const QString &value : property.values)
            line(property.key, value);
    }
    for (const TagPicture &picture : record.pictures()) {
        line(QStringLiteral("picture"),
             QStringLiteral("%1, %2, \"%3\", %4 bytes, %5 × %6")
                     .arg(pictureTypeName(picture.type), picture.mime, picture.description)
                     .arg(picture.data.size())
                     .arg(picture.width)
                     .arg(picture.height));
    }
    const TagAudio &audio = record.audio();
    if (audio.present) {
        QString described = QStringLiteral("%1, %2 ms, %3 kbit/s, %4 Hz, %5 channels")
                                    .arg(audio.format)
                                    .arg(audio.lengthMs)
                                    .arg(audio.bitrate)
                                    .arg(audio.sampleRate)
                                    .arg(audio.channels);
        if (audio.bitsPerSample > 0)
            described += QStringLiteral(", %1 bits").arg(audio.bitsPerSample);
        line(QStringLiteral("audio"), described);
    }
    for (const QString &name : record.unsupported())
        line(QStringLiteral("kept"), name);
    line(QStringLiteral("cover"), coverDescription(record));
    text += QStringLiteral("  report\n");
    const QStringList reportLines = record.report().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &reportLine : reportLines)
        text += QStringLiteral("    ") + reportLine + QLatin1Char('\n');
    text += QLatin1Char('\n');
    return nativeName(text);
}

// The table of every file read: the path, a column for each key any file has, the table's
// fields first in the order of their columns, the rest by name.
QByteArray csvTable(const QStringList &paths, const std::vector<QList<TagProperty>> &files)
{
    std::vector<const quillet::KnownField *> rows;
    for (const quillet::KnownField &field : quillet::knownFields)
        rows.push_back(&field);
    std::sort(rows.begin(), rows.end(),
              [](const quillet::KnownField *a, const quillet::KnownField *b) {
                  return a->column < b->column;
              });
    QHash<QString, bool> present;
    for (const QList<TagProperty> &properties : files) {
        for (const TagProperty &property : properties)
            present.insert(property.key, true);
    }
    QStringList columns;
    for (const quillet::KnownField *field : rows) {
        const QString key = keyOf(*field);
        if (present.remove(key))
            columns.append(key);
    }
    QStringList rest = present.keys();
    rest.sort();
    columns += rest;

    QByteArray table = csvtable::row(QStringList {QStringLiteral("path")} + columns);
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (paths[qsizetype(i)].isEmpty())
            continue;
        QHash<QString, QStringList> values;
        for (const TagProperty &property : files[i])
            values.insert(property.key, property.values);
        QStringList cells {paths[qsizetype(i)]};
        for (const QString &column : std::as_const(columns))
            cells.append(csvtable::joinValues(values.value(column)));
        table += csvtable::row(cells);
    }
    return table;
}

} // namespace

int showCommand(const QStringList &arguments, Console &console)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Shows the tags of audio files: the seven fields, every other key with its values,\n"
            "the pictures, the audio properties, the cover's size and image type, and the\n"
            "report.\n"
            "A folder is walked for audio files, sorted by path."));
    const QCommandLineOption json(
            QStringLiteral("json"),
            QStringLiteral("One JSON object per file and line (JSON Lines)."));
    const QCommandLineOption csv(
            QStringLiteral("csv"),
            QStringLiteral("One table of every file (CSV, RFC 4180, UTF-8): the path, then a "
                           "column a key; several values joined by ';', a ';' or '\\' in a "
                           "value written \\; or \\\\. set --from-csv applies it."));
    parser.addOptions({json, csv});
    int status = commandline::Success;
    const int jobs = commandline::parseFileCommand(
            parser, command, arguments,
            QStringLiteral("quillet show [--json|--csv] [--jobs N] FILE|FOLDER..."), console,
            &status);
    if (jobs == 0)
        return status;
    if (parser.positionalArguments().isEmpty())
        return commandline::usageError(console, QStringLiteral("no file or folder given"), command);

    if (parser.isSet(json) && parser.isSet(csv))
        return commandline::usageError(console, QStringLiteral("--json or --csv, not both"),
                                       command);
    if (parser.isSet(csv)) {
        const QList<FileItem> items = collectFiles(parser.positionalArguments());
        QStringList paths(items.size());
        std::vector<QList<TagProperty>> files(std::size_t(items.size()));
        const auto read = [&](qsizetype i) {
            TagRecord record;
            FileOutcome outcome;
            if (record.read(items[i].path, &outcome.error)) {
                paths[i] = items[i].path;
                files[std::size_t(i)] = record.properties();
            }
            return outcome;
        };
        const bool succeeded = runBatch(
                items, jobs, read, [](qsizetype) { return true; }, console);
        console.out(csvTable(paths, files));
        return succeeded ? commandline::Success : commandline::Failure;
    }
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
