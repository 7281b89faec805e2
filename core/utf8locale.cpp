#include "utf8locale.h"

#include <clocale>
#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#    include <langinfo.h>
#    include <strings.h>
#endif

namespace {

#ifndef _WIN32
bool environmentLocaleIsUtf8()
{
    // The environment's locale as Qt will read it; one that names a locale this system lacks
    // leaves the C locale, which is not UTF-8 either.
    std::setlocale(LC_ALL, "");
    const char *encoding = nl_langinfo(CODESET);
    return strcasecmp(encoding, "UTF-8") == 0 || strcasecmp(encoding, "utf8") == 0;
}
#endif

} // namespace

void useUtf8Locale()
{
#ifndef _WIN32
    if (environmentLocaleIsUtf8())
        return;
    // LC_ALL outranks LANG and every other LC_ variable, so Qt's own look at the environment
    // finds UTF-8 too.
    setenv("LC_ALL", "C.UTF-8", 1);
    std::setlocale(LC_ALL, "");
#endif
}
