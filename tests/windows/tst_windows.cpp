// quillet on Windows: round trips through wide paths of any length, and saves that Windows
// refuses, which must leave the file as it was and nothing beside it.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest/doctest.h>

#include "quillet.h"
#include "quilletc.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <taglib/fileref.h>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

// A fresh folder under %TEMP%, removed with everything in it at the end of the test.
struct Folder
{
    fs::path path = fs::temp_directory_path() / (L"quillet-" + std::to_wstring(GetTickCount64()));
    Folder() { fs::create_directories(path); }
    ~Folder()
    {
        std::error_code ignored;
        fs::remove_all(L"\\\\?\\" + path.wstring(), ignored);
    }
    fs::path copy(const wchar_t *fixture, const std::wstring &name) const
    {
        fs::copy_file(fs::path(TEST_DATA) / fixture, path / name);
        return path / name;
    }
};

std::string bytesOf(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::wstring cyrillicCjkEmoji()
{
    return L"Пісня 歌 \U0001F3B5";
}

tagstruct recordWithCover(const std::string &cover)
{
    tagstruct tag;
    tag.title = cyrillicCjkEmoji();
    tag.artist = L"Artist";
    tag.year = L"2024";
    tag.track = L"7";
    tag.picture = const_cast<char *>(cover.data());
    tag.pictureSize = static_cast<std::int32_t>(cover.size());
    return tag;
}

void checkRoundTrip(const fs::path &file, const std::string &cover)
{
    tagstruct saved = recordWithCover(cover);
    const int result = saveTag(file.wstring(), &saved);
    CAPTURE(errno);
    REQUIRE(result == 0);
    tagstruct read;
    readTag(file.wstring(), &read);
    CHECK(read.title == cyrillicCjkEmoji());
    CHECK(read.track == L"7");
    CHECK(std::string(read.picture, static_cast<std::size_t>(read.pictureSize)) == cover);
    delete[] read.picture;
    // TagLib itself reads the title, surrogate pair and all.
    const TagLib::FileRef ref(file.c_str());
    REQUIRE(ref.tag());
    CHECK(ref.tag()->title().toCWString() == cyrillicCjkEmoji());
}

// A save refused: -1 with errno; the file keeps its bytes and nothing is left beside it.
void checkRefused(const fs::path &file, int error)
{
    tagstruct tag = recordWithCover(std::string(70000, 'c'));
    errno = 0;
    CHECK(saveTag(file.wstring(), &tag) == -1);
    CHECK(errno == error);
}

void checkUntouched(const Folder &folder, const fs::path &file, const wchar_t *fixture)
{
    CHECK(bytesOf(file) == bytesOf(fs::path(TEST_DATA) / fixture));
    CHECK(std::distance(fs::directory_iterator(folder.path), fs::directory_iterator()) == 1);
}

} // namespace

TEST_CASE("round trips with covers under a name of Cyrillic, CJK and an emoji")
{
    // Larger than any fixture's padding: the audio moves.
    const std::string cover = "\xFF\xD8\xFF\xE0" + std::string(70000, 'j');
    for (const wchar_t *fixture : {L"tone.mp3", L"tone.flac", L"tone.m4a", L"tone.ogg"}) {
        CAPTURE(fs::path(fixture).string());
        const Folder folder;
        const fs::path file = folder.copy(
                fixture, cyrillicCjkEmoji() + fs::path(fixture).extension().wstring());
        checkRoundTrip(file, cover);
        CHECK(std::distance(fs::directory_iterator(folder.path), fs::directory_iterator()) == 1);
    }
}

TEST_CASE("a path longer than 260 characters")
{
    const Folder folder;
    fs::path deep = folder.path;
    for (int level = 0; level < 3; ++level)
        deep /= std::wstring(100, static_cast<wchar_t>(L'a' + level));
    fs::create_directories(L"\\\\?\\" + deep.wstring());
    const fs::path file = deep / L"tone.mp3";
    REQUIRE(file.wstring().size() > MAX_PATH);
    fs::copy_file(fs::path(TEST_DATA) / L"tone.mp3", L"\\\\?\\" + file.wstring());
    checkRoundTrip(file, "\xFF\xD8\xFF\xE0 cover");
}

TEST_CASE("a file another handle holds without sharing is not saved")
{
    const Folder folder;
    const fs::path file = folder.copy(L"tone.flac", L"held.flac");
    const HANDLE held = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    REQUIRE(held != INVALID_HANDLE_VALUE);
    checkRefused(file, EBUSY);
    CloseHandle(held);
    checkUntouched(folder, file, L"tone.flac");
}

TEST_CASE("a read-only file is not saved")
{
    const Folder folder;
    const fs::path file = folder.copy(L"tone.m4a", L"read-only.m4a");
    REQUIRE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    checkRefused(file, EACCES);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    checkUntouched(folder, file, L"tone.m4a");
}

TEST_CASE("the C interface takes names as UTF-8")
{
    const Folder folder;
    const fs::path file = folder.copy(L"tone.flac", cyrillicCjkEmoji() + L".flac");
    const std::string name = file.u8string(); // C++17: UTF-8 in a std::string
    const char *title = "\xD0\x9F\xD1\x96\xD1\x81\xD0\xBD\xD1\x8F"; // "Пісня"
    quillet_changes *changes = quillet_changes_new();
    CHECK(quillet_changes_set(changes, "TITLE", &title, 1) == 0);
    CHECK(quillet_save(name.c_str(), changes) == 0);
    CHECK(quillet_save("\xFF.flac", changes) == EILSEQ);
    quillet_changes_free(changes);
    CHECK(TagLib::FileRef(file.c_str()).tag()->title().toCWString() == std::wstring(L"Пісня"));
}
