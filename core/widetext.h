// Text and file names between Qt and the library's wide strings, for the editor and the quillet
// command alike. A file name whose bytes are not UTF-8 crosses as the library takes it (each
// undecodable byte as U+DC00 plus the byte, see quillet.h), held in a QString as that lone
// surrogate: nothing of it is lost on the way, whatever the locale.
#ifndef WIDETEXT_H
#define WIDETEXT_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <string>

// Every UTF-16 unit kept: a pair as one character, a lone surrogate as itself.
std::wstring toWide(const QString &text);
QString fromWide(const std::wstring &text);

// A file name's bytes as the system takes them, and back: on POSIX systems UTF-8 with escaped
// bytes restored. Text that is no name (a surrogate that stands for no byte) comes out as
// UTF-8 with those characters replaced. Also for output that holds names: a terminal or a file
// gets each name as the system has it.
QByteArray nativeName(const QString &name);
QString fromNativeName(const QByteArray &bytes);

// A name as the standard library's file system calls take it, and back.
std::filesystem::path filesystemPath(const QString &name);
QString fromFilesystemPath(const std::filesystem::path &path);

// The name of an existing file that path stands for. Qt's file dialog and drops decode a name
// that is not UTF-8 with its undecodable bytes replaced (U+FFFD), and no file has that name:
// where exactly one entry of the folder decodes to it, that entry's name with its bytes kept.
// Otherwise path as it is.
QString existingName(const QString &path);

// The program's arguments, file names among them, without the loss of decoding them in the
// locale's encoding.
QStringList programArguments(int argc, char **argv);

#endif // WIDETEXT_H
