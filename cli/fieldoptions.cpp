#include "fieldoptions.h"

#include "wholenumber.h"

#include <QCommandLineParser>

namespace {

using quillet::FieldKind;
using quillet::KnownField;
using quillet::knownFields;

const QString tagOption = QStringLiteral("tag");
const QString removeTagOption = QStringLiteral("remove-tag");

const KnownField *rowOf(const QString &key)
{
    for (const KnownField &field : knownFields) {
        if (key.compare(QLatin1String(field.key.data(), qsizetype(field.key.size())),
                        Qt::CaseInsensitive)
            == 0)
            return &field;
    }
    return nullptr;
}

QString keyOf(const KnownField &field)
{
    return QString::fromLatin1(field.key.data(), qsizetype(field.key.size()));
}

QString helpOf(const KnownField &field)
{
    const QString sets = QStringLiteral("%1 (%2).").arg(QLatin1String(field.label), keyOf(field));
    switch (field.kind) {
    case FieldKind::Number:
        return sets + QStringLiteral(" A whole number; 0 removes it.");
    case FieldKind::NumberWithTotal:
        return sets
                + QStringLiteral(" N, N/M (number and total) or /M; N alone keeps the total, 0 "
                                 "removes it.");
    case FieldKind::Text:
        break;
    }
    return sets + QStringLiteral(" Empty removes it.");
}

// "3/12" as its number and total, each as a whole number where it is one; "" where missing.
std::pair<QString, QString> numberAndTotal(const QString &text)
{
    const auto normal = [](const QString &part) {
        return part.isEmpty() ? part : wholeNumber(part).value_or(part);
    };
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return {normal(text.trimmed()), QString()};
    return {normal(text.left(slash).trimmed()), normal(text.mid(slash + 1).trimmed())};
}

QString withTotal(const QString &number, const QString &total)
{
    const QString n = number == QLatin1String("0") ? QString() : number;
    if (total.isEmpty() || total == QLatin1String("0"))
        return n;
    return n + QLatin1Char('/') + total;
}

// An option's value as the change it asks; nothing where it is not one.
std::optional<KeyChange> optionChange(const KnownField &field, const QString &value)
{
    KeyChange change {keyOf(field), {value}, field.kind != FieldKind::Text};
    switch (field.kind) {
    case FieldKind::Text:
        if (value.isEmpty())
            change.values.clear();
        return change;
    case FieldKind::Number: {
        const std::optional<QString> number = wholeNumber(value);
        if (!number)
            return std::nullopt;
        change.values = QStringList {*number};
        return change;
    }
    case FieldKind::NumberWithTotal: {
        const qsizetype slash = value.indexOf(QLatin1Char('/'));
        const QString n = slash < 0 ? value : value.left(slash);
        const QString total = slash < 0 ? QString() : value.mid(slash + 1);
        const std::optional<QString> number = wholeNumber(n);
        const std::optional<QString> count = wholeNumber(total);
        if ((!number && !(slash >= 0 && n.isEmpty())) || (slash >= 0 && !count))
            return std::nullopt;
        change.values = QStringList {(number ? *number : QString())
                                     + (slash >= 0 ? QLatin1Char('/') + *count : QString())};
        return change;
    }
    }
    return std::nullopt;
}

} // namespace

