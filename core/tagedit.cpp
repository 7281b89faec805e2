#include "tagedit.h"

#include "tagrecord.h"

void TagEdit::setText(const TagField &field, const QString &text)
{
    m_texts[std::size_t(&field - tagFields.data())] = text;
}

int TagEdit::save(const QString &path, QString *reason) const
{
    // Only what was edited goes into the change set: every other item stays as the file holds
    // it at the moment of the save, whoever changed it after the file was read.
    TagChanges changes;
    for (std::size_t i = 0; i < tagFields.size(); ++i) {
        if (m_texts[i])
            changes.setText(tagFields[i], *m_texts[i]);
    }
    if (!m_cover.isEmpty()) {
        TagPicture front;
        front.data = m_cover;
        changes.putPicture(front);
    }
    return changes.save(path, reason);
}
