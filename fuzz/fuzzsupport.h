// Shared by the fuzz targets: a private scratch folder and file helpers.
#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzzsupport {

// An extension for each file class that TagLib's FileRef opens by name, plus one it does not
// know (content detection then decides): made from the library's table of file kinds.
const std::vector<std::string> &knownExtensions();

// A folder of this process's own, on tmpfs where there is one; removed at exit.
const std::string &scratchDir();

bool writeFile(const std::string &path, const std::uint8_t *data, std::size_t size);
std::vector<char> readFile(const std::string &path);

// Names in a folder other than "." and "..".
std::vector<std::string> listDir(const std::string &dir);

std::wstring widen(const std::string &text);

// Stops the run with a message: libFuzzer records the input as a crash.
[[noreturn]] void fail(const char *what, const std::string &path);

} // namespace fuzzsupport

#endif // FUZZSUPPORT_H
