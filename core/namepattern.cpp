#include "namepattern.h"

#include "wholenumber.h"
#include "widetext.h"

#include <QDir>

#include <algorithm>

namespace {

// The longest name most file systems take, in bytes.
constexpr qsizetype nameMax = 255;
constexpr int widestPadding = 9;

bool isPlaceholderChar(QChar c)
{
    // Capitals too: "%Title%" is a misspelt placeholder, refused, not a name's literal text.
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char(':');
}

// Characters that Windows and FAT do not take in a name.
bool isForbidden(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F || QStringView(u"\\/:*?\"<>|").contains(c);
}

// Without the spaces and dots at either end, which some systems drop or refuse.
QString trimmedName(const QString &name)
{
    const auto isTrimmed = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('.'); };
    qsizetype begin = 0;
    qsizetype end = name.size();
    while (begin < end && isTrimmed(name[begin]))
        ++begin;
    while (end > begin && isTrimmed(name[end - 1]))
        --end;
    return name.mid(begin, end - begin);
}

// The length of the character at i: two for a surrogate pair, else one.
qsizetype charLength(const QString &text, qsizetype i)
{
    return text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
}

// At most bytes bytes of the name, cut where a character begins. Counted per character: a byte
// of a name that is not UTF-8 is a character of its own, though it may look like the middle of
// one.
QString cutTo(const QString &name, qsizetype bytes)
{
    if (nativeName(name).size() <= bytes)
        return name;
    qsizetype used = 0;
    qsizetype cut = 0;
    while (cut < name.size()) {
        const qsizetype length = charLength(name, cut);
        used += nativeName(name.mid(cut, length)).size();
        if (used > bytes)
            break;
        cut += length;
    }
    return trimmedName(name.left(cut));
}

// The extension of a file name, its dot included; none for a hidden file's leading dot.
QString extensionOf(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.mid(dot) : QString();
}

bool hasLoneSurrogate(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

// The text a name gets for an empty field.
QString unknown(std::size_t field)
{
    return QStringLiteral("Unknown ") + QLatin1String(quillet::knownFields[field].label);
}

bool isNumber(std::size_t field)
{
    return quillet::knownFields[field].kind != quillet::FieldKind::Text;
}

QLatin1String placeholderOf(std::size_t field)
{
    return QLatin1String(quillet::knownFields[field].placeholder);
}

bool onlyDigits(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

} // namespace

bool NamePattern::parse(const QString &text, QString *error)
{
    m_parts.clear();
    m_folders = text.count(QLatin1Char('/'));
    QString literal;
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype end = i + 1;
        while (text[i] == QLatin1Char('%') && end < text.size() && isPlaceholderChar(text[end]))
            ++end;
        if (text[i] != QLatin1Char('%') || end == i + 1 || end == text.size()
            || text[end] != QLatin1Char('%')) {
            literal += text[i];
            continue;
        }
        if (!literal.isEmpty())
            m_parts.append({literal, std::nullopt, 0});
        literal.clear();
        if (!addPlaceholder(text.mid(i + 1, end - i - 1))) {
            *error = QStringLiteral("unknown placeholder %1").arg(text.mid(i, end - i + 1));
            m_parts.clear();
            return false;
        }
        i = end;
    }
    if (!literal.isEmpty())
        m_parts.append({literal, std::nullopt, 0});
    const QStringList names = text.split(QLatin1Char('/'));
    if (text.isEmpty() || names.contains(QString())) {
        *error = text.isEmpty() ? QStringLiteral("the pattern is empty")
                                : QStringLiteral("the pattern has an empty folder or file name");
        m_parts.clear();
        return false;
    }
    buildExpression();
    return true;
}

bool NamePattern::addPlaceholder(const QString &name)
{
    const QStringList pieces = name.split(QLatin1Char(':'));
    int width = 0;
    if (pieces.size() > 2)
        return false;
    if (pieces.size() == 2) {
        bool ok = false;
        width = pieces[1].toInt(&ok);
        if (!ok || width < 1 || width > widestPadding)
            return false;
    }
    for (std::size_t i = 0; i < patternFieldCount; ++i) {
        if (pieces[0] == placeholderOf(i) && (width == 0 || isNumber(i))) {
            m_parts.append({QString(), i, width});
            return true;
        }
    }
    return false;
}

bool NamePattern::names(std::size_t field) const
{
    return std::any_of(m_parts.cbegin(), m_parts.cend(),
                       [field](const Part &part) { return part.field == field; });
}

