// Work on many files at once whose results come out in the files' order.
#ifndef BATCHRUNNER_H
#define BATCHRUNNER_H

#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

// Runs work(i) for each index from 0 to count on up to jobs threads, each index once, roughly in
// order, and hands them to the thread that calls run() in order of index: deliver(from, to) gets
// the indices from from up to to that are done, each once it and every index before it is. An
// index still running holds back every later one, so the caller may read what work(i) stored
// for each index it is handed, and nothing else. Where nothing came for tick, deliver is called
// with no index (from == to), so that the caller can show its progress.
class BatchRunner
{
public:
    using Work = std::function<void(qsizetype index)>;
    using Deliver = std::function<void(qsizetype from, qsizetype to)>;

    BatchRunner(qsizetype count, int jobs);

    BatchRunner(const BatchRunner &) = delete;
    BatchRunner &operator=(const BatchRunner &) = delete;

    // Returns once every index begun is done and handed over: how many that is, count unless
    // cancelled.
    qsizetype run(const Work &work, const Deliver &deliver, std::chrono::milliseconds tick);
    // From any thread: no index is begun after this; those running finish and are handed over.
    void cancel();

private:
    qsizetype take();
    void finish(qsizetype index);
    // The end of the indices done without a gap from first on, once a run of them is there,
    // every one left is, or after tick; end is true when no more will come.
    qsizetype waitFrom(qsizetype first, std::chrono::milliseconds tick, bool *end);
    // The end of the indices done without a gap from first on, at most most of them.
    qsizetype doneFrom(qsizetype first, qsizetype most) const;
    bool enoughDone() const;

    const qsizetype m_count;
    const int m_jobs;
    std::mutex m_mutex;
    std::condition_variable m_woken;
    std::vector<bool> m_done;
    qsizetype m_next = 0; // the next index to begin
    qsizetype m_first = 0; // the first index not handed over
    bool m_cancelled = false;
};

#endif // BATCHRUNNER_H
