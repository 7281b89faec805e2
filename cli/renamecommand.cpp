#include "renamecommand.h"

#include "batch.h"
#include "batchrunner.h"
#include "commandline.h"
#include "console.h"
#include "filerenamer.h"
#include "filewalk.h"
#include "renameplan.h"
#include "tagrecord.h"
#include "widetext.h"

#include <QCommandLineParser>
#include <QHash>

#include <vector>

namespace {

const QString command = QStringLiteral("rename");

// Every file's fields, read on up to jobs threads; a file that cannot be read gets its reason
// as its error.
std::vector<FileFields> readFields(QList<FileItem> &items, int jobs)
{
    std::vector<FileFields> files(static_cast<std::size_t>(items.size()));
    std::vector<QString> errors(files.size());
    const auto read = [&](qsizetype i) {
        const FileItem &item = std::as_const(items)[i];
        FileFields &file = files[static_cast<std::size_t>(i)];
        file.path = item.path;
        file.base = item.root;
        TagRecord record;
        if (!item.error.isEmpty() || !record.read(item.path, &errors[static_cast<std::size_t>(i)]))
            return;
        for (std::size_t f = 0; f < tagFields.size(); ++f)
            file.texts[f] = record.text(tagFields[f]);
    };
    BatchRunner(items.size(), jobs)
            .run(
                    read, [](qsizetype, qsizetype) {}, std::chrono::milliseconds(200));
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items[i].error.isEmpty())
            items[i].error = errors[static_cast<std::size_t>(i)];
    }
    return files;
}

// The rows of the files that could be read, the others' errors kept; what each file becomes.
QHash<QString, QString> plan(const NamePattern &pattern, QList<FileItem> &items, int jobs)
{
    const std::vector<FileFields> files = readFields(items, jobs);
    QList<FileFields> readable;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items[i].error.isEmpty())
            readable.append(files[static_cast<std::size_t>(i)]);
    }
    QHash<QString, QString> targets;
    QHash<QString, QString> errors;
    for (const RenameRow &row : planRenames(pattern, readable)) {
        targets.insert(row.from, row.to);
        errors.insert(row.from, row.error);
    }
    for (FileItem &item : items) {
        if (item.error.isEmpty())
            item.error = errors.value(item.path);
    }
    return targets;
}

FileOutcome apply(const QString &from, const QString &to, bool dryRun)
{
    FileOutcome outcome;
    if (dryRun) {
        outcome.output
                = nativeName(to == from ? from + QStringLiteral(": nothing to change\n")
                                        : from + QStringLiteral(" → ") + to + QLatin1Char('\n'));
        return outcome;
    }
    RenameDone done;
    if (to != from) {
        if (const int error = renameFile(from, to, &done))
            outcome.error = renameFailure(error);
    }
    return outcome;
}

} // namespace

int renameCommand(const QStringList &arguments, Console &console)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Renames every file from its fields, keeping its extension. A name that exists\n"
            "already, or that two files would get, is refused for those files; the others\n"
            "are renamed. A folder is walked for audio files, sorted by path."));
    const QCommandLineOption patternOption(
            QStringLiteral("pattern"),
            QStringLiteral("The new name: %title% %artist% %album% %year% %track% %genre% "
                           "%comment%, %track:2% for two digits, / between folders."),
            QStringLiteral("PATTERN"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"),
                                    QStringLiteral("Prints each old and new name; renames "
                                                   "nothing."));
    parser.addOptions({patternOption, dryRun});

    int status = commandline::Success;
    const int jobs = commandline::parseFileCommand(
            parser, command, arguments,
            QStringLiteral("quillet rename --pattern PATTERN [options] FILE|FOLDER..."), console,
            &status);
    if (jobs == 0)
        return status;
    if (!parser.isSet(patternOption))
        return commandline::usageError(console, QStringLiteral("--pattern is missing"), command);
    NamePattern pattern;
    QString error;
    if (!pattern.parse(parser.value(patternOption), &error))
        return commandline::usageError(console, error, command);
    if (parser.positionalArguments().isEmpty())
        return commandline::usageError(console, QStringLiteral("no file or folder given"), command);

    QList<FileItem> items = withoutRepeats(collectFiles(parser.positionalArguments()));
    const QHash<QString, QString> targets = plan(pattern, items, jobs);
    const bool dry = parser.isSet(dryRun);
    const auto work = [&](const QString &path) { return apply(path, targets.value(path), dry); };
    return runBatch(items, jobs, work, console) ? commandline::Success : commandline::Failure;
}
