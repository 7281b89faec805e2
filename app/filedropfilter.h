#ifndef FILEDROPFILTER_H
#define FILEDROPFILTER_H

#include <QObject>
#include <QString>

class QDropEvent;
class QWidget;

// Takes files dropped anywhere on a window: one audio file or one image is accepted and
// reported, anything else is refused. A field under the cursor never gets a dropped file's
// name pasted in as text; other drags, such as text from another program, reach it as usual.
class FileDropFilter : public QObject
{
    Q_OBJECT

public:
    // Watches window and each of its widgets that takes drops of its own (the text fields).
    explicit FileDropFilter(QWidget *window);

signals:
    void audioDropped(const QString &path);
    void imageDropped(const QString &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Kind { None, Audio, Image };
    struct DroppedFile
    {
        Kind kind = Kind::None;
        QString path;
    };
    static DroppedFile droppedFile(const QDropEvent &drop);
};

#endif // FILEDROPFILTER_H
