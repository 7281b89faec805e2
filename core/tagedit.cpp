#include "tagedit.h"

#include "tagrecord.h"

void TagEdit::setText(const TagField &field, const QString &text)
{
    m_texts[std::size_t(&field - tagFields.data())] = text;
}

int TagEdit::save(const QString &path, QString *reason) const
{
    // The fields nobody edited are then what the file holds: the save leaves them alone.
    TagRecord record;
    QString unread;
    if (!record.read(path, &unread)) {
        if (reason)
            *reason = unread + QStringLiteral("; the file is unchanged");
        return -1;
    }
    for (std::size_t i = 0; i < tagFields.size(); ++i) {
        if (m_texts[i])
            record.setText(tagFields[i], *m_texts[i]);
    }
    return record.save(path, m_cover, reason);
}
