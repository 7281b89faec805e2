#include "commandline.h"
#include "mainwindow.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(TAGDESK_VERSION));
    const CommandLine commandLine(QCoreApplication::arguments());
    MainWindow window(nullptr);
    window.show();
    commandLine.openIn(window);
    return app.exec();
}
