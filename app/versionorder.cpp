#include "versionorder.h"

#include <QVersionNumber>

#include <optional>

namespace {

struct DottedVersion
{
    QVersionNumber numbers;
    QString suffix;
};

// "1.10.0", "2.0-beta": dotted numbers from the first character on, then anything.
std::optional<DottedVersion> dotted(const QString &text)
{
    if (text.isEmpty() || !text.front().isDigit())
        return std::nullopt;
    qsizetype suffixStart = 0;
    QVersionNumber numbers = QVersionNumber::fromString(text, &suffixStart);
    if (numbers.isNull())
        return std::nullopt;
    return DottedVersion {std::move(numbers), text.mid(suffixStart)};
}

} // namespace

bool versionSortsBefore(const QString &installed, const QString &latest)
{
    // Compared number by number, so that 1.10 comes after 1.9; texts that are not versions keep
    // the plain string order the check has always used (an empty or space-led version).
    const std::optional<DottedVersion> mine = dotted(installed);
    const std::optional<DottedVersion> theirs = dotted(latest);
    if (!mine || !theirs)
        return installed < latest;
    const int order = QVersionNumber::compare(mine->numbers, theirs->numbers);
    if (order != 0)
        return order < 0;
    return mine->suffix < theirs->suffix;
}
