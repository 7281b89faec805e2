#ifndef UTF8LOCALE_H
#define UTF8LOCALE_H

// Qt works in UTF-8 only: started under a locale of another encoding (the C locale that cron, a
// container or a cleared environment gives) it switches by itself and says so on standard
// error. Called first in main(), before Qt starts, this makes that switch silently: where the
// environment's locale is not UTF-8, the process runs under C.UTF-8 (LC_ALL), which every glibc
// has. A UTF-8 locale is left as it is. File names never depend on it: Qt and the library take
// them as UTF-8 whatever the locale says.
void useUtf8Locale();

#endif // UTF8LOCALE_H
