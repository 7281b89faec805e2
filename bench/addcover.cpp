// bench_addcover <audio file> <jpeg>: gives a generated audio file its tags and front cover,
// straight through TagLib (the benchmark must not depend on the code it measures).
#include "benchdata.h"
#include "taglibdirect.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <audio file> <jpeg>\n", argv[0]);
        return 2;
    }
    const std::vector<char> cover = benchdata::readBytes(argv[2]);
    if (cover.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 1;
    }
    taglibdirect::Fields fields;
    fields.title = "Benchmark title";
    fields.artist = "Benchmark artist";
    fields.album = "Benchmark album";
    fields.comment = "Generated for the benchmarks";
    fields.genre = "Ambient";
    fields.year = 2024;
    fields.track = 1;
    if (!taglibdirect::save(argv[1], fields, cover.data(), cover.size())) {
        std::fprintf(stderr, "cannot tag %s\n", argv[1]);
        return 1;
    }
    return 0;
}
