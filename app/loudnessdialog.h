// Progress of the loudness of a selection, with Cancel.
#ifndef LOUDNESSDIALOG_H
#define LOUDNESSDIALOG_H

#include "loudnessjob.h"

#include <QProgressDialog>

// Shown while its job measures the files; closes when they are done or cancelled. The values
// come with computed(), for the caller to put into its files as unsaved changes.
class LoudnessDialog : public QProgressDialog
{
    Q_OBJECT

public:
    explicit LoudnessDialog(QWidget *parent = nullptr);

    // Shows the dialog (window-modal) and measures the files; with album, as one album too.
    void start(const QStringList &paths, bool album);

signals:
    void computed(const LoudnessValues &values, const QStringList &failures);

private:
    LoudnessJob *m_job;
};

#endif // LOUDNESSDIALOG_H
