#ifndef FILEDROPFILTER_H
#define FILEDROPFILTER_H

#include <QObject>
#include <QString>
#include <QStringList>

class QDropEvent;
class QUrl;
class QWidget;

// Takes files dropped anywhere on a window: one audio file, one image, or several audio files
// and folders are accepted and reported, anything else is refused. A field under the cursor never
// gets a dropped file's name pasted in as text; other drags, such as text from another program,
// reach it as usual.
class FileDropFilter : public QObject
{
    Q_OBJECT

public:
    // Watches window and each of its widgets that takes drops of its own (the text fields).
    explicit FileDropFilter(QWidget *window);

signals:
    void audioDropped(const QString &path);
    void imageDropped(const QString &path);
    // Several audio files, or folders: opened together, folders walked for audio files.
    void filesDropped(const QStringList &paths);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Kind { None, Audio, Image, Files };
    struct DroppedFile
    {
        Kind kind = Kind::None;
        QStringList paths; // one for an audio file or an image
    };
    static DroppedFile droppedFile(const QDropEvent &drop);
    static DroppedFile droppedFile(const QUrl &url);
};

#endif // FILEDROPFILTER_H
