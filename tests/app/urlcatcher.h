// Receives what QDesktopServices::openUrl() would hand to the desktop, once installed with
// QDesktopServices::setUrlHandler(scheme, catcher, "open").
#ifndef URLCATCHER_H
#define URLCATCHER_H

#include <QList>
#include <QObject>
#include <QUrl>

class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened << url; }
};

#endif // URLCATCHER_H
