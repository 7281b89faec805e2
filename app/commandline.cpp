#include "commandline.h"

#include "mainwindow.h"
#include "textfinder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
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
    // Shown and remembered as a full path, whatever folder tagdesk was started in. Made by hand:
    // a name that is not UTF-8 must keep its escaped bytes, which Qt's file calls would lose.
    if (!files.isEmpty() && !files.first().isEmpty()) {
        const QString &file = files.first();
        startFile = QDir::cleanPath(
                QDir::isAbsolutePath(file) ? file : QDir::currentPath() + QLatin1Char('/') + file);
    }
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
