// Another program using libquillet: prints the title and the report of the audio file named on
// its command line; exit status 1 when the library could not read it.
#include <quillet.h>

#include <clocale>
#include <iostream>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::cerr << "usage: quillet_consumer FILE\n";
        return 2;
    }
    std::setlocale(LC_ALL, "");
    const std::string name = argv[1];
    tagstruct tag;
    readTag(std::wstring(name.begin(), name.end()), &tag); // an ASCII name, for brevity
    delete[] tag.picture; // the caller owns the cover buffer
    std::wcout << L"title: " << tag.title << L'\n' << tag.info;
    return tag.info.empty() ? 1 : 0;
}
