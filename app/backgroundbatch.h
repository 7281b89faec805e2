// Work on many files off the GUI thread, reported back to it in order, a run of files at a time.
#ifndef BACKGROUNDBATCH_H
#define BACKGROUNDBATCH_H

#include "batchrunner.h"

#include <QFuture>
#include <QObject>

#include <functional>
#include <memory>

// Runs one task at a time on a worker: prepare() says how many indices there are, then work(i)
// runs for each on up to jobs threads. delivered(from, to) comes on the GUI thread for each run
// of indices done in order, so the receiver may read what work stored for them; finished(done)
// comes last. What work and prepare use must stay alive while they run: give them shared data.
class BackgroundBatch : public QObject
{
    Q_OBJECT

public:
    using Prepare = std::function<qsizetype()>;

    explicit BackgroundBatch(QObject *parent = nullptr);
    // Cancels the task and waits for the indices running to end.
    ~BackgroundBatch() override;

    // Cancels a task still running; nothing more of it is reported.
    void start(const Prepare &prepare, const BatchRunner::Work &work, int jobs);
    // No index is begun after this; those running finish and are still reported.
    void cancel();
    // As cancel(), and nothing more of the task is reported, finished() neither.
    void abandon();
    bool isRunning() const { return m_running; }

signals:
    void counted(qsizetype count);
    void delivered(qsizetype from, qsizetype to);
    void finished(qsizetype done);

private:
    struct Control;
    void post(quint64 task, const std::function<void()> &report);

    std::shared_ptr<Control> m_control;
    QFuture<void> m_future;
    quint64 m_task = 0; // the number of the newest task; reports of older ones are dropped
    bool m_running = false;
};

#endif // BACKGROUNDBATCH_H
