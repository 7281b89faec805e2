// The editing session without widgets: files read in the background, changes saved as change
// sets, read back with TagLib, and undone.
#include "tagsession.h"
#include "testsupport.h"

#include <QAbstractItemModelTester>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QUndoStack>

#include <taglib/fileref.h>
#include <taglib/tag.h>

using namespace testsupport;

namespace {

TagLib::Tag *tagOf(TagLib::FileRef &ref)
{
    return ref.isNull() ? nullptr : ref.tag();
}

QString titleOf(const QString &path)
{
    TagLib::FileRef ref(fileNameBytes(path).constData());
    return tagOf(ref) ? fromTagString(ref.tag()->title()) : QString();
}

QString artistOf(const QString &path)
{
    TagLib::FileRef ref(fileNameBytes(path).constData());
    return tagOf(ref) ? fromTagString(ref.tag()->artist()) : QString();
}

bool setArtist(const QString &path, const QString &artist)
{
    TagLib::FileRef ref(fileNameBytes(path).constData());
    if (!tagOf(ref))
        return false;
    ref.tag()->setArtist(tagString(artist));
    return ref.save();
}

} // namespace

class TestTagSession : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void passesTheModelTester();
    void keepsAFieldThatDiffers_data();
    void keepsAFieldThatDiffers();
    void undoAfterSaveGivesBackTheOldValues();
    void resultsFindTheirRowsByIdentity();
    void numbersEachDisc();
    void renamesAndUndoes();

private:
    // Three MP3s whose artists differ, read into session.
    void openThree(TagSession &session);

    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList m_paths;
};

void TestTagSession::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_paths.clear();
    for (int i = 0; i < 3; ++i) {
        const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"),
                                         QStringLiteral("%1.mp3").arg(i + 1));
        QVERIFY(writeFields(path));
        QVERIFY(setArtist(path, QStringLiteral("Artist %1").arg(i + 1)));
        m_paths.append(path);
    }
}

void TestTagSession::openThree(TagSession &session)
{
    QSignalSpy read(&session, &TagSession::readFinished);
    QList<SessionFile> files;
    for (const QString &path : std::as_const(m_paths))
        files.append({path});
    session.open(files);
    QVERIFY(read.wait());
    QCOMPARE(session.rowCount(), 3);
}

void TestTagSession::passesTheModelTester()
{
    TagSession session;
    QAbstractItemModelTester tester(&session,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    openThree(session);
    session.setText(session.allIds(), QStringLiteral("TITLE"), QStringLiteral("New"));
    session.setColumnKeys({QStringLiteral("DISCNUMBER"), QStringLiteral("TITLE")});
    QCOMPARE(session.data(session.index(0, 2), Qt::DisplayRole).toString(), u"New");
    session.remove({session.idAt(1)});
    session.undoStack()->undo();
    QCOMPARE(session.rowCount(), 2);
}

void TestTagSession::keepsAFieldThatDiffers_data()
{
    QTest::addColumn<bool>("throughTheModel");
    QTest::newRow("typed for the selection") << false;
    QTest::newRow("in the cell") << true;
}

void TestTagSession::keepsAFieldThatDiffers()
{
    QFETCH(bool, throughTheModel);
    TagSession session;
    openThree(session);
    QSignalSpy modified(&session, &TagSession::modificationChanged);
    if (throughTheModel) {
        for (int row = 0; row < 3; ++row)
            session.setData(session.index(row, session.columnOf(QStringLiteral("TITLE"))),
                            QStringLiteral("Same"), Qt::EditRole);
    } else {
        session.setText(session.allIds(), QStringLiteral("TITLE"), QStringLiteral("Same"));
    }
    QCOMPARE(modified.count(), 1);
    QSignalSpy saved(&session, &TagSession::saveFinished);
    session.saveModified();
    QVERIFY(saved.wait());
    QCOMPARE(saved.at(0).at(0).toInt(), 0);
    QVERIFY(!session.anyModified());
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(titleOf(m_paths[i]), u"Same");
        QCOMPARE(artistOf(m_paths[i]), QStringLiteral("Artist %1").arg(i + 1));
    }
}

