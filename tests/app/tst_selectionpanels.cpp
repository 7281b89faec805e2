// The panels of every field and every picture of a selection, offscreen over a real session.
#include "picturepanel.h"
#include "selectionpicturesmodel.h"
#include "tagsession.h"
#include "tagtablepanel.h"
#include "testsupport.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QUndoStack>

using namespace testsupport;

class TestSelectionPanels : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void addsAFieldOfSeveralValues();
    void addsAndSavesAPicture();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TagSession> m_session;
};

void TestSelectionPanels::init()
{
    m_session = std::make_unique<TagSession>();
    QSignalSpy read(m_session.get(), &TagSession::readFinished);
    m_session->open({{copyFixture(m_dir, QStringLiteral("tone.mp3"), QStringLiteral("1.mp3"))},
                     {copyFixture(m_dir, QStringLiteral("tone.mp3"), QStringLiteral("2.mp3"))}});
    QVERIFY(read.wait());
}

void TestSelectionPanels::addsAFieldOfSeveralValues()
{
    TagTablePanel panel(m_session.get());
    panel.setSelection(m_session->allIds());
    panel.show();
    panel.findChild<QComboBox *>(QStringLiteral("fieldChoice"))
            ->setEditText(QStringLiteral("album artist"));
    QCOMPARE(panel.chosenKey(), u"ALBUMARTIST");
    panel.findChild<QPushButton *>(QStringLiteral("addFieldButton"))->click();
    auto *editor = panel.view()->findChild<QPlainTextEdit *>(QStringLiteral("valueEditor"));
    QVERIFY(editor);
    editor->setPlainText(QStringLiteral("One\nTwo"));
    emit panel.view()->itemDelegate()->commitData(editor);
    for (const RowId id : m_session->allIds())
        QCOMPARE(m_session->values(id, QStringLiteral("ALBUMARTIST")),
                 QStringList({QStringLiteral("One"), QStringLiteral("Two")}));
    panel.findChild<QPushButton *>(QStringLiteral("removeFieldButton"))->click();
    QVERIFY(m_session->values(m_session->idAt(0), QStringLiteral("ALBUMARTIST")).isEmpty());
    QCOMPARE(m_session->undoStack()->count(), 2);
}

void TestSelectionPanels::addsAndSavesAPicture()
{
    PicturePanel panel(m_session.get());
    panel.setSelection(m_session->allIds());
    const int before = panel.model()->rowCount();
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QByteArray png = encode(image, "PNG");
    const QString file = m_dir.filePath(QStringLiteral("artist.png"));
    QVERIFY(writeAll(file, png));
    QSignalSpy messages(&panel, &PicturePanel::message);
    QVERIFY(!panel.addPictureFile(m_dir.filePath(QStringLiteral("1.mp3"))));
    QCOMPARE(messages.count(), 1);
    panel.setNewPictureType(8);
    QVERIFY(panel.addPictureFile(file));
    QCOMPARE(panel.model()->rowCount(), before + 1);
    QCOMPARE(panel.model()->index(before, 0).data().toString(), u"Artist");
    const QString saved = m_dir.filePath(QStringLiteral("saved.png"));
    panel.savePicture(before, saved);
    QVERIFY(messages.wait());
    QCOMPARE(readAll(saved), png);
}

QTEST_MAIN(TestSelectionPanels)
#include "tst_selectionpanels.moc"
