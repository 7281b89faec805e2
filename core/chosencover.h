// An image file made into the bytes a file's cover is saved as, by the one rule that "Load Cover
// Art Image", a dropped image and `quillet set --cover` share.
#ifndef CHOSENCOVER_H
#define CHOSENCOVER_H

#include <QByteArray>
#include <QImage>
#include <QString>

struct ChosenCover
{
    QByteArray bytes; // to save; empty when the file cannot be a cover
    QImage image; // the full-size picture where it was decoded on the way; null for a JPEG
    QString error; // why bytes is empty
};

// A JPEG is kept byte for byte (its header is enough to accept it); any other image that can be
// read is encoded once as JPEG from its full size, transparent parts on white.
ChosenCover chooseCover(const QString &path);

#endif // CHOSENCOVER_H
