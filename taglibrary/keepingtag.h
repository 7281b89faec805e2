// The seven fields of a file through its generic tag, with setters that keep what TagLib's own
// would drop: a track total, comments other than the one shown, a Xiph DESCRIPTION beside
// COMMENT; and an ASF year or track of 0 removed rather than written as "0".
#ifndef QUILLET_KEEPINGTAG_H
#define QUILLET_KEEPINGTAG_H

#include "formats.h"

#include <taglib/tag.h>

namespace quillet {

class KeepingTag : public TagLib::Tag
{
public:
    // fields: the file's generic tag; tags: the tags behind it (tagsOfFile).
    KeepingTag(TagLib::Tag &fields, const FileTags &tags);

    TagLib::String title() const override { return m_fields.title(); }
    TagLib::String artist() const override { return m_fields.artist(); }
    TagLib::String album() const override { return m_fields.album(); }
    // COMMENT where a Xiph comment has it, DESCRIPTION or not: what players read.
    TagLib::String comment() const override;
    TagLib::String genre() const override { return m_fields.genre(); }
    unsigned int year() const override { return m_fields.year(); }
    unsigned int track() const override { return m_fields.track(); }

    // An ASF file's further values of the field ("Author" attributes beside the one artist of
    // its content description) go too: the text set is the field's one value.
    void setTitle(const TagLib::String &text) override;
    void setArtist(const TagLib::String &text) override;
    void setAlbum(const TagLib::String &text) override { m_fields.setAlbum(text); }
    // Changes the comment that comment() reads, and no other.
    void setComment(const TagLib::String &text) override;
    void setGenre(const TagLib::String &text) override { m_fields.setGenre(text); }
    void setYear(unsigned int year) override;
    // Keeps a total ("3/12" becomes "5/12"); 0 removes the number.
    void setTrack(unsigned int track) override;

private:
    TagLib::Tag &m_fields;
    FileTags m_tags;
};

} // namespace quillet

#endif // QUILLET_KEEPINGTAG_H
