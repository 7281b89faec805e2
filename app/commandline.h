#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QString>
#include <QStringList>

class MainWindow;

// tagdesk's command line: "tagdesk [FILE]... [FOLDER]...", with --help and --version.
class CommandLine
{
public:
    // Reads the program's arguments, the program's own name first. --help and --version print
    // their answer and end the process, and a command line that is not understood ends it with
    // a message and exit code 1, as QCommandLineParser does.
    explicit CommandLine(const QStringList &arguments);

    // Opens one file in the window's editor as "Open" does, several files or folders as a list;
    // does nothing without any.
    void openIn(MainWindow &window) const;

private:
    QStringList startFiles; // absolute
};

#endif // COMMANDLINE_H
