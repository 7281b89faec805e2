#ifndef VERSIONORDER_H
#define VERSIONORDER_H

#include <QString>

// True when the installed version is older than the latest one the version feed names.
bool versionSortsBefore(const QString &installed, const QString &latest);

#endif // VERSIONORDER_H
