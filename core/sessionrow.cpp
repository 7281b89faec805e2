#include "sessionrow.h"

#include "tagedit.h"
#include "tagrecord.h"

#include <QHash>

namespace {

QString keyOf(std::size_t form)
{
    const std::string_view key = quillet::formField(form).key;
    return QString::fromLatin1(key.data(), qsizetype(key.size()));
}

} // namespace

quint64 sessionCoverId(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return 0;
    // Seeded with the size; never 0, which stands for no cover.
    return quint64(qHash(QByteArrayView(bytes), std::size_t(bytes.size()))) | 1;
}

SessionRead SessionRead::of(const QString &path)
{
    SessionRead read;
    TagRecord record;
    if (!record.read(path, &read.problem))
        return read;
    for (std::size_t i = 0; i < tagFields.size(); ++i) {
        const QString text = record.text(tagFields[i]);
        // A number the file does not have reads as 0.
        if (text.isEmpty() || (tagFields[i].isNumber && text == QLatin1String("0")))
            continue;
        read.values.append({keyOf(i), {text}});
    }
    read.audio = record.audioReport();
    const QByteArrayView cover = record.coverView();
    if (!cover.isEmpty())
        read.coverId = quint64(qHash(cover, std::size_t(cover.size()))) | 1;
    return read;
}

int saveSessionFile(const QString &path, const QList<SessionValue> &changes,
                    const QByteArray &cover, QString *reason)
{
    TagEdit edit;
    for (const SessionValue &change : changes) {
        for (std::size_t i = 0; i < tagFields.size(); ++i) {
            if (keyOf(i) == change.key)
                edit.setText(tagFields[i], change.values.join(QLatin1String("; ")));
        }
    }
    edit.setCover(cover);
    return edit.save(path, reason);
}

void readSessionDetails(const QString &path, QString *report, QByteArray *cover)
{
    TagRecord record;
    record.read(path);
    *report = record.report();
    *cover = record.cover();
}
