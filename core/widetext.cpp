#include "widetext.h"

#include "widepath.h"

#include <QCoreApplication>

#include <system_error>

std::wstring toWide(const QString &text)
{
    std::wstring wide;
    wide.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            quillet::widepath::appendWide(wide, QChar::surrogateToUcs4(c, text[i + 1]));
            ++i;
        } else {
            wide += static_cast<wchar_t>(c.unicode());
        }
    }
    return wide;
}

QString fromWide(const std::wstring &text)
{
    QString out;
    out.reserve(static_cast<qsizetype>(text.size()));
    for (const wchar_t c : text) {
        const auto code = static_cast<char32_t>(c);
        if (code > 0xFFFF && code <= 0x10FFFF) {
            out += QChar(QChar::highSurrogate(code));
            out += QChar(QChar::lowSurrogate(code));
        } else {
            out += QChar(static_cast<char16_t>(code > 0xFFFF ? 0xFFFD : code));
        }
    }
    return out;
}

QByteArray nativeName(const QString &name)
{
#ifdef _WIN32
    return name.toUtf8();
#else
    std::string bytes;
    if (!quillet::widepath::toNativeBytes(toWide(name), bytes))
        return name.toUtf8();
    return QByteArray::fromStdString(bytes);
#endif
}

QString fromNativeName(const QByteArray &bytes)
{
#ifdef _WIN32
    return QString::fromUtf8(bytes);
#else
    return fromWide(quillet::widepath::fromNativeBytes(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
#endif
}

std::filesystem::path filesystemPath(const QString &name)
{
#ifdef _WIN32
    return std::filesystem::path(name.toStdWString());
#else
    return std::filesystem::path(nativeName(name).toStdString());
#endif
}

QString fromFilesystemPath(const std::filesystem::path &path)
{
#ifdef _WIN32
    return QString::fromStdWString(path.native());
#else
    return fromNativeName(QByteArray::fromStdString(path.native()));
#endif
}

QString existingName(const QString &path)
{
#ifdef _WIN32
    return path; // names are UTF-16 there, and reach Qt whole
#else
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path given = filesystemPath(path);
    if (!path.contains(QChar::ReplacementCharacter) || fs::exists(given, error))
        return path;
    QString found;
    const QString wanted = fromFilesystemPath(given.filename());
    for (fs::directory_iterator it(given.parent_path(), error), end; !error && it != end;
         it.increment(error)) {
        // A copy: filename() is a temporary, and native() a reference into it.
        const std::string name = it->path().filename().native();
        if (QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) != wanted)
            continue;
        if (!found.isEmpty())
            return path; // two names alike: which one was meant is not known
        found = fromFilesystemPath(it->path());
    }
    return found.isEmpty() ? path : found;
#endif
}

QStringList programArguments(int argc, char **argv)
{
#ifdef _WIN32
    // Qt takes them from the system as UTF-16, losing nothing.
    (void)argc;
    (void)argv;
    return QCoreApplication::arguments();
#else
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(fromNativeName(QByteArray(argv[i])));
    return arguments;
#endif
}
