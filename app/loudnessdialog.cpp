#include "loudnessdialog.h"

LoudnessDialog::LoudnessDialog(QWidget *parent)
    : QProgressDialog(parent)
    , m_job(new LoudnessJob(this))
{
    setWindowTitle(tr("Compute loudness"));
    setWindowModality(Qt::WindowModal);
    setAutoReset(false);
    setAutoClose(false);
    // Short runs end before a dialog would be worth showing.
    setMinimumDuration(500);
    connect(this, &QProgressDialog::canceled, m_job, &LoudnessJob::cancel);
    connect(m_job, &LoudnessJob::progressed, this, [this](int done, int total) {
        setMaximum(total);
        setValue(done);
        setLabelText(tr("Measuring loudness: %1 of %2 files done").arg(done).arg(total));
    });
    connect(m_job, &LoudnessJob::finished, this,
            [this](const LoudnessValues &values, const QStringList &failures) {
                hide();
                // cancel() called as a slot stops no job: its results are dropped here instead.
                if (!wasCanceled())
                    emit computed(values, failures);
            });
    connect(m_job, &LoudnessJob::cancelled, this, &QWidget::hide);
}

void LoudnessDialog::start(const QStringList &paths, bool album)
{
    reset(); // a run cancelled before is over
    m_job->start(paths, album);
}
