#include "wholenumber.h"

#include <cstdint>
#include <limits>

std::optional<QString> wholeNumber(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return QString::number(value);
}
