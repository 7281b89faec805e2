#ifndef SHOWCOMMAND_H
#define SHOWCOMMAND_H

#include <QStringList>

class Console;

// quillet show [--json] [--jobs N] FILE|FOLDER...: the seven fields, the cover and the report
// of every file. arguments: the program's name, then the command's own arguments.
int showCommand(const QStringList &arguments, Console &console);

#endif // SHOWCOMMAND_H
