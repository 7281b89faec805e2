// The two pattern dialogs, driven as a user would: a pattern typed, the preview read, OK pressed.
#include "namestagsdialog.h"
#include "renamedialog.h"
#include "testsupport.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {

FileFields listed(const QString &path, const QString &title, const QString &track)
{
    FileFields file {path, {}};
    file.texts[0] = title;
    file.texts[5] = track;
    return file;
}

void type(QDialog &dialog, const QString &pattern)
{
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("pattern"));
    edit->selectAll();
    QTest::keyClicks(edit, pattern);
}

QString shown(QDialog &dialog, int row)
{
    const QTableWidgetItem *item = dialog.findChild<QTableWidget *>()->item(row, 1);
    return item ? item->text() + (item->data(Qt::UserRole).toBool() ? "!" : "") : QString();
}

void pressOk(QDialog &dialog)
{
    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
}

} // namespace

class TestNameDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void renamePreviewAndApply();
    void tagsFromNames();

private:
    QTemporaryDir m_settings;
};

void TestNameDialogs::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_settings.path()));
}

void TestNameDialogs::renamePreviewAndApply()
{
    QTemporaryDir dir;
    for (const char *name : {"a.mp3", "b.flac", "c.mp3", "Taken.mp3"})
        testsupport::copyFixture(dir, QStringLiteral("tone.mp3"), QLatin1String(name));
    RenameDialog dialog({listed(dir.filePath("a.mp3"), "One", "1"),
                         listed(dir.filePath("b.flac"), "Two", "2"),
                         listed(dir.filePath("c.mp3"), "Taken", "")});
    type(dialog, QStringLiteral("%track:2% %title%"));
    QCOMPARE(shown(dialog, 0), QStringLiteral("01 One.mp3"));
    QCOMPARE(shown(dialog, 2), QStringLiteral("Unknown Track Taken.mp3"));
    type(dialog, QStringLiteral("%title%"));
    QCOMPARE(shown(dialog, 1), QStringLiteral("Two.flac"));
    QCOMPARE(shown(dialog, 2), QStringLiteral("a file of the new name exists!"));
    QVERIFY(QFile::exists(dir.filePath("a.mp3")));

    pressOk(dialog);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.renamed().size(), 2);
    QCOMPARE(dialog.renamed()[1].to, dir.filePath("Two.flac"));
    QCOMPARE(dialog.failures(),
             QStringList {dir.filePath("c.mp3") + ": a file of the new name exists"});
    QCOMPARE(testsupport::entriesUnder(dir.path()),
             QStringList({"One.mp3", "Taken.mp3", "Two.flac", "c.mp3"}));
    QCOMPARE(RenameDialog({}).pattern(), QStringLiteral("%title%"));
}

void TestNameDialogs::tagsFromNames()
{
    QTemporaryDir dir;
    const QString named = testsupport::copyFixture(dir, "tone.mp3", "03 - Art - Song.mp3");
    const QString other = testsupport::copyFixture(dir, "tone.mp3", "Intro.mp3");
    NamesTagsDialog dialog({listed(named, "Song", ""), listed(other, "", "")});
    type(dialog, QStringLiteral("%track% - %artist% - %title%"));
    // The title is already what the name says: only the others change.
    QCOMPARE(shown(dialog, 0), QStringLiteral("Track: 3; Artist: Art"));
    QCOMPARE(shown(dialog, 1), QStringLiteral("the name does not match the pattern!"));
    pressOk(dialog);
    QCOMPARE(dialog.changes().size(), 1);
    QCOMPARE(dialog.changes()[0].path, named);
    QCOMPARE(dialog.changes()[0].fields.size(), 2);
    QCOMPARE(dialog.changes()[0].fields[1].text, QStringLiteral("Art"));
}

QTEST_MAIN(TestNameDialogs)
#include "tst_namedialogs.moc"
