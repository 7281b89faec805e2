#ifndef LOOKUPCOMMAND_H
#define LOOKUPCOMMAND_H

#include <QStringList>

class Console;

// quillet lookup FILE|FOLDER...: searches MusicBrainz for the files' album and prints the
// candidates with their identifiers and scores. quillet lookup --release MBID [--cover]
// [--dry-run] [--partial] FILE|FOLDER...: matches the files to the release's tracks, prints every
// change and saves it.
int lookupCommand(const QStringList &arguments, Console &console);

#endif // LOOKUPCOMMAND_H
