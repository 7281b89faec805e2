#include "commandline.h"

#include "mainwindow.h"
#include "textfinder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

CommandLine::CommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
            QCoreApplication::translate("CommandLine", "Edit the tags of audio files."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
            QStringLiteral("file"),
            QCoreApplication::translate("CommandLine", "The audio file to open."),
            QStringLiteral("[FILE]"));
    parser.process(arguments);

    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        const QString message
                = QCoreApplication::translate("CommandLine", "%1: one FILE at most; try --help\n")
                          .arg(QFileInfo(arguments.value(0)).fileName());
        std::fputs(qPrintable(message), stderr);
        std::exit(EXIT_FAILURE);
    }
    // Shown and remembered as a full path, whatever folder tagdesk was started in.
    if (!files.isEmpty() && !files.first().isEmpty())
        startFile = QFileInfo(files.first()).absoluteFilePath();
}

void CommandLine::openIn(MainWindow &window) const
{
    if (startFile.isEmpty())
        return;
    // The editor is the window's central widget; at start nothing is changed, so nothing is
    // asked before the file opens.
    if (auto *editor = qobject_cast<TextFinder *>(window.centralWidget()))
        editor->openFile(startFile);
}
