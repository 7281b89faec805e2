// Why the library failed, in words, from the errno it left (the values: quillet.h).
#ifndef FAILUREREASON_H
#define FAILUREREASON_H

#include <QString>

// "permission denied", "no such file", "not an audio file", ...: lower case, no full stop.
QString failureReason(int error);

#endif // FAILUREREASON_H
