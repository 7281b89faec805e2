#ifndef LOUDNESSCOMMAND_H
#define LOUDNESSCOMMAND_H

#include <QStringList>

class Console;

// quillet loudness [--album] [--dry-run] [--opus-both] [--jobs N] FILE|FOLDER...
int loudnessCommand(const QStringList &arguments, Console &console);

#endif // LOUDNESSCOMMAND_H
