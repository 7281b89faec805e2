#include "backgroundbatch.h"

#include <QtConcurrent/QtConcurrentRun>

#include <mutex>

// Between the GUI thread that cancels and the worker whose runner is running.
struct BackgroundBatch::Control
{
    std::mutex mutex;
    BatchRunner *runner = nullptr;
    bool cancelled = false;
};

namespace {

// How long the worker waits for a run of indices before it reports what it has.
constexpr std::chrono::milliseconds reportTick(50);

} // namespace

BackgroundBatch::BackgroundBatch(QObject *parent)
    : QObject(parent)
{ }

BackgroundBatch::~BackgroundBatch()
{
    cancel();
    // The worker posts to this object, so it must be done before the object goes.
    m_future.waitForFinished();
}

void BackgroundBatch::start(const Prepare &prepare, const BatchRunner::Work &work, int jobs)
{
    cancel();
    m_future.waitForFinished();
    const quint64 task = ++m_task;
    auto control = std::make_shared<Control>();
    m_control = control;
    m_running = true;
    m_future = QtConcurrent::run([this, task, control, prepare, work, jobs] {
        const qsizetype count = prepare();
        post(task, [this, count] { emit counted(count); });
        BatchRunner runner(count, jobs);
        {
            const std::lock_guard<std::mutex> lock(control->mutex);
            if (control->cancelled)
                runner.cancel();
            control->runner = &runner;
        }
        const qsizetype done = runner.run(
                work,
                [this, task](qsizetype from, qsizetype to) {
                    if (to > from)
                        post(task, [this, from, to] { emit delivered(from, to); });
                },
                reportTick);
        {
            const std::lock_guard<std::mutex> lock(control->mutex);
            control->runner = nullptr;
        }
        post(task, [this, done] {
            m_running = false;
            emit finished(done);
        });
    });
}

void BackgroundBatch::cancel()
{
    if (!m_control)
        return;
    const std::lock_guard<std::mutex> lock(m_control->mutex);
    m_control->cancelled = true;
    if (m_control->runner)
        m_control->runner->cancel();
}

void BackgroundBatch::abandon()
{
    cancel();
    ++m_task;
    m_running = false;
}

void BackgroundBatch::post(quint64 task, const std::function<void()> &report)
{
    QMetaObject::invokeMethod(
            this,
            [this, task, report] {
                if (task == m_task)
                    report();
            },
            Qt::QueuedConnection);
}
