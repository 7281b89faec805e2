#include "audiofiles.h"

#include "filekindlists.h"

namespace audiofiles {

const QStringList &extensions()
{
    static const QStringList list = [] {
        QStringList names;
        for (const char *extension : {TAGDESK_AUDIO_EXTENSIONS})
            names.append(QLatin1String(extension));
        return names;
    }();
    return list;
}

bool isAudioFileName(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    const QString extension = name.mid(dot + 1);
    // ASCII letters only, as the library compares them: no other character folds onto them.
    for (const QChar c : extension) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return extensions().contains(extension.toLower());
}

QString namePatterns()
{
    QStringList patterns;
    for (const QString &extension : extensions())
        patterns.append(QStringLiteral("*.") + extension);
    return patterns.join(QLatin1Char(' '));
}

} // namespace audiofiles
