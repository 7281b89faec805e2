// Helpers shared by the tests: fixtures are always copied into a temporary folder first, so no
// test touches a checked-in file.
#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <string>

#include <taglib/tstring.h>

#include "quillet.h"

namespace testsupport {

// Absolute path of a checked-in fixture under tests/data.
QString fixture(const QString &name);

// Copies fixture `name` into dir as `as` (default: the same name); returns the copy's path.
QString copyFixture(const QTemporaryDir &dir, const QString &name, const QString &as = QString());

QByteArray readAll(const QString &path);
// An image as an image file of the given format ("JPEG", "PNG", ...) holds it.
QByteArray encode(const QImage &image, const char *format);
bool writeAll(const QString &path, const QByteArray &bytes);

// A WAV file of 32-bit float samples: a sine of frequency Hz in each channel, of that channel's
// amplitude (1.0 full scale), starting at phase (radians), for seconds.
bool writeSine(const QString &path, int rate, const QList<double> &amplitudes, double seconds,
               double frequency = 997, double phase = 0);

// Every entry under folder, hidden ones and those in subfolders included, as sorted paths
// relative to folder: what a test compares before and after to see that nothing was left behind.
QStringList entriesUnder(const QString &folder);

// Wide strings hold one character per wchar_t on Linux.
std::wstring wide(const QString &text);
QString fromWide(const std::wstring &text);

// The file's TagLib name, as TagLib on this platform takes it.
QByteArray fileNameBytes(const QString &path);
TagLib::String tagString(const QString &text);
QString fromTagString(const TagLib::String &text);

// Sets the seven fields with TagLib: "Tone", "Tester", "Fixtures", 2001, "made at run time",
// 7, "Test" (title, artist, album, year, comment, track, genre).
bool writeFields(const QString &path);

// readTag through the library, with the picture copied out and released.
struct ReadResult
{
    tagstruct tag;
    QByteArray picture;
    bool hasPicture = false;
};
ReadResult read(const QString &path);

} // namespace testsupport

#endif // TESTSUPPORT_H
