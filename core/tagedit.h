// What the user changed in one file's tags, as the window saves it.
#ifndef TAGEDIT_H
#define TAGEDIT_H

#include "tagfield.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// The fields edited and the cover chosen, nothing else. Saved over what the file holds at that
// moment, so that a field nobody edited keeps the file's value even where another program
// changed it after the file was read.
class TagEdit
{
public:
    // field: one of tagFields.
    void setText(const TagField &field, const QString &text);
    // Empty bytes leave the file's covers as they are.
    void setCover(const QByteArray &bytes) { m_cover = bytes; }
    QByteArray cover() const { return m_cover; }

    // Saves the edits as a change set, and nothing else. Returns as TagChanges::save: 0 when
    // saved; otherwise the file is as it was, and reason says why.
    int save(const QString &path, QString *reason = nullptr) const;

private:
    std::array<std::optional<QString>, tagFields.size()> m_texts;
    QByteArray m_cover;
};

#endif // TAGEDIT_H
