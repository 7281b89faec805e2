#include "commandline.h"

#include "mainwindow.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

CommandLine::CommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
            QCoreApplication::translate("CommandLine", "Edit the tags of audio files."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
            QStringLiteral("file"),
            QCoreApplication::translate("CommandLine",
                                        "The audio files to open, and folders to open the audio "
                                        "files below."),
            QStringLiteral("[FILE]... [FOLDER]..."));
    parser.process(arguments);

    // Shown and remembered as full paths, whatever folder tagdesk was started in. Made by hand:
    // a name that is not UTF-8 must keep its escaped bytes, which Qt's file calls would lose.
    const QStringList files = parser.positionalArguments();
    for (const QString &file : files) {
        if (!file.isEmpty())
            startFiles.append(QDir::cleanPath(QDir::isAbsolutePath(file) ? file
                                                                         : QDir::currentPath()
                                                              + QLatin1Char('/') + file));
    }
}

void CommandLine::openIn(MainWindow &window) const
{
    if (startFiles.isEmpty())
        return;
    // At start nothing is changed, so nothing is asked before the files open.
    window.openFiles(startFiles);
}
