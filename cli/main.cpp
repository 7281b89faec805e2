// quillet: the tags of many audio files at once, from the command line, through the same two
// library calls as the editor.
#include "commandline.h"
#include "console.h"
#include "covercommand.h"
#include "lookupcommand.h"
#include "loudnesscommand.h"
#include "renamecommand.h"
#include "setcommand.h"
#include "showcommand.h"
#include "utf8locale.h"
#include "widetext.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

struct Command
{
    const char *name;
    int (*run)(const QStringList &arguments, Console &console);
};

const Command commands[] = {
        {"show", showCommand},     {"set", setCommand},           {"cover", coverCommand},
        {"rename", renameCommand}, {"loudness", loudnessCommand}, {"lookup", lookupCommand},
};

// The command line up to the command's name; the rest is the command's own.
int run(const QStringList &arguments, Console &console)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Shows and changes the tags of audio files.\n"
            "\n"
            "Commands:\n"
            "  show [--json|--csv] FILE|FOLDER...\n"
            "                                 every field, picture and audio property of each "
            "file\n"
            "  set [options] FILE|FOLDER...   change the fields given, keep the others\n"
            "  set --from-csv TABLE           apply a table that show --csv wrote\n"
            "  cover [--type TYPE] FILE OUT   write a picture's exact bytes to OUT (- for "
            "standard output)\n"
            "  rename --pattern PATTERN FILE|FOLDER...\n"
            "                                 rename every file from its fields\n"
            "  loudness [--album] FILE|FOLDER...\n"
            "                                 measure loudness and write ReplayGain tags\n"
            "  lookup [--release MBID] FILE|FOLDER...\n"
            "                                 look the album up on MusicBrainz and fill its "
            "tags\n"
            "\n"
            "Run 'quillet COMMAND --help' for a command's options; 'man quillet' says more."));
    const QCommandLineOption help = commandline::helpOption();
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("show, set, cover, rename, loudness or lookup."),
                                 QStringLiteral("COMMAND"));
    // Everything after the command's name is left to the command.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);

    if (!parser.parse(arguments))
        return commandline::usageError(console, parser.errorText());
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        text.replace(0, text.indexOf(QLatin1Char('\n')),
                     QStringLiteral("Usage: quillet COMMAND [options] ARGUMENTS..."));
        console.out(text.toUtf8());
        return commandline::Success;
    }
    if (parser.isSet(version)) {
        console.out(QStringLiteral("quillet %1\n")
                            .arg(QCoreApplication::applicationVersion())
                            .toUtf8());
        return commandline::Success;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return commandline::usageError(console, QStringLiteral("no command given"));
    for (const Command &command : commands) {
        if (positional.first() == QLatin1String(command.name))
            return command.run(QStringList {arguments.first()} + positional.mid(1), console);
    }
    return commandline::usageError(console,
                                   QStringLiteral("unknown command '%1'").arg(positional.first()));
}

} // namespace

int main(int argc, char *argv[])
{
    useUtf8Locale();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillet"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLET_VERSION));
    Console console;
    return run(programArguments(argc, argv), console);
}
