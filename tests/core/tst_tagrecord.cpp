// The full record as both programs read and save a file: the seven of the form stay the view they
// always were, while everything else the file holds comes through a save of one of them.
#include "tagrecord.h"
#include "testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

namespace {

const TagField &fieldNamed(const char *name)
{
    for (const TagField &field : tagFields) {
        if (qstrcmp(field.name, name) == 0)
            return field;
    }
    return tagFields[0];
}

QString fileProperty(const QString &path, const char *key)
{
    const TagLib::FileRef file(QFile::encodeName(path).constData());
    return testsupport::fromTagString(file.file()->properties()[key].toString(" | "));
}

bool setProperties(const QString &path, const QList<QPair<const char *, QStringList>> &keys)
{
    TagLib::FileRef file(QFile::encodeName(path).constData());
    TagLib::PropertyMap map = file.file()->properties();
    for (const auto &[key, values] : keys) {
        TagLib::StringList list;
        for (const QString &value : values)
            list.append(testsupport::tagString(value));
        map.replace(key, list);
    }
    file.file()->setProperties(map);
    return file.save();
}

} // namespace

class TestTagRecord : public QObject
{
    Q_OBJECT

private slots:
    void formKeepsTheRest_data();
    void formKeepsTheRest();
    void invalidNumberWritesNothing();
};

void TestTagRecord::formKeepsTheRest_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typedTrack");
    QTest::addColumn<QString>("savedTrack");
    for (const char *name : {"tone.mp3", "tone.ogg", "tone.flac", "tone.m4a"}) {
        QTest::addRow("%s title only", name) << name << QString() << "3/12";
        QTest::addRow("%s track keeps total", name) << name << "5"
                                                    << "5/12";
        QTest::addRow("%s track with total", name) << name << " 04/10"
                                                   << "4/10";
    }
}

// Typing into the form changes that field alone: a full date, a total, several artists, and
// keys the form does not show stay as the file has them.
void TestTagRecord::formKeepsTheRest()
{
    QFETCH(QString, name);
    QFETCH(QString, typedTrack);
    QFETCH(QString, savedTrack);
    QTemporaryDir dir;
    const QString path = testsupport::copyFixture(dir, name);
    QVERIFY(!path.isEmpty());
    QVERIFY(setProperties(path,
                          {{"DATE", {"2001-05-03"}},
                           {"TRACKNUMBER", {"3/12"}},
                           {"ARTIST", {"One", "Two"}},
                           {"ALBUMARTIST", {"Both"}}}));

    TagRecord record;
    QVERIFY(record.read(path));
    QCOMPARE(record.text(fieldNamed("year")), QStringLiteral("2001"));
    QCOMPARE(record.text(fieldNamed("track")), QStringLiteral("3"));
    QCOMPARE(record.values(QStringLiteral("artist")), QStringList({"One", "Two"}));
    QCOMPARE(record.text(fieldNamed("artist")), QStringLiteral("One; Two"));

    record.setText(fieldNamed("title"), QStringLiteral("Changed"));
    if (!typedTrack.isEmpty())
        record.setText(fieldNamed("track"), typedTrack);
    QString reason;
    QCOMPARE(record.save(path, QByteArray(), &reason), 0);
    QCOMPARE(fileProperty(path, "TITLE"), QStringLiteral("Changed"));
    QCOMPARE(fileProperty(path, "TRACKNUMBER"), savedTrack);
    QCOMPARE(fileProperty(path, "DATE"), QStringLiteral("2001-05-03"));
    QCOMPARE(fileProperty(path, "ARTIST"), QStringLiteral("One | Two"));
    QCOMPARE(fileProperty(path, "ALBUMARTIST"), QStringLiteral("Both"));
}

void TestTagRecord::invalidNumberWritesNothing()
{
    QTemporaryDir dir;
    const QString path = testsupport::copyFixture(dir, QStringLiteral("tone.flac"));
    const QByteArray before = testsupport::readAll(path);
    TagChanges changes;
    changes.set(QStringLiteral("title"), {QStringLiteral("Changed")});
    changes.setText(fieldNamed("year"), QStringLiteral("abc"));
    QString reason;
    QCOMPARE(changes.save(path, &reason), -1);
    QCOMPARE(reason,
             QStringLiteral("year or track is not a whole number from 0 to 2147483647; the file "
                            "is unchanged"));
    QCOMPARE(testsupport::readAll(path), before);
}

QTEST_GUILESS_MAIN(TestTagRecord)
#include "tst_tagrecord.moc"
