// The names of ID3v2's picture types, as the command takes and shows them.
#ifndef CLI_PICTURETYPES_H
#define CLI_PICTURETYPES_H

#include <QString>

// "front", "back", "artist", ...: the ID3v2 picture types in lower case; "other" where none.
QString pictureTypeName(int type);
// The type a name or its number (0..20) gives; -1 for any other text.
int pictureType(const QString &name);
// Every name, in the types' order, for help texts.
QString pictureTypeNames();

#endif // CLI_PICTURETYPES_H
