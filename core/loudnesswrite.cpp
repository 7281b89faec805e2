#include "loudness.h"

#include "failurereason.h"
#include "quilletc.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <memory>

namespace loudness {

int writeTags(const QString &path, const QList<Tag> &tags, QString *reason)
{
    const std::unique_ptr<quillet_changes, decltype(&quillet_changes_free)> changes(
            quillet_changes_new(), &quillet_changes_free);
    int result = changes ? 0 : ENOMEM;
    for (qsizetype i = 0; result == 0 && i < tags.size(); ++i) {
        const QByteArray key = tags[i].key.toUtf8();
        const QByteArray value = tags[i].value.toUtf8();
        const char *values[] = {value.constData()};
        result = quillet_changes_set(changes.get(), key.constData(), values, 1);
    }
    if (result == 0)
    // The name's bytes on POSIX, UTF-8 on Windows, as the library takes it.
#ifdef Q_OS_WIN
        result = quillet_save(path.toUtf8().constData(), changes.get());
#else
        result = quillet_save(QFile::encodeName(path).constData(), changes.get());
#endif
    if (result != 0 && reason)
        *reason = failureReason(result) + QStringLiteral("; the file is unchanged");
    return result;
}

} // namespace loudness
