// album_bench read FOLDER | album_bench save FOLDER COUNT ALBUM | album_bench steps FOLDER
// The window's list over a folder of audio files, offscreen: read, the time until the first rows
// and until every row is in the list; save, the time to write ALBUM into the first COUNT files
// (read first, untimed) and read them back. Both print the longest gap between two ticks of a
// 10 ms timer on the GUI thread meanwhile, and the process's peak resident memory.
// bench/album.sh makes the files and runs it against the quillet command. steps: the window's
// part of what session_bench measures of the session alone: reading, sorting by the track,
// selecting every row, typing into the form's album for all of them, undo, and the save, each
// with its longest timer gap (the form's refresh after each step included).
#include "filelistpanel.h"
#include "mainwindow.h"
#include "tagsession.h"
#include "textfinder.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <functional>

#include <sys/resource.h>

namespace {

// The longest wait between two ticks of a timer that asks for one every 10 ms.
class GapMeter
{
public:
    GapMeter()
    {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 gap = clock.restart();
            if (gap > longest) {
                longest = gap;
                longestEnd = sinceStart.elapsed();
            }
        });
    }
    void start()
    {
        longest = 0;
        clock.start();
        sinceStart.start();
        timer.start(10);
    }
    qint64 longest = 0;
    qint64 longestEnd = 0; // when it ended, from start()

private:
    QTimer timer;
    QElapsedTimer clock;
    QElapsedTimer sinceStart;
};

// Runs the event loop until the list has read or saved everything.
void waitForList(FileListPanel *list)
{
    QEventLoop loop;
    QObject::connect(list, &FileListPanel::busyChanged, &loop, [&loop](bool busy) {
        if (!busy)
            loop.quit();
    });
    if (list->isBusy())
        loop.exec();
}

void settle()
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
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
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool save = args.value(1) == QLatin1String("save");
    const bool steps = args.value(1) == QLatin1String("steps");
    if (args.size() < 3 || (save && args.size() < 5)) {
        std::fputs("usage: album_bench read FOLDER | album_bench save FOLDER COUNT ALBUM\n",
                   stderr);
        return 2;
    }
    // Nothing listens there: the feeds fail at once.
    MainWindow window(nullptr, QUrl(QStringLiteral("http://127.0.0.1:1/e/get-ad.php")));
    window.show();
    // As a user finds it: shown and painted, before anything is opened.
    settle();
    auto *editor = qobject_cast<TextFinder *>(window.centralWidget());
    FileListPanel *list = editor->fileListPanel();
    TagSession *model = list->model();
    GapMeter gaps;
    QElapsedTimer clock;
    qint64 first = -1;

    if (steps) {
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
        // Each step, then the form's refresh and whatever it reads in the background.
        const auto measure = [&gaps](const char *name, const std::function<void()> &step) {
            gaps.start();
            step();
            settle();
            std::printf("%s_gap_ms %lld\n", name, gaps.longest);
        };
        QObject::connect(model, &QAbstractItemModel::rowsInserted, [&] {
            if (first < 0)
                first = clock.elapsed();
        });
        gaps.start();
        clock.start();
        editor->openFiles({args.at(2)});
        waitForList(list);
        std::printf("rows %d first_ms %lld all_ms %lld read_gap_ms %lld\n", model->rowCount(),
                    first, clock.elapsed(), gaps.longest);
        measure("sort", [&] {
            list->view()->sortByColumn(model->columnOf(QStringLiteral("TRACKNUMBER")),
                                       Qt::AscendingOrder);
        });
        measure("select", [&] { list->selectAll(); });
        auto *album = editor->findChild<QLineEdit *>(QStringLiteral("lineEdit_album"));
        measure("type", [&] {
            for (const QString &text : {QStringLiteral("N"), QStringLiteral("Ne")}) {
                album->setText(text);
                emit album->textEdited(text);
            }
        });
        measure("undo",
                [&] { window.findChild<QAction *>(QStringLiteral("actionUndo"))->trigger(); });
        album->setText(QStringLiteral("Saved"));
        emit album->textEdited(QStringLiteral("Saved"));
        clock.start();
        measure("save", [&] {
            editor->findChild<QPushButton *>(QStringLiteral("saveButton"))->click();
            waitForList(list);
        });
        std::printf("save_ms %lld ok %d peak_rss_mb %ld\n", clock.elapsed(),
                    model->anyModified() ? 0 : 1, peakMegabytes());
        return 0;
    }

    if (!save) {
        QObject::connect(model, &QAbstractItemModel::rowsInserted, [&] {
            if (first < 0)
                first = clock.elapsed();
        });
        gaps.start();
        clock.start();
        editor->openFiles({args.at(2)});
        waitForList(list);
        std::printf("rows %d first_ms %lld all_ms %lld max_gap_ms %lld gap_end_ms %lld "
                    "peak_rss_mb %ld\n",
                    model->rowCount(), first, clock.elapsed(), gaps.longest, gaps.longestEnd,
                    peakMegabytes());
        return 0;
    }

    editor->openFiles({args.at(2)});
    waitForList(list);
    settle();
    const int count = std::min(args.at(3).toInt(), model->rowCount());
    QList<RowId> rows;
    for (int row = 0; row < count; ++row)
        rows << model->idAt(row);
    const QString albumKey = QStringLiteral("ALBUM");
    model->setText(rows, albumKey, args.at(4));
    gaps.start();
    clock.start();
    list->save(model->modifiedIds());
    waitForList(list);
    const qint64 saved = clock.elapsed();
    const bool allSaved
            = !model->anyModified() && model->text(model->idAt(0), albumKey) == args.at(4);
    std::printf("saved %d all_ms %lld max_gap_ms %lld gap_end_ms %lld ok %d peak_rss_mb %ld\n",
                count, saved, gaps.longest, gaps.longestEnd, allSaved ? 1 : 0, peakMegabytes());
    return allSaved ? 0 : 1;
}
