// The list's lookup and loudness tools over a real session: what they find goes into the session
// as unsaved changes, one undo step each, and nothing is written until a save.
#include "httpserver.h"
#include "lookupdialog.h"
#include "selectiontools.h"
#include "tagsession.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUndoStack>
#include <QtTest>

namespace {

const QString loveBug = QStringLiteral("aff4a693-5970-4e2e-bd46-e2ee49c22de7");

QByteArray answer(const QString &name)
{
    return testsupport::readAll(QStringLiteral(TAGDESK_TEST_DATA "/musicbrainz/") + name);
}

} // namespace

class TestSelectionTools : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void lookupAppliesAsOneStep();
    void loudnessAppliesAsOneStep();

private:
    QTemporaryDir m_settings;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QMainWindow> m_window;
    TagSession *m_session = nullptr;
    SelectionTools *m_tools = nullptr;
    QStringList m_paths;
};

void TestSelectionTools::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_settings.path()));
}

void TestSelectionTools::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_paths.clear();
    QList<SessionFile> files;
    for (const QString &title :
         {QStringLiteral("the Love Bug (cover)"), QStringLiteral("the Love Bug"),
          QStringLiteral("the Love Bug (Big Bug NYC remix)")}) {
        const QString path = testsupport::copyFixture(*m_dir, QStringLiteral("tone.flac"),
                                                      title + QStringLiteral(".flac"));
        TagChanges changes;
        changes.set(QStringLiteral("TITLE"), {title});
        changes.set(QStringLiteral("ARTIST"), {QStringLiteral("m-flo")});
        QCOMPARE(changes.save(path), 0);
        m_paths.append(path);
        files.append({path});
    }
    m_window = std::make_unique<QMainWindow>();
    m_session = new TagSession(m_window.get());
    m_tools = new SelectionTools(m_session, m_window.get());
    QSignalSpy read(m_session, &TagSession::readFinished);
    m_session->open(files);
    QVERIFY(read.wait(10000));
    // An album typed but not saved is what the lookup searches for.
    m_session->setText(m_session->allIds(), QStringLiteral("ALBUM"),
                       QStringLiteral("The Love Bug"));
    m_session->undoStack()->clear();
}

void TestSelectionTools::lookupAppliesAsOneStep()
{
    HttpServer server;
    QVERIFY(server.start());
    server.setBody(QStringLiteral("/ws/2/release"), answer(QStringLiteral("search.json")));
    server.setBody(QStringLiteral("/ws/2/release/") + loveBug,
                   answer(QStringLiteral("release-lovebug.json")));
    const QByteArray cover = testsupport::encode(QImage(16, 16, QImage::Format_RGB32), "PNG");
    server.setBody(QStringLiteral("/caa/release/") + loveBug + QStringLiteral("/front-500"), cover);
    MusicBrainzClient::Settings settings;
    settings.server = server.url(QString());
    settings.coverServer = server.url(QStringLiteral("/caa"));
    MusicBrainzClient::saveSettings(settings);

    m_tools->lookupAction()->trigger();
    LookupDialog *dialog = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(dialog = m_window->findChild<LookupDialog *>(), 10000);
    // The album typed but not saved is searched for.
    QVERIFY(dialog->findChild<QLineEdit *>("lineEdit_query")
                    ->text()
                    .contains(QLatin1String("release:\"The Love Bug\"")));
    auto *changes = dialog->findChild<QTreeWidget *>("changeList");
    QTRY_COMPARE_WITH_TIMEOUT(changes->topLevelItemCount(), 3, 10000);
    dialog->findChild<QCheckBox *>("coverBox")->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(
            dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Apply)->isEnabled(),
            10000);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->findChild<QLabel *>("coverPreview")->pixmap().isNull(),
                             10000);
    const QByteArray before = testsupport::readAll(m_paths.first());
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Apply)->click();

    QCOMPARE(m_session->undoStack()->count(), 1);
    for (const RowId id : m_session->allIds()) {
        QVERIFY(m_session->isModified(id));
        QVERIFY(!m_session->values(id, QStringLiteral("MUSICBRAINZ_ALBUMID")).isEmpty());
        QCOMPARE(m_session->newCover(id), cover);
    }
    // Nothing is written before a save.
    QCOMPARE(testsupport::readAll(m_paths.first()), before);
    m_session->undoStack()->undo();
    for (const RowId id : m_session->allIds()) {
        QVERIFY(m_session->values(id, QStringLiteral("MUSICBRAINZ_ALBUMID")).isEmpty());
        QVERIFY(m_session->newCover(id).isEmpty());
    }
}

void TestSelectionTools::loudnessAppliesAsOneStep()
{
    QSignalSpy status(m_tools, &SelectionTools::status);
    m_tools->albumLoudnessAction()->trigger();
    QVERIFY(status.wait(30000));
    QCOMPARE(status.first().at(1).toString(), QString());
    QCOMPARE(m_session->undoStack()->count(), 1);
    const QByteArray before = testsupport::readAll(m_paths.first());
    for (const RowId id : m_session->allIds()) {
        QVERIFY(m_session->text(id, QStringLiteral("REPLAYGAIN_TRACK_GAIN")).endsWith(" dB"));
        QVERIFY(m_session->text(id, QStringLiteral("REPLAYGAIN_ALBUM_GAIN")).endsWith(" dB"));
    }
    QCOMPARE(testsupport::readAll(m_paths.first()), before);
    m_session->undoStack()->undo();
    for (const RowId id : m_session->allIds())
        QVERIFY(m_session->values(id, QStringLiteral("REPLAYGAIN_TRACK_GAIN")).isEmpty());
}

QTEST_MAIN(TestSelectionTools)
#include "tst_selectiontools.moc"