void TestTagSession::undoAfterSaveGivesBackTheOldValues()
{
    TagSession session;
    openThree(session);
    const RowId first = session.idAt(0);
    // Typing is one step however many keys were pressed.
    session.setText({first}, QStringLiteral("TITLE"), QStringLiteral("N"));
    session.setText({first}, QStringLiteral("TITLE"), QStringLiteral("Ne"));
    session.setText({first}, QStringLiteral("TITLE"), QStringLiteral("New"));
    QCOMPARE(session.undoStack()->count(), 1);
    QSignalSpy saved(&session, &TagSession::saveFinished);
    session.saveModified();
    QVERIFY(saved.wait());
    QCOMPARE(titleOf(m_paths[0]), u"New");

    session.undoStack()->undo();
    QCOMPARE(session.text(first, QStringLiteral("TITLE")), u"Tone");
    QVERIFY(session.isModified(first));
    session.saveModified();
    QVERIFY(saved.wait());
    QCOMPARE(titleOf(m_paths[0]), u"Tone");

    session.undoStack()->redo();
    QVERIFY(session.isModified(first));
    QCOMPARE(session.text(first, QStringLiteral("TITLE")), u"New");
}

void TestTagSession::resultsFindTheirRowsByIdentity()
{
    TagSession session;
    openThree(session);
    session.setText(session.allIds(), QStringLiteral("TITLE"), QStringLiteral("Saved"));
    const RowId last = session.idAt(2);
    QSignalSpy saved(&session, &TagSession::saveFinished);
    session.saveModified();
    // Rows before it go while it is saved: its result still finds it.
    session.remove({session.idAt(0), session.idAt(1)});
    QVERIFY(saved.wait());
    QCOMPARE(session.rowCount(), 1);
    QCOMPARE(session.idAt(0), last);
    QVERIFY(!session.isModified(last));
    QCOMPARE(titleOf(m_paths[2]), u"Saved");
}

void TestTagSession::numbersEachDisc()
{
    TagSession session;
    openThree(session);
    const QList<RowId> ids = session.allIds();
    session.applyValues({{ids[0], {{QStringLiteral("DISCNUMBER"), {QStringLiteral("1")}}}},
                         {ids[1], {{QStringLiteral("discnumber"), {QStringLiteral("2/2")}}}},
                         {ids[2], {{QStringLiteral("DISCNUMBER"), {QStringLiteral("1/2")}}}}},
                        QStringLiteral("Look up"));
    session.numberTracks({ids[2], ids[1], ids[0]});
    QCOMPARE(session.text(ids[2], QStringLiteral("TRACKNUMBER")), u"1/2");
    QCOMPARE(session.text(ids[0], QStringLiteral("TRACKNUMBER")), u"2/2");
    QCOMPARE(session.text(ids[1], QStringLiteral("TRACKNUMBER")), u"1/1");
    session.undoStack()->undo();
    QCOMPARE(session.text(ids[1], QStringLiteral("TRACKNUMBER")), u"7");
    QCOMPARE(session.undoStack()->undoText(), u"Look up");
}

void TestTagSession::renamesAndUndoes()
{
    TagSession session;
    openThree(session);
    const RowId first = session.idAt(0);
    const QString to = QFileInfo(m_paths[0]).absolutePath() + QStringLiteral("/Renamed.mp3");
    QCOMPARE(session.rename({{first, to}, {session.idAt(1), m_paths[2]}}), 1);
    QVERIFY(QFileInfo::exists(to));
    QCOMPARE(session.path(first), to);
    session.undoStack()->undo();
    QVERIFY(QFileInfo::exists(m_paths[0]));
    QVERIFY(!QFileInfo::exists(to));
    QCOMPARE(session.path(first), m_paths[0]);
    session.undoStack()->redo();
    QVERIFY(QFileInfo::exists(to));
}

QTEST_GUILESS_MAIN(TestTagSession)
#include "tst_tagsession.moc"
