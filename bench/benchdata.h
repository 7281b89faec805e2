// Where the benchmark's large audio files live and how each run gets a fresh copy of one.
#ifndef BENCHDATA_H
#define BENCHDATA_H

#include <string>
#include <vector>

namespace benchdata {

// $TAGDESK_BENCH_DATA, else ${XDG_CACHE_HOME:-$HOME/.cache}/tagdesk-bench (made by make-files.sh).
std::string dataDir();

// A generated file: kind is mp3, flac, wma, m4a or ogg; size is 3M, 30M or 300M (each with a
// 1 MB cover), or 3M-cover10M for the memory probe (mp3, flac and wma only).
std::string audioFile(const std::string &kind, const std::string &size);

// A picture in the data folder: cover-1M.jpg (what the files hold), cover-grow.jpg (larger, so
// the tag must grow), cover-10M.jpg.
std::string picture(const std::string &name);

// A scratch folder next to the data, on the same file system.
std::string workDir();

bool exists(const std::string &path);
std::vector<char> readBytes(const std::string &path);

// Copies from to to and flushes the copy to disk, so that no write-back of it overlaps a
// measurement.
bool copyFresh(const std::string &from, const std::string &to);
bool syncFile(const std::string &path);

std::wstring widen(const std::string &path);

} // namespace benchdata

#endif // BENCHDATA_H
