#include "fuzzsupport.h"

#include "filekindlists.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include <dirent.h>
#include <ftw.h>
#include <unistd.h>

namespace fuzzsupport {

const std::vector<std::string> &knownExtensions()
{
    static const std::vector<std::string> extensions = {TAGDESK_FUZZ_EXTENSIONS};
    return extensions;
}

namespace {

int removeEntry(const char *path, const struct stat *, int, struct FTW *)
{
    return ::remove(path);
}

void removeScratch()
{
    ::nftw(scratchDir().c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

} // namespace

const std::string &scratchDir()
{
    static const std::string dir = [] {
        const char *base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
        std::string pattern = std::string(base ? base : "/tmp") + "/tagdesk-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        return pattern;
    }();
    static const bool cleanup = (std::atexit(removeScratch), true);
    (void)cleanup;
    return dir;
}

bool writeFile(const std::string &path, const std::uint8_t *data, std::size_t size)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

std::vector<char> readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> listDir(const std::string &dir)
{
    std::vector<std::string> names;
    if (DIR *handle = ::opendir(dir.c_str())) {
        while (const dirent *entry = ::readdir(handle)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
        }
        ::closedir(handle);
    }
    return names;
}

std::wstring widen(const std::string &text)
{
    // Paths here are plain ASCII.
    return std::wstring(text.begin(), text.end());
}

void fail(const char *what, const std::string &path)
{
    std::fprintf(stderr, "fuzz check failed: %s (%s)\n", what, path.c_str());
    std::abort();
}

} // namespace fuzzsupport
