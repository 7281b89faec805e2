// Year and track as the library stores them: whole numbers.
#ifndef WHOLENUMBER_H
#define WHOLENUMBER_H

#include <QString>

#include <optional>

// Digits only, at most 2147483647, shown as the library will give the number back: "07" as "7".
// Nothing for any other text.
std::optional<QString> wholeNumber(const QString &text);

#endif // WHOLENUMBER_H
