// What the two dialogs that work with name patterns share: a pattern field, a preview of what
// it does to every file, updated as it is typed, rows that would fail marked with the reason,
// and nothing done before OK. The last pattern used is remembered.
#ifndef PATTERNDIALOG_H
#define PATTERNDIALOG_H

#include "namepattern.h"

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QTableWidget;

class PatternDialog : public QDialog
{
    Q_OBJECT

public:
    QString pattern() const;

public slots:
    void accept() override;

protected:
    // settingsKey: where the last pattern is kept; column: the title of the preview's second
    // column.
    PatternDialog(const QList<FileFields> &files, const QString &settingsKey,
                  const QString &defaultPattern, const QString &column, QWidget *parent);

    // Shows what the pattern does to each file (setRow for every row); returns how many files
    // it would change.
    virtual int preview(const NamePattern &pattern) = 0;
    // Does it, after OK.
    virtual void apply(const NamePattern &pattern) = 0;

    const QList<FileFields> &files() const { return m_files; }
    void setRow(int row, const QString &text, const QString &failure = QString());
    // Starts the preview; called by the derived constructor once it can preview.
    void start();

private:
    void refresh();

    const QList<FileFields> m_files;
    const QString m_settingsKey;
    QLineEdit *m_pattern;
    QLabel *m_status;
    QTableWidget *m_table;
    QDialogButtonBox *m_buttons;
    NamePattern m_parsed;
};

#endif // PATTERNDIALOG_H
