#include "batchrunner.h"

#include <QThreadPool>

#include <algorithm>

namespace {

// The caller is woken for a run of indices, not for each: one wake-up per file would cost as
// much as reading a small file.
constexpr qsizetype wakingRun = 32;

} // namespace

BatchRunner::BatchRunner(qsizetype count, int jobs)
    : m_count(std::max<qsizetype>(count, 0))
    , m_jobs(std::max(jobs, 1))
    , m_done(static_cast<std::size_t>(m_count), false)
{ }

qsizetype BatchRunner::run(const Work &work, const Deliver &deliver, std::chrono::milliseconds tick)
{
    // Each worker takes the next index not yet taken, so few results wait for an earlier one.
    QThreadPool pool;
    const int workers = static_cast<int>(std::min<qsizetype>(m_jobs, m_count));
    pool.setMaxThreadCount(std::max(workers, 1));
    for (int w = 0; w < workers; ++w) {
        pool.start([this, &work] {
            for (qsizetype i = take(); i >= 0; i = take()) {
                work(i);
                finish(i);
            }
        });
    }

    qsizetype handed = 0;
    for (bool end = m_count == 0; !end;) {
        const qsizetype to = waitFrom(handed, tick, &end);
        deliver(handed, to);
        handed = to;
    }
    pool.waitForDone();
    return handed;
}

void BatchRunner::cancel()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_cancelled = true;
    }
    m_woken.notify_one();
}

qsizetype BatchRunner::take()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_cancelled || m_next == m_count ? -1 : m_next++;
}

void BatchRunner::finish(qsizetype index)
{
    bool wake = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_done[static_cast<std::size_t>(index)] = true;
        wake = enoughDone();
    }
    if (wake)
        m_woken.notify_one();
}

qsizetype BatchRunner::waitFrom(qsizetype first, std::chrono::milliseconds tick, bool *end)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_first = first;
    m_woken.wait_for(lock, tick, [this] { return enoughDone(); });
    const qsizetype to = doneFrom(first, m_count);
    // Once cancelled, no index is begun: what has begun is all there will be.
    *end = to == m_count || (m_cancelled && to == m_next);
    return to;
}

qsizetype BatchRunner::doneFrom(qsizetype first, qsizetype most) const
{
    const qsizetype end = std::min(m_count, first + most);
    qsizetype i = first;
    while (i < end && m_done[static_cast<std::size_t>(i)])
        ++i;
    return i;
}

bool BatchRunner::enoughDone() const
{
    // Each worker asks after every index: looking past a run would cost it time for nothing.
    const qsizetype to = doneFrom(m_first, wakingRun);
    return to - m_first == wakingRun || to == m_count || (m_cancelled && to == m_next);
}
