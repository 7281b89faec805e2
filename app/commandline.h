#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QString>
#include <QStringList>

class MainWindow;

// tagdesk's command line: "tagdesk [FILE]", with --help and --version.
class CommandLine
{
public:
    // Reads the program's arguments, the program's own name first. --help and --version print
    // their answer and end the process, and a command line that is not understood ends it with
    // a message and exit code 1, as QCommandLineParser does.
    explicit CommandLine(const QStringList &arguments);

    // Opens the file in the window's editor as "Open" does; does nothing without a file.
    void openIn(MainWindow &window) const;

private:
    QString startFile; // absolute; empty when none was named
};

#endif // COMMANDLINE_H
