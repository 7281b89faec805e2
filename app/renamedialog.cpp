#include "renamedialog.h"

RenameDialog::RenameDialog(const QList<FileFields> &files, QWidget *parent)
    : PatternDialog(files, QStringLiteral("names/renamePattern"),
                    QStringLiteral("%track:2% - %artist% - %title%"), QStringLiteral("New name"),
                    parent)
{
    setWindowTitle(QStringLiteral("Rename files from tags"));
    start();
}

int RenameDialog::preview(const NamePattern &pattern)
{
    m_rows = planRenames(pattern, files());
    int changes = 0;
    for (int row = 0; row < m_rows.size(); ++row) {
        const RenameRow &planned = m_rows[row];
        // The new name below the file's own folder, as the pattern makes it.
        const QString shown = planned.to.mid(planned.from.lastIndexOf(QLatin1Char('/')) + 1);
        setRow(row, shown, planned.error);
        changes += planned.renames() ? 1 : 0;
    }
    return changes;
}

void RenameDialog::apply(const NamePattern &pattern)
{
    m_renamed.clear();
    m_failures.clear();
    m_planned.clear();
    // Planned again: files may have come or gone since the preview.
    for (const RenameRow &row : planRenames(pattern, files())) {
        if (m_planOnly) {
            if (!row.error.isEmpty())
                m_failures += row.from + QStringLiteral(": ") + row.error;
            else if (row.renames())
                m_planned += row;
            continue;
        }
        RenameDone done;
        const int error = row.renames() ? renameFile(row.from, row.to, &done) : 0;
        if (!row.error.isEmpty() || error != 0)
            m_failures += row.from + QStringLiteral(": ")
                    + (error != 0 ? renameFailure(error) : row.error);
        else if (row.renames())
            m_renamed += done;
    }
}
