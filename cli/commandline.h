#ifndef CLI_COMMANDLINE_H
#define CLI_COMMANDLINE_H

#include <QCommandLineOption>
#include <QString>
#include <QStringList>

class Console;
class QCommandLineParser;

// What the commands share on their command lines.
namespace commandline {

enum ExitStatus {
    Success = 0, // every file succeeded
    Failure = 1, // at least one file failed
    UsageError = 2, // the command line was wrong; nothing was done
};

// Parses the arguments of command, the program's name first. Returns false when the run ends here:
// after the help (usage is its first line), or after a usage error; exitStatus then says which.
bool parse(QCommandLineParser &parser, const QString &command, const QStringList &arguments,
           const QString &usage, Console &console, int *exitStatus);

// For the commands over FILE|FOLDER...: adds --jobs and the files to parser, parses as parse()
// does and reads --jobs. Returns the jobs to run, or 0 when the run ends here: exitStatus then
// says how.
int parseFileCommand(QCommandLineParser &parser, const QString &command,
                     const QStringList &arguments, const QString &usage, Console &console,
                     int *exitStatus);

// -h, --help.
QCommandLineOption helpOption();

// Reports a wrong command line; returns UsageError. command names the help to point to.
int usageError(Console &console, const QString &message, const QString &command = QString());

// --jobs N: how many files are worked on at once; the number of cores when not given.
QCommandLineOption jobsOption();
// The value of --jobs; 0 after a usage error has been reported.
int jobs(const QCommandLineParser &parser, const QString &command, Console &console);

} // namespace commandline

#endif // CLI_COMMANDLINE_H