QString NamePattern::fill(const Part &part, const FieldTexts &values) const
{
    if (!part.field)
        return part.literal;
    QString value = values[*part.field];
    // A lone surrogate (a broken tag) is no character: as a name it would become a stray byte,
    // or spoil the bytes of the whole path.
    for (qsizetype i = 0; i < value.size(); i += charLength(value, i)) {
        if (isForbidden(value[i]) || (charLength(value, i) == 1 && value[i].isSurrogate()))
            value[i] = QLatin1Char('_');
    }
    value = trimmedName(value);
    if (value.isEmpty())
        return unknown(*part.field);
    if (part.width > 0 && onlyDigits(value))
        return value.rightJustified(part.width, QLatin1Char('0'));
    return value;
}

QString NamePattern::pathFor(const QString &path, const FieldTexts &values, QString *error,
                             const QString &base) const
{
    QString filled;
    for (const Part &part : m_parts)
        filled += fill(part, values);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString extension = extensionOf(path.mid(slash + 1));
    QStringList names = filled.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < names.size(); ++i) {
        const bool last = i + 1 == names.size();
        names[i] = cutTo(trimmedName(names[i]),
                         last ? nameMax - nativeName(extension).size() : nameMax);
        if (names[i].isEmpty()) {
            *error = QStringLiteral("the new name would be empty");
            return QString();
        }
    }
    QString folder = base;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    if (folder.isEmpty())
        folder = path.left(slash + 1);
    else if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const QString to = folder + names.join(QLatin1Char('/')) + extension;
    // However the folder was spelt: "./d/x.mp3" is at "d/x.mp3".
    const auto key = [](const QString &name) {
        return QDir::cleanPath(QDir::current().absoluteFilePath(name));
    };
    return key(to) == key(path) ? path : to;
}

void NamePattern::buildExpression()
{
    QString expression;
    std::array<int, patternFieldCount> groups {};
    int count = 0;
    for (const Part &part : std::as_const(m_parts)) {
        if (!part.field) {
            expression += QRegularExpression::escape(part.literal);
        } else if (groups[*part.field] != 0) {
            // A field named twice must read the same both times.
            expression += QStringLiteral("\\g{%1}").arg(groups[*part.field]);
        } else {
            groups[*part.field] = ++count;
            // A number's part is digits, or the text a name gets where the field is empty.
            expression += isNumber(*part.field)
                    ? QStringLiteral("([0-9]+|%1)")
                              .arg(QRegularExpression::escape(unknown(*part.field)))
                    : QStringLiteral("([^/]+?)");
        }
    }
    m_expression.setPattern(QRegularExpression::anchoredPattern(expression));
    // Compiled here, once, not by the first of the threads that match names at once.
    m_expression.optimize();
}

std::optional<QList<FieldValue>> NamePattern::fieldsFrom(const QString &path, QString *error) const
{
    const QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    QStringList names = absolute.split(QLatin1Char('/'));
    names = names.mid(qMax<qsizetype>(0, names.size() - m_folders - 1));
    QString &last = names.last();
    last.chop(extensionOf(last).size());
    const QString subject = names.join(QLatin1Char('/'));
    if (hasLoneSurrogate(subject)) {
        *error = QStringLiteral("the name holds bytes that are not UTF-8");
        return std::nullopt;
    }
    const QRegularExpressionMatch match = m_expression.match(subject);
    if (!match.hasMatch()) {
        *error = QStringLiteral("the name does not match the pattern");
        return std::nullopt;
    }
    QList<FieldValue> values;
    int group = 0;
    std::array<bool, patternFieldCount> seen {};
    for (const Part &part : m_parts) {
        if (!part.field || seen[*part.field])
            continue;
        seen[*part.field] = true;
        QString text = match.captured(++group).trimmed();
        if (text.isEmpty() || text == unknown(*part.field))
            continue;
        if (isNumber(*part.field)) {
            const std::optional<QString> number = wholeNumber(text);
            if (!number) {
                *error = QStringLiteral("%1 is larger than 2147483647")
                                 .arg(placeholderOf(*part.field));
                return std::nullopt;
            }
            // 0 is what a name shows for no number ("00" for %track:2%), never a number given.
            if (*number == QLatin1String("0"))
                continue;
            text = *number;
        }
        values.append({*part.field, text});
    }
    return values;
}
