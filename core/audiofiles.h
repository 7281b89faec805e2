// Which files are audio, by name: for picking audio files out of a folder, a drop or a file
// dialog without opening each one. The names are those the library's table of file kinds lists
// for the TagLib it is built with (taglibrary/filekinds.def, made into a list at build time).
#ifndef AUDIOFILES_H
#define AUDIOFILES_H

#include <QString>
#include <QStringList>

namespace audiofiles {

// The extensions, in lower case.
const QStringList &extensions();

// True when the text after the last "." of name is one of extensions(), in any case.
bool isAudioFileName(const QString &name);

// "*.mp3 *.aiff ..." for a file dialog's filter.
QString namePatterns();

} // namespace audiofiles

#endif // AUDIOFILES_H
