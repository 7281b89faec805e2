// Collects what the code under test writes with qDebug() while it is alive.
#ifndef DEBUGCAPTURE_H
#define DEBUGCAPTURE_H

#include <QString>
#include <QStringList>
#include <QtGlobal>

class DebugCapture
{
public:
    DebugCapture();
    ~DebugCapture();

    // Debug messages (QtDebugMsg) in the order they were written.
    QStringList messages() const;
    bool contains(const QString &text) const;

private:
    DebugCapture(const DebugCapture &) = delete;
    DebugCapture &operator=(const DebugCapture &) = delete;

    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    QtMessageHandler m_previous;
};

#endif // DEBUGCAPTURE_H
