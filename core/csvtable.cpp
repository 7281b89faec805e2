#include "csvtable.h"

namespace csvtable {

QString joinValues(const QStringList &values)
{
    QStringList escaped;
    escaped.reserve(values.size());
    for (QString value : values) {
        value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        value.replace(valueSeparator, QLatin1String("\\;"));
        escaped.append(value);
    }
    return escaped.join(valueSeparator);
}

QStringList splitValues(const QString &cell)
{
    QStringList values;
    QString value;
    for (qsizetype i = 0; i < cell.size(); ++i) {
        const QChar c = cell[i];
        if (c == QLatin1Char('\\') && i + 1 < cell.size()
            && (cell[i + 1] == QLatin1Char('\\') || cell[i + 1] == valueSeparator)) {
            value += cell[++i];
        } else if (c == valueSeparator) {
            values.append(value);
            value.clear();
        } else {
            value += c;
        }
    }
    values.append(value);
    return values;
}

QByteArray row(const QStringList &cells)
{
    QByteArray line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += ',';
        const QByteArray cell = cells[i].toUtf8();
        if (cell.contains(',') || cell.contains('"') || cell.contains('\n')
            || cell.contains('\r')) {
            QByteArray quoted = cell;
            quoted.replace('"', "\"\"");
            line += '"' + quoted + '"';
        } else {
            line += cell;
        }
    }
    return line + "\r\n";
}

namespace {

bool fail(QString *error, int line, const QString &reason)
{
    *error = QStringLiteral("line %1: %2").arg(line).arg(reason);
    return false;
}

// The first line whose bytes are not UTF-8; 0 where all are.
int firstBadLine(const QByteArray &bytes)
{
    int line = 1;
    for (const QByteArray &text : bytes.split('\n')) {
        // Bytes that are not UTF-8 read as U+FFFD, which does not write back as them.
        if (QString::fromUtf8(text).toUtf8() != text)
            return line;
        ++line;
    }
    return 0;
}

} // namespace

bool parse(const QByteArray &bytes, QList<Row> *rows, QString *error)
{
    rows->clear();
    QByteArray content = bytes;
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);
    if (const int bad = firstBadLine(content))
        return fail(error, bad, QStringLiteral("the text is not UTF-8"));
    const QString text = QString::fromUtf8(content);

    QList<Row> read;
    Row current;
    QString cell;
    bool cellStarted = false; // a cell of the row has begun, though it may be empty
    int line = 1;
    current.line = 1;
    const auto endRow = [&]() {
        current.cells.append(cell);
        cell.clear();
        // A blank line is no row.
        if (current.cells.size() > 1 || !current.cells.first().isEmpty() || cellStarted)
            read.append(current);
        current = Row();
        current.line = line;
        cellStarted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('"')) {
            if (!cell.isEmpty())
                return fail(error, line,
                            QStringLiteral("a quote inside a cell that is not quoted"));
            const int opened = line;
            bool closed = false;
            for (++i; i < text.size(); ++i) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                        cell += QLatin1Char('"');
                        ++i;
                        continue;
                    }
                    closed = true;
                    break;
                }
                if (text[i] == QLatin1Char('\n'))
                    ++line;
                cell += text[i];
            }
            if (!closed)
                return fail(error, opened, QStringLiteral("a quoted cell is not closed"));
            cellStarted = true;
            const qsizetype next = i + 1;
            if (next < text.size() && text[next] != QLatin1Char(',')
                && text[next] != QLatin1Char('\n')
                && !(text[next] == QLatin1Char('\r') && next + 1 < text.size()
                     && text[next + 1] == QLatin1Char('\n')))
                return fail(error, line,
                            QStringLiteral("text after a quoted cell's closing quote"));
            // The quoted cell must not be taken as unquoted text again.
            if (next < text.size() && text[next] == QLatin1Char('\r'))
                ++i;
            if (next >= text.size())
                break;
            continue;
        }
        if (c == QLatin1Char(',')) {
            current.cells.append(cell);
            cell.clear();
            cellStarted = true;
        } else if (c == QLatin1Char('\n')
                   || (c == QLatin1Char('\r') && i + 1 < text.size()
                       && text[i + 1] == QLatin1Char('\n'))) {
            if (c == QLatin1Char('\r'))
                ++i;
            ++line;
            endRow();
        } else {
            cell += c;
            cellStarted = cellStarted || !cell.isEmpty();
        }
    }
    if (cellStarted || !cell.isEmpty() || !current.cells.isEmpty())
        endRow();

    for (const Row &row : std::as_const(read)) {
        if (row.cells.size() != read.first().cells.size())
            return fail(error, row.line,
                        QStringLiteral("%1 cells where the first row has %2")
                                .arg(row.cells.size())
                                .arg(read.first().cells.size()));
    }
    *rows = read;
    return true;
}

} // namespace csvtable
