#include "batch.h"

#include "batchrunner.h"
#include "console.h"

#include <QElapsedTimer>

#include <chrono>
#include <utility>
#include <vector>

namespace {

// Progress appears only after this long, and is redrawn at most this often.
constexpr qint64 progressDelayMs = 1000;
constexpr auto progressInterval = std::chrono::milliseconds(200);

QString progressLine(qsizetype done, qsizetype total, qint64 elapsedMs)
{
    const double rate = elapsedMs > 0 ? double(done) * 1000.0 / double(elapsedMs) : 0.0;
    return QStringLiteral("%1/%2 files, %3 files/s").arg(done).arg(total).arg(rate, 0, 'f', 0);
}

} // namespace

bool runBatch(const QList<FileItem> &files, int jobs,
              const std::function<FileOutcome(const QString &path)> &work, Console &console)
{
    return runBatch(
            files, jobs, [&](qsizetype i) { return work(files[i].path); }, {}, console);
}

bool runBatch(const QList<FileItem> &files, int jobs,
              const std::function<FileOutcome(qsizetype index)> &work,
              const std::function<bool(qsizetype index)> &delivered, Console &console)
{
    std::vector<FileOutcome> outcomes(static_cast<std::size_t>(files.size()));
    const auto workOn = [&](qsizetype i) {
        const FileItem &item = files[i];
        outcomes[static_cast<std::size_t>(i)]
                = item.error.isEmpty() ? work(i) : FileOutcome {QByteArray(), item.error};
    };

    QElapsedTimer clock;
    clock.start();
    qint64 lastProgressMs = 0;
    bool allSucceeded = true;
    bool outputFailed = false;
    const auto write = [&](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i) {
            FileOutcome outcome = std::move(outcomes[static_cast<std::size_t>(i)]);
            console.out(outcome.output);
            if (!outcome.error.isEmpty()) {
                console.error(files[i].path + QStringLiteral(": ") + outcome.error);
                allSucceeded = false;
            }
            if (delivered && !delivered(i))
                allSucceeded = false;
        }
        if (!console.flush() && !outputFailed) {
            console.error(QStringLiteral("quillet: standard output could not be written"));
            outputFailed = true;
            allSucceeded = false;
        }
        const qint64 now = clock.elapsed();
        if (to < files.size() && now > progressDelayMs
            && now - lastProgressMs >= progressInterval.count()) {
            console.progress(progressLine(to, files.size(), now));
            lastProgressMs = now;
        }
    };
    BatchRunner(files.size(), jobs).run(workOn, write, progressInterval);
    console.clearProgress();
    return allSucceeded;
}