namespace fieldoptions {

void add(QCommandLineParser &parser)
{
    for (const KnownField &field : knownFields) {
        const QString option = QLatin1String(field.option);
        parser.addOption(
                QCommandLineOption(option, helpOf(field),
                                   field.kind == FieldKind::NumberWithTotal  ? QStringLiteral("N/M")
                                           : field.kind == FieldKind::Number ? QStringLiteral("N")
                                                                             : option.toUpper()));
    }
    parser.addOption(QCommandLineOption(
            tagOption,
            QStringLiteral("Sets the field KEY (TagLib's name, any letter case) to VALUE; given "
                           "again for the same key, the values are kept in the order given."),
            QStringLiteral("KEY=VALUE")));
    parser.addOption(QCommandLineOption(removeTagOption, QStringLiteral("Removes the field KEY."),
                                        QStringLiteral("KEY")));
}

std::optional<QList<KeyChange>> changes(const QCommandLineParser &parser, QString *error)
{
    QList<KeyChange> list;
    QStringList setBy; // what set each key of list, for the message of a conflict
    const auto indexOf = [&list](const QString &key) {
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (list[i].key == key)
                return i;
        }
        return qsizetype(-1);
    };
    for (const KnownField &field : knownFields) {
        const QString option = QLatin1String(field.option);
        if (!parser.isSet(option))
            continue;
        const std::optional<KeyChange> change = optionChange(field, parser.value(option));
        if (!change) {
            *error = field.kind == FieldKind::NumberWithTotal
                    ? QStringLiteral("--%1 takes N, N/M or /M (whole numbers)").arg(option)
                    : QStringLiteral("--%1 takes a whole number").arg(option);
            return std::nullopt;
        }
        list.append(*change);
        setBy.append(QStringLiteral("--") + option);
    }
    for (const QString &pair : parser.values(tagOption)) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        const QString key = pair.left(equals).trimmed().toUpper();
        if (equals <= 0 || key.isEmpty()) {
            *error = QStringLiteral("--tag takes KEY=VALUE, not '%1'").arg(pair);
            return std::nullopt;
        }
        const qsizetype at = indexOf(key);
        if (at >= 0 && setBy[at] != tagOption) {
            *error = QStringLiteral("%1 and --tag both set %2").arg(setBy[at], key);
            return std::nullopt;
        }
        if (at >= 0) {
            list[at].values.append(pair.mid(equals + 1));
        } else {
            list.append({key, {pair.mid(equals + 1)}, false});
            setBy.append(tagOption);
        }
    }
    for (const QString &name : parser.values(removeTagOption)) {
        const QString key = name.trimmed().toUpper();
        if (key.isEmpty()) {
            *error = QStringLiteral("--remove-tag takes a key");
            return std::nullopt;
        }
        const qsizetype at = indexOf(key);
        if (at >= 0 && setBy[at] != removeTagOption) {
            *error = QStringLiteral("%1 and --remove-tag both name %2").arg(setBy[at], key);
            return std::nullopt;
        }
        if (at < 0) {
            list.append({key, {}, false});
            setBy.append(removeTagOption);
        }
    }
    return list;
}

QString optionOf(const QString &key)
{
    const KnownField *field = rowOf(key);
    return field ? QLatin1String(field->option) : QString();
}

KeyChange fromName(std::size_t field, const QString &text)
{
    const KnownField &row = knownFields[field];
    return {keyOf(row), {text}, row.kind != FieldKind::Text};
}

std::optional<ResolvedChange> resolve(const TagRecord &record, const KeyChange &change)
{
    const KnownField *field = rowOf(change.key);
    const QStringList old = record.values(change.key);
    ResolvedChange resolved;
    resolved.name = field ? QLatin1String(field->option) : change.key;
    resolved.before = old.join(QStringLiteral("; "));
    QStringList values = change.values;
    if (change.number && field && !values.isEmpty()) {
        const QString value = values.value(0);
        if (field->kind == FieldKind::NumberWithTotal) {
            const auto [oldNumber, oldTotal] = numberAndTotal(old.value(0));
            const qsizetype slash = value.indexOf(QLatin1Char('/'));
            const QString number = slash == 0 ? oldNumber : value.left(slash);
            const QString total = slash < 0 ? oldTotal : value.mid(slash + 1);
            const QString now = value == QLatin1String("0") ? QString() : withTotal(number, total);
            if (now == withTotal(oldNumber, oldTotal))
                return std::nullopt;
            values = now.isEmpty() ? QStringList() : QStringList {now};
        } else {
            // The seven's numbers read as whole numbers ("2024" of "2024-05-01"), as always.
            const QString before = field->form >= 0
                    ? record.text(tagFields[std::size_t(field->form)])
                    : wholeNumber(old.value(0)).value_or(old.value(0));
            const bool none = before.isEmpty() || before == QLatin1String("0");
            if (before == value || (value == QLatin1String("0") && none))
                return std::nullopt;
            if (value == QLatin1String("0"))
                values.clear();
        }
    } else if (values == QStringList {QString()}) {
        values.clear();
    }
    if (values == old)
        return std::nullopt;
    resolved.after = values.join(QStringLiteral("; "));
    resolved.values = values;
    return resolved;
}

FieldTexts patternTexts(const TagRecord &record)
{
    FieldTexts texts;
    for (std::size_t i = 0; i < patternFieldCount; ++i) {
        const KnownField &field = knownFields[i];
        if (field.form >= 0) {
            texts[i] = record.text(tagFields[std::size_t(field.form)]);
            continue;
        }
        const QStringList values = record.values(keyOf(field));
        texts[i] = field.kind == FieldKind::Text  ? values.join(QStringLiteral("; "))
                : field.kind == FieldKind::Number ? values.value(0)
                                                  : numberAndTotal(values.value(0)).first;
    }
    return texts;
}

QString placeholders()
{
    QStringList names;
    for (const KnownField &field : knownFields)
        names.append(QLatin1Char('%') + QLatin1String(field.placeholder) + QLatin1Char('%'));
    return names.join(QLatin1Char(' '));
}

} // namespace fieldoptions
