#include "loudnessjob.h"

#include <QtConcurrent/QtConcurrentMap>

#include <vector>

LoudnessJob::LoudnessJob(QObject *parent)
    : QObject(parent)
{
    connect(&m_watcher, &QFutureWatcherBase::progressValueChanged, this,
            [this](int done) { emit progressed(done, int(m_paths.size())); });
    connect(&m_watcher, &QFutureWatcherBase::finished, this, &LoudnessJob::collect);
}

LoudnessJob::~LoudnessJob()
{
    cancel();
    m_watcher.waitForFinished();
}

void LoudnessJob::start(const QStringList &paths, bool album, bool opusBoth)
{
    cancel();
    // The run before reports nothing more: its finished() is taken by the new future's.
    m_watcher.waitForFinished();
    m_paths = paths;
    m_album = album;
    m_opusBoth = opusBoth;
    m_cancelled = std::make_shared<std::atomic<bool>>(false);
    // A track keeps its gating blocks only for its album.
    const auto measure = [cancelled = m_cancelled, album](const QString &path) {
        return loudness::measureTrack(path, album, cancelled.get());
    };
    m_watcher.setFuture(QtConcurrent::mapped(m_paths, measure));
    emit progressed(0, int(m_paths.size()));
}

void LoudnessJob::cancel()
{
    if (!m_cancelled)
        return;
    m_cancelled->store(true);
    m_watcher.cancel();
}

void LoudnessJob::collect()
{
    const QFuture<loudness::Track> future = m_watcher.future();
    if (future.isCanceled() || (m_cancelled && m_cancelled->load())) {
        emit cancelled();
        return;
    }
    const QList<loudness::Track> tracks = future.results();
    std::vector<const loudness::Track *> all;
    QStringList failures;
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        all.push_back(&tracks[i]);
        if (!tracks[i].measured())
            failures.append(m_paths[i] + QStringLiteral(": ") + tracks[i].error);
    }
    loudness::Album album;
    if (m_album) {
        album = loudness::measureAlbum(all);
        if (!album.measured)
            failures.append(QStringLiteral("no album gain: %1 of its %2 files could not be "
                                           "measured")
                                    .arg(failures.size())
                                    .arg(tracks.size()));
    }
    LoudnessValues values;
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        QList<TagProperty> properties;
        for (const loudness::Tag &tag :
             loudness::tags(tracks[i], m_album ? &album : nullptr, m_opusBoth))
            properties.append({tag.key, {tag.value}});
        if (tracks[i].measured())
            values.insert(m_paths[i], properties);
    }
    emit finished(values, failures);
}
