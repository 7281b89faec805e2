#include "batch.h"

#include "console.h"

#include <QElapsedTimer>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

namespace {

// Progress appears only after this long, and is redrawn at most this often.
constexpr qint64 progressDelayMs = 1000;
constexpr auto progressInterval = std::chrono::milliseconds(200);

// Outcomes handed from the workers to the thread that writes them. The writer is woken for a
// run of outcomes, not for each: one wake-up per file would cost as much as reading a small file.
class Outcomes
{
public:
    explicit Outcomes(std::size_t count)
        : m_slots(count)
    { }

    void put(std::size_t index, FileOutcome outcome)
    {
        bool wake = false;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_slots[index] = std::move(outcome);
            wake = enoughReady();
        }
        if (wake)
            m_ready.notify_one();
    }

    // The outcomes from index on that are there without a gap, once a run of them is there or
    // after timeout, whichever comes first.
    std::vector<FileOutcome> takeFrom(std::size_t index, std::chrono::milliseconds timeout)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_first = index;
        m_ready.wait_for(lock, timeout, [this] { return enoughReady(); });
        std::vector<FileOutcome> taken;
        for (std::size_t i = index; i < m_slots.size() && m_slots[i]; ++i) {
            taken.push_back(std::move(*m_slots[i]));
            m_slots[i].reset();
        }
        return taken;
    }

private:
    static constexpr std::size_t run = 32;

    // A run of outcomes from the first one not written, or all that are left.
    bool enoughReady() const
    {
        std::size_t i = m_first;
        while (i < m_slots.size() && i - m_first < run && m_slots[i])
            ++i;
        return i - m_first == run || i == m_slots.size();
    }

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::vector<std::optional<FileOutcome>> m_slots;
    std::size_t m_first = 0;
};

QString progressLine(std::size_t done, std::size_t total, qint64 elapsedMs)
{
    const double rate = elapsedMs > 0 ? double(done) * 1000.0 / double(elapsedMs) : 0.0;
    return QStringLiteral("%1/%2 files, %3 files/s").arg(done).arg(total).arg(rate, 0, 'f', 0);
}

} // namespace

bool runBatch(const QList<FileItem> &files, int jobs,
              const std::function<FileOutcome(const QString &path)> &work, Console &console)
{
    const auto total = static_cast<std::size_t>(files.size());
    Outcomes outcomes(total);
    std::atomic<std::size_t> next {0};

    // Each worker takes the next file not yet taken, so the files are done roughly in order
    // and few outcomes wait for an earlier one.
    QThreadPool pool;
    const int workers = static_cast<int>(std::min<std::size_t>(std::max(jobs, 1), total));
    pool.setMaxThreadCount(std::max(workers, 1));
    for (int w = 0; w < workers; ++w) {
        pool.start([&] {
            for (std::size_t i = next++; i < total; i = next++) {
                const FileItem &item = files[static_cast<qsizetype>(i)];
                outcomes.put(i,
                             item.error.isEmpty() ? work(item.path)
                                                  : FileOutcome {QByteArray(), item.error});
            }
        });
    }

    QElapsedTimer clock;
    clock.start();
    qint64 lastProgressMs = 0;
    bool allSucceeded = true;
    bool outputFailed = false;
    std::size_t written = 0;
    while (written < total) {
        for (FileOutcome &outcome : outcomes.takeFrom(written, progressInterval)) {
            const QString &path = files[static_cast<qsizetype>(written)].path;
            console.out(outcome.output);
            if (!outcome.error.isEmpty()) {
                console.error(path + QStringLiteral(": ") + outcome.error);
                allSucceeded = false;
            }
            ++written;
        }
        if (!console.flush() && !outputFailed) {
            console.error(QStringLiteral("quillet: standard output could not be written"));
            outputFailed = true;
            allSucceeded = false;
        }
        const qint64 now = clock.elapsed();
        if (written < total && now > progressDelayMs
            && now - lastProgressMs >= progressInterval.count()) {
            console.progress(progressLine(written, total, now));
            lastProgressMs = now;
        }
    }
    pool.waitForDone();
    console.clearProgress();
    return allSucceeded;
}
