#include "picturetypes.h"

#include "tagrecord.h"

#include <QStringList>

#include <iterator>

namespace {

// Indexed by the type's number.
const char *const typeNames[] = {
        "other",
        "file-icon",
        "other-file-icon",
        "front",
        "back",
        "leaflet",
        "media",
        "lead-artist",
        "artist",
        "conductor",
        "band",
        "composer",
        "lyricist",
        "recording-location",
        "during-recording",
        "during-performance",
        "screen-capture",
        "fish",
        "illustration",
        "band-logo",
        "publisher-logo",
};
static_assert(std::size(typeNames) == std::size_t(TagPictureType::Last) + 1,
              "a name for every picture type");

} // namespace

QString pictureTypeName(int type)
{
    if (type < 0 || type >= int(std::size(typeNames)))
        return QStringLiteral("other");
    return QLatin1String(typeNames[type]);
}

int pictureType(const QString &name)
{
    for (int type = 0; type < int(std::size(typeNames)); ++type) {
        if (name.compare(QLatin1String(typeNames[type]), Qt::CaseInsensitive) == 0)
            return type;
    }
    bool ok = false;
    const int number = name.toInt(&ok);
    return ok && number >= 0 && number < int(std::size(typeNames)) ? number : -1;
}

QString pictureTypeNames()
{
    QStringList names;
    for (const char *name : typeNames)
        names.append(QLatin1String(name));
    return names.join(QStringLiteral(", "));
}
