// The loudness of a selection of files, measured off the GUI thread, as the tags that carry it.
#ifndef LOUDNESSJOB_H
#define LOUDNESSJOB_H

#include "loudness.h"
#include "tagrecord.h"

#include <QFutureWatcher>
#include <QHash>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <memory>

// Each file measured: the keys to set in it (REPLAYGAIN_*, or R128_* for Ogg Opus).
using LoudnessValues = QHash<QString, QList<TagProperty>>;

// Measures files on the thread pool, a few at once, and reports on the GUI thread. One run at a
// time: starting again cancels the run before.
class LoudnessJob : public QObject
{
    Q_OBJECT

public:
    explicit LoudnessJob(QObject *parent = nullptr);
    // Cancels the run and waits for the files being decoded to stop.
    ~LoudnessJob() override;

    // With album, the files are also one album: each gets its album gain and peak, unless one of
    // them could not be measured. opusBoth: Ogg Opus files get ReplayGain tags too.
    void start(const QStringList &paths, bool album, bool opusBoth = false);
    // Stops the files being decoded soon and begins no other; cancelled() follows.
    void cancel();
    bool isRunning() const { return m_watcher.isRunning(); }

signals:
    void progressed(int done, int total);
    // The values of every file measured, and a line for each that was not ("FILE: reason") and
    // for an album without its gain.
    void finished(const LoudnessValues &values, const QStringList &failures);
    void cancelled();

private:
    void collect();

    QFutureWatcher<loudness::Track> m_watcher;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    QStringList m_paths;
    bool m_album = false;
    bool m_opusBoth = false;
};

#endif // LOUDNESSJOB_H
