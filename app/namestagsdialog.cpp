#include "namestagsdialog.h"

NamesTagsDialog::NamesTagsDialog(const QList<FileFields> &files, QWidget *parent)
    : PatternDialog(files, QStringLiteral("names/fromNamePattern"),
                    QStringLiteral("%track% - %artist% - %title%"), QStringLiteral("New fields"),
                    parent)
{
    setWindowTitle(QStringLiteral("Tags from file names"));
    start();
}

QList<FieldValue> NamesTagsDialog::changed(const NamePattern &pattern, qsizetype index,
                                           QString *error) const
{
    const FileFields &file = files()[index];
    QList<FieldValue> values = pattern.fieldsFrom(file.path, error).value_or(QList<FieldValue>());
    values.removeIf(
            [&file](const FieldValue &value) { return file.texts[value.field] == value.text; });
    return values;
}

int NamesTagsDialog::preview(const NamePattern &pattern)
{
    int changes = 0;
    for (qsizetype row = 0; row < files().size(); ++row) {
        QString error;
        QStringList shown;
        for (const FieldValue &value : changed(pattern, row, &error))
            shown += QStringLiteral("%1: %2").arg(QLatin1String(tagFields[value.field].label),
                                                  value.text);
        if (shown.isEmpty() && error.isEmpty())
            shown += QStringLiteral("nothing to change");
        else if (error.isEmpty())
            ++changes;
        setRow(static_cast<int>(row), shown.join(QStringLiteral("; ")), error);
    }
    return changes;
}

void NamesTagsDialog::apply(const NamePattern &pattern)
{
    m_changes.clear();
    for (qsizetype i = 0; i < files().size(); ++i) {
        QString error;
        const QList<FieldValue> values = changed(pattern, i, &error);
        if (!values.isEmpty())
            m_changes += {files()[i].path, values};
    }
}
