// The baseline: the same work as readTag and saveTag, done straight on TagLib with nothing
// around it. The benchmark compares quillet's functions with these.
#ifndef TAGLIBDIRECT_H
#define TAGLIBDIRECT_H

#include <cstddef>
#include <string>

namespace taglibdirect {

// Opens the file with audio properties (Average), reads the seven fields, the property map and
// the audio properties, looks up the front cover by extension and copies it into a new buffer,
// released after the file is closed. Returns a checksum of what was read, so that nothing is
// optimised away.
std::size_t read(const std::string &path);

struct Fields
{
    std::string title, artist, album, comment, genre; // UTF-8
    unsigned int year = 0;
    unsigned int track = 0;
};

// Sets the seven fields and, when coverSize is not 0, the front cover (replacing the one found
// or adding one), then saves in place. Returns FileRef::save()'s result.
bool save(const std::string &path, const Fields &fields, const char *cover, std::size_t coverSize);

// The baseline of readFull: opens the file with audio properties (Average), reads the property
// map, every picture of the file's format with its bytes copied out, and the audio properties.
// Returns a checksum.
std::size_t readEverything(const std::string &path);

// Sets one key of the property map (every other key as it was) and saves in place.
bool saveProperty(const std::string &path, const std::string &key, const std::string &value);

} // namespace taglibdirect

#endif // TAGLIBDIRECT_H
