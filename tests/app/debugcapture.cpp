#include "debugcapture.h"

namespace {
QStringList captured;
QtMessageHandler forward = nullptr;
} // namespace

DebugCapture::DebugCapture()
{
    captured.clear();
    m_previous = qInstallMessageHandler(&DebugCapture::handler);
    forward = m_previous;
}

DebugCapture::~DebugCapture()
{
    qInstallMessageHandler(m_previous);
    forward = nullptr;
}

QStringList DebugCapture::messages() const
{
    return captured;
}

bool DebugCapture::contains(const QString &text) const
{
    for (const QString &message : captured) {
        if (message.contains(text))
            return true;
    }
    return false;
}

void DebugCapture::handler(QtMsgType type, const QMessageLogContext &context,
                           const QString &message)
{
    if (type == QtDebugMsg)
        captured << message;
    // Everything still reaches the test log.
    if (forward)
        forward(type, context, message);
}
