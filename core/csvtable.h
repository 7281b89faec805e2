// Tables of tags as spreadsheets read and write them: CSV (RFC 4180) in UTF-8, a cell holding
// one field's values joined by ';'.
#ifndef CSVTABLE_H
#define CSVTABLE_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace csvtable {

// The separator of several values in one cell. A ';' or '\' inside a value is written "\;" or
// "\\", so a value never reads as two; any other '\' read stays as it is.
inline constexpr QChar valueSeparator = QLatin1Char(';');
QString joinValues(const QStringList &values);
QStringList splitValues(const QString &cell);

// One record: its cells, ended by CRLF; a cell is quoted where it holds a comma, a quote or a
// line break.
QByteArray row(const QStringList &cells);

struct Row
{
    int line = 0; // where the row begins, the first line 1
    QStringList cells;
};

// The rows of a table, blank lines left out, a leading UTF-8 byte order mark skipped. Every row
// has as many cells as the first. Nothing, with "line N: reason" in error, where any of it
// cannot be read.
bool parse(const QByteArray &bytes, QList<Row> *rows, QString *error);

} // namespace csvtable

#endif // CSVTABLE_H
