// session_bench FOLDER
// The editing session over a folder of audio files, as the window drives it, without widgets:
// the time until the first rows and until every row is read, then sorting by a number column,
// typing a field into every row (two keys), undoing it, and saving a field into every row. Each
// step prints the longest gap between two ticks of a 10 ms timer on the GUI thread; last the
// process's peak resident memory. bench/session.sh makes the files and runs it against the
// quillet command.
#include "filewalk.h"
#include "sessionsortmodel.h"
#include "tagsession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QUndoStack>

#include <cstdio>

#include <sys/resource.h>

namespace {

// The longest wait between two ticks of a timer that asks for one every 10 ms.
class GapMeter
{
public:
    GapMeter()
    {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout,
                         [this] { longest = qMax(longest, clock.restart()); });
    }
    void start()
    {
        longest = 0;
        clock.start();
        timer.start(10);
    }
    // A step done on the GUI thread at once still counts as one gap.
    qint64 stop()
    {
        longest = qMax(longest, clock.elapsed());
        timer.stop();
        return longest;
    }

private:
    QTimer timer;
    QElapsedTimer clock;
    qint64 longest = 0;
};

template<typename Signal> void waitFor(TagSession *session, Signal signal)
{
    QEventLoop loop;
    QObject::connect(session, signal, &loop, &QEventLoop::quit);
    loop.exec();
}

long peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Each step's line as soon as it is measured, should a later step be stopped.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc < 2) {
        std::fputs("usage: session_bench FOLDER\n", stderr);
        return 2;
    }
    TagSession session;
    SessionSortModel sorted;
    sorted.setSortRole(TagSession::SortRole);
    sorted.setSourceModel(&session);
    GapMeter gaps;
    QElapsedTimer clock;
    qint64 first = -1;
    QObject::connect(&session, &QAbstractItemModel::rowsInserted, [&] {
        if (first < 0)
            first = clock.elapsed();
    });

    gaps.start();
    clock.start();
    QList<SessionFile> files;
    for (const FileItem &item : withoutRepeats(collectFiles({app.arguments().at(1)}))) {
        if (item.error.isEmpty())
            files.append({item.path, item.root});
    }
    session.open(files);
    waitFor(&session, &TagSession::readFinished);
    const qint64 all = clock.elapsed();
    std::printf("rows %d first_ms %lld all_ms %lld read_gap_ms %lld\n", session.rowCount(), first,
                all, gaps.stop());

    gaps.start();
    sorted.sort(session.columnOf(QStringLiteral("TRACKNUMBER")));
    std::printf("sort_gap_ms %lld\n", gaps.stop());

    const QList<RowId> ids = session.allIds();
    gaps.start();
    session.setText(ids, QStringLiteral("ALBUM"), QStringLiteral("N"));
    session.setText(ids, QStringLiteral("ALBUM"), QStringLiteral("Ne"));
    std::printf("type_gap_ms %lld\n", gaps.stop());
    gaps.start();
    session.undoStack()->undo();
    std::printf("undo_gap_ms %lld\n", gaps.stop());

    session.setText(ids, QStringLiteral("ALBUM"), QStringLiteral("Saved"));
    gaps.start();
    clock.start();
    session.saveModified();
    waitFor(&session, &TagSession::saveFinished);
    std::printf("save_ms %lld save_gap_ms %lld ok %d peak_rss_mb %ld\n", clock.elapsed(),
                gaps.stop(), session.anyModified() ? 0 : 1, peakMegabytes());
    return session.anyModified() ? 1 : 0;
}
