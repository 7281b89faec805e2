#ifndef SETCOMMAND_H
#define SETCOMMAND_H

#include <QStringList>

class Console;

// quillet set [--title T] ... [--cover IMAGE] [--dry-run] [--jobs N] FILE|FOLDER...: changes the
// fields given in every file and leaves the others exactly as they are. arguments: the
// program's name, then the command's own arguments.
int setCommand(const QStringList &arguments, Console &console);

#endif // SETCOMMAND_H
