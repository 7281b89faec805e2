// "Tags from file names…": fields read from each file's name by a pattern, for the window to
// set as unsaved edits.
#ifndef NAMESTAGSDIALOG_H
#define NAMESTAGSDIALOG_H

#include "patterndialog.h"

// One file's fields as its name gives them: only the fields the pattern names.
struct FieldsFromName
{
    QString path;
    QList<FieldValue> fields;
};

class NamesTagsDialog : public PatternDialog
{
    Q_OBJECT

public:
    // files: each file's path and its fields as the window shows them, unsaved edits included.
    explicit NamesTagsDialog(const QList<FileFields> &files, QWidget *parent = nullptr);

    // After OK: for each file whose name matched and whose fields change, the fields to set.
    QList<FieldsFromName> changes() const { return m_changes; }

protected:
    int preview(const NamePattern &pattern) override;
    void apply(const NamePattern &pattern) override;

private:
    // The fields of the file at index whose values differ from its own; the reason where its
    // name does not match.
    QList<FieldValue> changed(const NamePattern &pattern, qsizetype index, QString *error) const;

    QList<FieldsFromName> m_changes;
};

#endif // NAMESTAGSDIALOG_H
