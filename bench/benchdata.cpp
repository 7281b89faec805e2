#include "benchdata.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace benchdata {

std::string dataDir()
{
    if (const char *dir = std::getenv("TAGDESK_BENCH_DATA"); dir && *dir)
        return dir;
    if (const char *cache = std::getenv("XDG_CACHE_HOME"); cache && *cache)
        return std::string(cache) + "/tagdesk-bench";
    const char *home = std::getenv("HOME");
    return std::string(home ? home : "/tmp") + "/.cache/tagdesk-bench";
}

std::string audioFile(const std::string &kind, const std::string &size)
{
    return dataDir() + "/audio-" + size + "." + kind;
}

std::string picture(const std::string &name)
{
    return dataDir() + "/" + name;
}

std::string workDir()
{
    const std::string dir = dataDir() + "/work";
    ::mkdir(dir.c_str(), 0755);
    return dir;
}

bool exists(const std::string &path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

std::vector<char> readBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool copyFresh(const std::string &from, const std::string &to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    ::unlink(to.c_str());
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
        if (n == 0)
            break;
        if (n < 0) {
            ok = false;
            break;
        }
    }
    ok = ::fsync(out) == 0 && ok;
    ::close(in);
    return ::close(out) == 0 && ok;
}

bool syncFile(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

std::wstring widen(const std::string &path)
{
    // The generated paths are plain ASCII unless the cache folder is not; decode as UTF-8.
    std::wstring out;
    for (std::size_t i = 0; i < path.size();) {
        const auto lead = static_cast<unsigned char>(path[i]);
        const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < path.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(path[i + k]) & 0x3F);
        out += static_cast<wchar_t>(c);
        i += 1 + extra;
    }
    return out;
}

} // namespace benchdata
