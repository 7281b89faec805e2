// Covers put on show without holding up the window.
#ifndef COVERPREVIEW_H
#define COVERPREVIEW_H

#include "tagrecord.h"

#include <QByteArray>
#include <QFutureWatcher>
#include <QImage>
#include <QObject>
#include <QPointer>

// Decodes cover previews on a worker thread, newest request wins. Entropy-decoding a large JPEG
// takes tens of milliseconds even at a fraction of its size, longer than reading the whole tag,
// so this is the one part of opening a file that leaves the GUI thread; fields, report and
// status are filled there at once. Each worker owns the bytes it decodes and touches nothing
// else, so the editor may forget a request or be destroyed while it runs.
class CoverPreview : public QObject
{
    Q_OBJECT

public:
    explicit CoverPreview(QObject *parent = nullptr);
    ~CoverPreview() override;

    // Decodes bytes at the shown size; the result of any earlier request is dropped. The bytes
    // are shared, not copied: a QByteArray's data is never changed in place while shared.
    void decode(const QByteArray &bytes);
    // As above, for the cover of a record the caller gives up: the worker frees it when done.
    void decode(TagRecord record);
    // Drops the result of every request so far; one still waiting for a thread is not run.
    void cancel();

signals:
    // The picture of the newest request, null when its bytes held no image that can be read.
    void decoded(const QImage &image);

private:
    template<typename Decode> void start(Decode decode);
    void launch(quint64 request, const QFuture<QImage> &future);

    quint64 latest = 0; // the number of the newest request; older results are dropped
    QPointer<QFutureWatcher<QImage>> running; // the newest request's, until it has finished
};

#endif // COVERPREVIEW_H
