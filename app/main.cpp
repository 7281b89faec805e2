#include "commandline.h"
#include "firststart.h"
#include "mainwindow.h"
#include "utf8locale.h"
#include "widetext.h"

#include <QApplication>

int main(int argc, char **argv)
{
    useUtf8Locale();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(TAGDESK_VERSION));
    // --help and --version end here, before anything is written in the user's home folder.
    const CommandLine commandLine(programArguments(argc, argv));
    // Before the window reads its profile.
    FirstStart::provideProductDatabase();
    MainWindow window(nullptr);
    window.show();
    commandLine.openIn(window);
    return app.exec();
}
