// Every list of audio files that the build makes follows the library's table of file kinds, and
// the table follows what TagLib opens by name: adding a kind is adding one row.
#include "filekindlists.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <taglib/fileref.h>
#include <taglib/taglib.h>

namespace {

// The captured groups of each match of pattern in the file at path, all of them in one list.
QStringList captured(const QString &path, const QString &pattern)
{
    QFile file(path);
    QStringList found;
    const QRegularExpression expression(pattern, QRegularExpression::MultilineOption);
    if (file.open(QIODevice::ReadOnly)) {
        for (auto it = expression.globalMatch(QString::fromUtf8(file.readAll())); it.hasNext();)
            found += it.next().capturedTexts().mid(1);
    }
    return found;
}

// The words of a column of the rows of filekinds.def for this TagLib (0 extensions, 1 media
// types), each once, or only the first of each row's; read here on their own, not as the build.
QStringList table(int column, bool firstOfEachRow = false)
{
    const QStringList cells = captured(
            QStringLiteral(TAGDESK_FILE_KINDS),
            QString::fromLatin1(
                    R"re(^QUILLET_FILE_NAMES\(\w+, *(\d+), *"([^"]*)", *"([^"]*)"\))re"));
    QStringList words;
    for (qsizetype row = 0; row + 2 < cells.size(); row += 3) {
        const QStringList cell = cells[row + 1 + column].split(u' ', Qt::SkipEmptyParts);
        for (const QString &word : firstOfEachRow ? cell.mid(0, 1) : cell) {
            if (cells[row].toInt() <= TAGLIB_MAJOR_VERSION && !words.contains(word))
                words += word;
        }
    }
    return words;
}

QStringList listOf(std::initializer_list<const char *> items)
{
    QStringList list;
    for (const char *item : items)
        list += QString::fromUtf8(item);
    return list;
}

} // namespace

class TestFileKinds : public QObject
{
    Q_OBJECT

private slots:
    void tableHasWhatTagLibOpens();
    void listsFollowTheTable_data();
    void listsFollowTheTable();
};

void TestFileKinds::tableHasWhatTagLibOpens()
{
    QStringList opened;
    for (const TagLib::String &extension : TagLib::FileRef::defaultFileExtensions())
        opened += QString::fromStdString(extension.to8Bit(true)).toLower();
    QStringList listed = table(0);
    opened.sort();
    listed.sort();
    QCOMPARE(listed, opened);
}

void TestFileKinds::listsFollowTheTable_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("audio files") << listOf({TAGDESK_AUDIO_EXTENSIONS}) << table(0);
    QTest::newRow("fuzz targets") << listOf({TAGDESK_FUZZ_EXTENSIONS})
                                  << table(0, true) + QStringList {QStringLiteral("bin")};
#ifdef TAGDESK_DESKTOP_ENTRY
    const QString line = captured(TAGDESK_DESKTOP_ENTRY, "^MimeType=(.*);$").value(0);
    QTest::newRow("desktop entry") << line.split(u';') << table(1);
    QTest::newRow("AppStream") << captured(TAGDESK_METAINFO, "<mediatype>(.*)</mediatype>")
                               << table(1);
#endif
}

void TestFileKinds::listsFollowTheTable()
{
    QFETCH(QStringList, list);
    QFETCH(QStringList, expected);
    QCOMPARE(list, expected);
}

QTEST_GUILESS_MAIN(TestFileKinds)
#include "tst_filekinds.moc"
