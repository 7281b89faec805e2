#include "coverpreview.h"

#include "coverimage.h"

#include <QtConcurrent/QtConcurrentRun>

#include <memory>
#include <utility>

CoverPreview::CoverPreview(QObject *parent)
    : QObject(parent)
{ }

CoverPreview::~CoverPreview()
{
    // The watchers go with this object; a decode already running ends on its own data and its
    // result is dropped with the future.
    cancel();
}

void CoverPreview::decode(const QByteArray &bytes)
{
    start([bytes] { return coverimage::decodeShown(bytes); });
}

void CoverPreview::decode(TagRecord record)
{
    // Handed over rather than copied: a large cover's copy would cost as much as reading it.
    const auto owned = std::make_shared<const TagRecord>(std::move(record));
    start([owned] {
        const QByteArrayView cover = owned->coverView();
        return coverimage::decodeShown(QByteArray::fromRawData(cover.data(), cover.size()));
    });
}

void CoverPreview::cancel()
{
    ++latest;
    if (running)
        running->cancel();
    running.clear();
}

template<typename Decode> void CoverPreview::start(Decode decode)
{
    cancel();
    const quint64 request = latest;
    // The worker is started from the event loop, once the caller has filled the form: waking a
    // thread can cost the GUI thread its processor for milliseconds when no core is idle, and
    // a request replaced before then is never decoded at all.
    QMetaObject::invokeMethod(
            this,
            [this, request, decode] {
                if (request == latest)
                    launch(request, QtConcurrent::run(decode));
            },
            Qt::QueuedConnection);
}

void CoverPreview::launch(quint64 request, const QFuture<QImage> &future)
{
    auto *watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, request] {
        watcher->deleteLater();
        if (request != latest)
            return;
        running.clear();
        const QFuture<QImage> result = watcher->future();
        emit decoded(result.resultCount() > 0 ? result.result() : QImage());
    });
    running = watcher;
    watcher->setFuture(future);
}
