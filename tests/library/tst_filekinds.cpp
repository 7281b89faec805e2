// Every list of audio files that the build makes follows the library's table of file kinds, and
// the table follows what TagLib opens by name: adding a kind is adding one row.
#include "filekindlists.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <taglib/fileref.h>
#include <taglib/taglib.h>

namespace {

struct Table
{
    QStringList extensions;
    QStringList mediaTypes;
    QStringList firstExtensions;
};

// The rows of filekinds.def for this TagLib, read here on their own rather than as the build does.
Table readTable()
{
    QFile file(QStringLiteral(TAGDESK_FILE_KINDS));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", TAGDESK_FILE_KINDS);
    static const QRegularExpression row(
            QString::fromLatin1(R"re(^QUILLET_FILE_NAMES\(\w+,\s*(\d+),\s*"([^"]*)",\s*"([^"]*)"\)$)re"),
            QRegularExpression::MultilineOption);
    Table table;
    for (auto it = row.globalMatch(QString::fromUtf8(file.readAll())); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (match.captured(1).toInt() > TAGLIB_MAJOR_VERSION)
            continue;
        const QStringList extensions = match.captured(2).split(u' ', Qt::SkipEmptyParts);
        table.extensions += extensions;
        table.firstExtensions += extensions.first();
        for (const QString &type : match.captured(3).split(u' ', Qt::SkipEmptyParts)) {
            if (!table.mediaTypes.contains(type))
                table.mediaTypes += type;
        }
    }
    return table;
}

QStringList listOf(std::initializer_list<const char *> items)
{
    QStringList list;
    for (const char *item : items)
        list += QString::fromUtf8(item);
    return list;
}

// The captures of pattern in the file at path, in order.
QStringList capturedIn(const QString &path, const QString &pattern)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("cannot read ") + path};
    QStringList found;
    const QRegularExpression expression(pattern, QRegularExpression::MultilineOption);
    for (auto it = expression.globalMatch(QString::fromUtf8(file.readAll())); it.hasNext();)
        found += it.next().captured(1);
    return found;
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
    QStringList listed = readTable().extensions;
    opened.sort();
    listed.sort();
    QCOMPARE(listed, opened);
}

void TestFileKinds::listsFollowTheTable_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QStringList>("expected");
    const Table table = readTable();
    QTest::newRow("audio files") << listOf({TAGDESK_AUDIO_EXTENSIONS}) << table.extensions;
    QTest::newRow("media types") << listOf({TAGDESK_MIME_TYPE_LIST}) << table.mediaTypes;
    QTest::newRow("fuzz targets") << listOf({TAGDESK_FUZZ_EXTENSIONS})
                                  << table.firstExtensions + QStringList {QStringLiteral("bin")};
#ifdef TAGDESK_DESKTOP_ENTRY
    QTest::newRow("desktop entry") << capturedIn(TAGDESK_DESKTOP_ENTRY, "^MimeType=(.*);$")
                                              .value(0)
                                              .split(u';')
                                   << table.mediaTypes;
    QTest::newRow("AppStream") << capturedIn(TAGDESK_METAINFO, "<mediatype>(.*)</mediatype>")
                               << table.mediaTypes;
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
