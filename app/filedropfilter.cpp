#include "filedropfilter.h"

#include "audiofiles.h"
#include "widetext.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QImageReader>
#include <QList>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <filesystem>
#include <system_error>

namespace {

bool hasLocalFile(const QMimeData *data)
{
    const QList<QUrl> urls = data->urls();
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            return true;
    }
    return false;
}

} // namespace

FileDropFilter::FileDropFilter(QWidget *window)
    : QObject(window)
{
    // Drops on widgets that take none of their own (labels, buttons, the menu and status bars)
    // go on to the window.
    window->setAcceptDrops(true);
    window->installEventFilter(this);
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (widget->acceptDrops())
            widget->installEventFilter(this);
    }
}

bool FileDropFilter::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    // QDragEnterEvent and QDragMoveEvent are drop events too.
    auto *drop = static_cast<QDropEvent *>(event);
    if (!drop->mimeData() || !hasLocalFile(drop->mimeData()))
        return QObject::eventFilter(watched, event);

    const DroppedFile file = droppedFile(*drop);
    // Copy, never move: a file manager deletes the source of a moved file.
    if (file.kind == Kind::None || !(drop->possibleActions() & Qt::CopyAction)) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
        if (file.kind == Kind::Audio)
            emit audioDropped(file.paths.first());
        else if (file.kind == Kind::Image)
            emit imageDropped(file.paths.first());
        else
            emit filesDropped(file.paths);
    }
    return true;
}

FileDropFilter::DroppedFile FileDropFilter::droppedFile(const QDropEvent &drop)
{
    const QList<QUrl> urls = drop.mimeData()->urls();
    if (urls.size() == 1)
        return droppedFile(urls.first());
    // Several at once: audio files and folders only, opened together as a list.
    DroppedFile files {Kind::Files, QStringList()};
    for (const QUrl &url : urls) {
        const DroppedFile file = droppedFile(url);
        if (file.kind != Kind::Audio && file.kind != Kind::Files)
            return {};
        files.paths.append(file.paths);
    }
    return files;
}

FileDropFilter::DroppedFile FileDropFilter::droppedFile(const QUrl &url)
{
    if (!url.isLocalFile())
        return {};
    // A name that is not UTF-8 arrives with its bytes replaced: the file it stands for is found,
    // and looked at by its bytes, which Qt's file calls would not keep.
    const QString path = existingName(url.toLocalFile());
    std::error_code error;
    if (std::filesystem::is_directory(filesystemPath(path), error))
        return {Kind::Files, QStringList {QFileInfo(path).absoluteFilePath()}};
    if (!std::filesystem::is_regular_file(filesystemPath(path), error))
        return {};
    const QFileInfo file(path);
    // The library picks a file's kind by its extension alone.
    if (audiofiles::isAudioFileName(file.fileName()))
        return {Kind::Audio, QStringList {file.absoluteFilePath()}};
    // An image is whatever Qt can read as one, whatever its name.
    if (QImageReader(file.absoluteFilePath()).canRead())
        return {Kind::Image, QStringList {file.absoluteFilePath()}};
    return {};
}
