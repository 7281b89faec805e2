// readcount full|taglib FILE [COUNT]: readFull, or the same reads on bare TagLib
// (taglibdirect::readEverything), COUNT times. Run under callgrind by read-instructions.sh,
// which counts the instructions of each call alone: a count repeats from run to run however
// busy the machine is, where a time does not.
#include "benchdata.h"
#include "engine.h"
#include "taglibdirect.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 3 || (std::strcmp(argv[1], "full") != 0 && std::strcmp(argv[1], "taglib") != 0)) {
        std::fprintf(stderr, "usage: readcount full|taglib FILE [COUNT]\n");
        return 2;
    }
    const bool full = std::strcmp(argv[1], "full") == 0;
    const std::string path = argv[2];
    const std::wstring widePath = benchdata::widen(path);
    const int count = argc > 3 ? std::atoi(argv[3]) : 1;
    std::size_t sum = 0;
    for (int i = 0; i < count; ++i) {
        if (full) {
            quillet::FullTag tag;
            if (!quillet::readFull(widePath, tag) || tag.pictures.empty()) {
                std::fprintf(stderr, "%s: no picture read\n", path.c_str());
                return 1;
            }
            sum += tag.properties.size();
        } else {
            sum += taglibdirect::readEverything(path);
        }
    }
    std::printf("%zu\n", sum);
    return 0;
}
