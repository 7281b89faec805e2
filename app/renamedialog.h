// "Rename files from tags…": every file renamed by a pattern of its fields, never over another.
#ifndef RENAMEDIALOG_H
#define RENAMEDIALOG_H

#include "filerenamer.h"
#include "patterndialog.h"
#include "renameplan.h"

class RenameDialog : public PatternDialog
{
    Q_OBJECT

public:
    // files: each file's path and its fields as the window shows them, unsaved edits included.
    explicit RenameDialog(const QList<FileFields> &files, QWidget *parent = nullptr);

    // After OK: the files renamed, for the window's rows and for undoRename.
    QList<RenameDone> renamed() const { return m_renamed; }
    // After OK: "FILE: reason" for each file that could not be renamed then.
    QStringList failures() const { return m_failures; }
    // OK then renames nothing: planned() holds the renames for the window to make (and undo).
    void setPlanOnly(bool planOnly) { m_planOnly = planOnly; }
    QList<RenameRow> planned() const { return m_planned; }

protected:
    int preview(const NamePattern &pattern) override;
    void apply(const NamePattern &pattern) override;

private:
    QList<RenameRow> m_rows;
    QList<RenameDone> m_renamed;
    QStringList m_failures;
    QList<RenameRow> m_planned;
    bool m_planOnly = false;
};

#endif // RENAMEDIALOG_H
