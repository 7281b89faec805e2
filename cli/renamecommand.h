#ifndef RENAMECOMMAND_H
#define RENAMECOMMAND_H

#include <QStringList>

class Console;

// quillet rename --pattern PATTERN [--dry-run] [--jobs N] FILE|FOLDER...: renames every file
// from its fields, never over another file. arguments: the program's name, then the command's
// own arguments.
int renameCommand(const QStringList &arguments, Console &console);

#endif // RENAMECOMMAND_H
