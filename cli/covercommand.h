#ifndef COVERCOMMAND_H
#define COVERCOMMAND_H

#include <QStringList>

class Console;

// quillet cover FILE OUT: the cover's exact bytes into OUT, or to standard output for "-".
// arguments: the program's name, then the command's own arguments.
int coverCommand(const QStringList &arguments, Console &console);

#endif // COVERCOMMAND_H
