// Several files open at once in the real window: the list, the form on a selection, the save in
// the background, read back with TagLib.
#include "filelistpanel.h"
#include "mainwindow.h"
#include "profilefixture.h"
#include "selectiontagsmodel.h"
#include "tagsession.h"
#include "tagtablepanel.h"
#include "testsupport.h"
#include "textfinder.h"
#include "userinput.h"

#include <QAbstractItemModelTester>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSqlDatabase>
#include <QTableView>
#include <QUndoStack>
#include <QtTest>

#include <memory>

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

using namespace testsupport;

namespace {

QString tagText(const QString &path, TagLib::String (TagLib::Tag::*get)() const)
{
    const TagLib::FileRef file(fileNameBytes(path).constData());
    return file.tag() ? fromTagString((file.tag()->*get)()) : QStringLiteral("unreadable");
}

} // namespace

class TestFileList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void formEditsSelection_data();
    void formEditsSelection();
    void readOnlyFileAmongThem_data();
    void readOnlyFileAmongThem();
    void cancelStopsTheSave();
    void changeDuringSaveKept_data();
    void changeDuringSaveKept();
    void removeAllAtOnce();
    void questionOnExit_data();
    void questionOnExit();
    void exitWithCellTypedInto();
    void folderWithLinkLoop_data();
    void folderWithLinkLoop();
    void renameUndoAndTagsFromNames_data();
    void renameUndoAndTagsFromNames();
    void renameAgainFromTheFolderOpened();
    void savesOnlyWhatWasEdited_data();
    void savesOnlyWhatWasEdited();
    void oneRowPerFile();
    void selectAndSaveWhileReading();
    void numberTracksInOrderShown_data();
    void numberTracksInOrderShown();
    void readAbandonedForNewOpen();
    void undoAndRedoOverSave_data();
    void undoAndRedoOverSave();
    void columnsChosenAndRemembered();
    void openAfterTheSaveEnds();
    void everyFieldBesideTheForm();

private:
    // Copies of tone.mp3 in a folder of their own, titled "Song 1", "Song 2"... on one album.
    QStringList album(int count);
    // Opens paths as the command line does and waits for every row.
    void openAll(const QStringList &paths, int rows);
    void selectAll() { QTest::keyClick(list->view(), Qt::Key_A, Qt::ControlModifier); }
    void type(const char *name, const QString &text);
    void saveAndWait();
    QString status() const { return window->findChild<QLabel *>("info_display")->text(); }
    // The session's rows as read, by number.
    RowId idAt(int row) const { return list->model()->idAt(row); }
    QString path(int row) const { return list->model()->path(idAt(row)); }
    bool modified(int row) const { return list->model()->isModified(idAt(row)); }
    QString text(int row, const TagField &field) const
    {
        return list->model()->text(
                idAt(row), QString::fromLatin1(field.key.data(), qsizetype(field.key.size())));
    }
    int rowOf(const QString &file) const
    {
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            if (path(row) == file)
                return row;
        }
        return -1;
    }
    int columnOf(const TagField &field) const
    {
        return list->model()->columnOf(
                QString::fromLatin1(field.key.data(), qsizetype(field.key.size())));
    }

    QTemporaryDir settings;
    std::unique_ptr<ProfileFixture> profile;
    std::unique_ptr<QTemporaryDir> files;
    std::unique_ptr<MainWindow> window;
    TextFinder *editor = nullptr;
    FileListPanel *list = nullptr;
};

void TestFileList::initTestCase()
{
    // The columns and the window's layout are remembered here, not in the user's settings.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
}

void TestFileList::init()
{
    QSettings().clear();
    profile = std::make_unique<ProfileFixture>();
    QVERIFY(profile->writeTestProduct(QStringLiteral("http://127.0.0.1:1/version.xml")));
    files = std::make_unique<QTemporaryDir>();
    window = std::make_unique<MainWindow>(nullptr, QUrl("http://127.0.0.1:1/e/get-ad.php"));
    editor = qobject_cast<TextFinder *>(window->centralWidget());
    list = editor->fileListPanel();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestFileList::cleanup()
{
    window.reset();
    files.reset();
    profile.reset();
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
}

QStringList TestFileList::album(int count)
{
    QDir(files->path()).mkdir("album");
    QStringList paths;
    for (int i = 1; i <= count; ++i) {
        const QString path = copyFixture(*files, "tone.mp3",
                                         QString("album/%1.mp3").arg(i, 3, 10, QChar('0')));
        TagLib::FileRef file(fileNameBytes(path).constData());
        file.tag()->setTitle(tagString(QString("Song %1").arg(i)));
        file.tag()->setAlbum("Fixtures");
        file.save();
        paths << path;
    }
    return paths;
}

void TestFileList::openAll(const QStringList &paths, int rows)
{
    QVERIFY(editor->openFiles(paths));
    QTRY_VERIFY(!list->isBusy());
    QCOMPARE(list->model()->rowCount(), rows);
    QVERIFY(list->isVisible());
    QCOMPARE(QApplication::focusWidget(), list->view());
}

void TestFileList::type(const char *name, const QString &text)
{
    auto *edit = editor->findChild<QLineEdit *>(QLatin1String("lineEdit_") + name);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

void TestFileList::saveAndWait()
{
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(list->isBusy() || !list->model()->anyModified());
    QTRY_VERIFY(!list->isBusy());
}

void TestFileList::formEditsSelection_data()
{
    QTest::addColumn<QString>("field"); // typed into the form; none when empty
    QTest::addColumn<bool>("cover"); // an image chosen for the selection
    QTest::newRow("nothing typed: no file touched") << QString() << false;
    QTest::newRow("album, the same in all") << "album" << false;
    QTest::newRow("title, differing") << "title" << false;
    QTest::newRow("a cover") << QString() << true;
}

void TestFileList::formEditsSelection()
{
    QFETCH(QString, field);
    QFETCH(bool, cover);
    const QStringList paths = album(3);
    QList<QByteArray> before;
    for (const QString &path : paths)
        before << readAll(path);
    openAll({QFileInfo(paths.first()).path()}, 3);
    selectAll();
    auto *title = editor->findChild<QLineEdit *>("lineEdit_title");
    QCOMPARE(title->text(), QString());
    QCOMPARE(title->placeholderText(), QStringLiteral("<different values>"));
    QCOMPARE(editor->findChild<QLineEdit *>("lineEdit_album")->text(), QStringLiteral("Fixtures"));

    if (!field.isEmpty())
        type(field.toLatin1().constData(), "Typed");
    const QByteArray jpeg = encode(QImage(QSize(64, 48), QImage::Format_RGB32), "JPEG");
    if (cover) {
        QVERIFY(writeAll(files->filePath("cover.jpg"), jpeg));
        editor->chooseCover(files->filePath("cover.jpg"));
    }
    QCOMPARE(window->isWindowModified(), cover || !field.isEmpty());
    saveAndWait();
    QCOMPARE(status(), QStringLiteral("Save tag OK"));
    QVERIFY(!window->isWindowModified());
    for (int i = 0; i < paths.size(); ++i) {
        if (field.isEmpty() && !cover)
            QCOMPARE(readAll(paths[i]), before[i]);
        const QString song = QString("Song %1").arg(i + 1);
        QCOMPARE(tagText(paths[i], &TagLib::Tag::title), field == "title" ? "Typed" : song);
        QCOMPARE(tagText(paths[i], &TagLib::Tag::album), field == "album" ? "Typed" : "Fixtures");
        QCOMPARE(read(paths[i]).picture, cover ? jpeg : QByteArray());
        // The row shows what the file holds now.
        QCOMPARE(text(i, tagFields[0]), field == "title" ? "Typed" : song);
    }
}

void TestFileList::readOnlyFileAmongThem_data()
{
    QTest::addColumn<int>("readOnly");
    QTest::newRow("first") << 0;
    QTest::newRow("last") << 2;
}

void TestFileList::readOnlyFileAmongThem()
{
    QFETCH(int, readOnly);
    const QStringList paths = album(3);
    // Not even root writes a file that nobody may write.
    QVERIFY(QFile::setPermissions(paths[readOnly], QFile::ReadOwner | QFile::ReadGroup));
    const QByteArray unchanged = readAll(paths[readOnly]);
    openAll(paths, 3);
    selectAll();
    type("album", "New");
    saveAndWait();
    QCOMPARE(status(), QStringLiteral("Save error -1: 1 of 3 files not saved"));
    for (int i = 0; i < paths.size(); ++i) {
        const QString shown
                = list->model()->data(list->model()->index(i, 0), Qt::DisplayRole).toString();
        QCOMPARE(modified(i), i == readOnly);
        if (i == readOnly) {
            QCOMPARE(readAll(paths[i]), unchanged);
            QVERIFY2(shown.contains("permission denied"), qPrintable(shown));
        } else {
            QCOMPARE(tagText(paths[i], &TagLib::Tag::album), QStringLiteral("New"));
        }
    }
    QVERIFY(window->isWindowModified());
}

void TestFileList::cancelStopsTheSave()
{
    const QStringList paths = album(40);
    openAll(paths, 40);
    selectAll();
    type("album", "New");
    auto *cancel = window->findChild<QPushButton *>("cancelButton");
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(cancel->isVisible());
    QTest::mouseClick(cancel, Qt::LeftButton);
    QTRY_VERIFY(!list->isBusy());
    // Those begun are saved and read back; the others are untouched and still modified.
    int saved = 0;
    for (int i = 0; i < paths.size(); ++i) {
        const bool done = tagText(paths[i], &TagLib::Tag::album) == QLatin1String("New");
        QCOMPARE(modified(i), !done);
        saved += done ? 1 : 0;
    }
    QVERIFY2(saved < paths.size(), qPrintable(status()));
    QCOMPARE(status(), QString("Save cancelled: %1 of 40 files saved").arg(saved));
}

void TestFileList::changeDuringSaveKept_data()
{
    QTest::addColumn<bool>("cover"); // dropped during the save; otherwise a cell left open
    QTest::newRow("cell still typed into on Save") << false;
    QTest::newRow("cover dropped during the save") << true;
}

void TestFileList::changeDuringSaveKept()
{
    QFETCH(bool, cover);
    const QStringList paths = album(2);
    openAll(paths, 2);
    selectAll();
    if (cover)
        type("album", "New");
    const QModelIndex cell = list->view()->model()->index(0, columnOf(tagFields[0]));
    list->view()->selectionModel()->setCurrentIndex(cell, QItemSelectionModel::NoUpdate);
    QTest::keyClick(list->view(), Qt::Key_F2);
    QWidget *cellEditor = list->view()->indexWidget(cell);
    QTest::keyClicks(cellEditor, cover ? "" : "Edited");
    QVERIFY(writeAll(files->filePath("c.jpg"), encode(QImage(8, 8, QImage::Format_RGB32), "JPEG")));
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    if (cover) // before any file's result is back: those come through the event loop
        editor->chooseCover(files->filePath("c.jpg"));
    QTRY_VERIFY(!list->isBusy());
    QCOMPARE(tagText(paths[0], &TagLib::Tag::album), cover ? "New" : "Fixtures");
    QCOMPARE(tagText(paths[0], &TagLib::Tag::title), cover ? "Song 1" : "Edited");
    QCOMPARE(modified(0), cover);
    QCOMPARE(window->isWindowModified(), cover);
}

void TestFileList::removeAllAtOnce()
{
    openAll(album(3), 3);
    selectAll();
    QSignalSpy removed(list->model(), &QAbstractItemModel::rowsRemoved);
    QTest::keyClick(list->view(), Qt::Key_Delete);
    // Each removal has the window go over every row again: thousands at once must be one.
    QCOMPARE(removed.size(), 1);
    QCOMPARE(list->model()->rowCount(), 0);
}

void TestFileList::questionOnExit_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::newRow("Save") << QMessageBox::Save;
    QTest::newRow("Discard") << QMessageBox::Discard;
    QTest::newRow("Cancel") << QMessageBox::Cancel;
}

void TestFileList::questionOnExit()
{
    QFETCH(QMessageBox::StandardButton, answer);
    const QStringList paths = album(2);
    openAll(paths, 2);
    selectAll();
    type("genre", "Jazz");
    QString question;
    const std::unique_ptr<QTimer> answering = answerMessageBox(answer, &question);
    // A save runs in the background: the window closes once it ends.
    QCOMPARE(window->close(), answer == QMessageBox::Discard);
    QVERIFY2(question.contains("2 files"), qPrintable(question));
    QTRY_COMPARE(window->isVisible(), answer == QMessageBox::Cancel);
    for (const QString &path : paths)
        QCOMPARE(tagText(path, &TagLib::Tag::genre), answer == QMessageBox::Save ? "Jazz" : "");
}

void TestFileList::exitWithCellTypedInto()
{
    const QStringList paths = album(2);
    openAll(paths, 2);
    const QModelIndex cell = list->view()->model()->index(1, columnOf(tagFields[0]));
    list->view()->setCurrentIndex(cell);
    QTest::keyClick(list->view(), Qt::Key_F2);
    QTest::keyClicks(list->view()->indexWidget(cell), "Late");
    QString question;
    const std::unique_ptr<QTimer> answering = answerMessageBox(QMessageBox::Save, &question);
    window->close();
    QTRY_VERIFY(!window->isVisible());
    QCOMPARE(tagText(paths[1], &TagLib::Tag::title), QStringLiteral("Late"));
}

void TestFileList::folderWithLinkLoop_data()
{
    QTest::addColumn<QString>("target"); // of album/sub/loop
    QTest::newRow("to its parent") << "..";
    QTest::newRow("to itself") << ".";
}

void TestFileList::folderWithLinkLoop()
{
    QFETCH(QString, target);
    const QStringList paths = album(2);
    const QString sub = files->filePath("album/sub");
    QVERIFY(QDir().mkdir(sub));
    QVERIFY(QFile::copy(paths.first(), sub + "/inner.mp3"));
    QVERIFY(QFile::link(target, sub + "/loop"));
    openAll({files->filePath("album")}, 3);
    QCOMPARE(path(2), sub + "/inner.mp3");
}

void TestFileList::renameUndoAndTagsFromNames_data()
{
    QTest::addColumn<bool>("oldNameTaken"); // by a file made after the rename
    QTest::addColumn<bool>("replaced"); // saved after the rename as a copy: a new inode
    QTest::newRow("old names free") << false << false;
    QTest::newRow("an old name taken") << true << false;
    QTest::newRow("saved with a large cover since") << false << true;
}

void TestFileList::renameUndoAndTagsFromNames()
{
    QFETCH(bool, oldNameTaken);
    QFETCH(bool, replaced);
    const QStringList paths = album(2);
    openAll(paths, 2);
    selectAll();
    type("genre", "Jazz"); // an unsaved edit goes with its row to the new name
    const auto menuAction = [this](const char *name) {
        list->contextMenu()->findChild<QAction *>(QLatin1String(name))->trigger();
    };
    auto answering = answerPatternDialog("%title%");
    menuAction("actionRename_files_from_tags");
    const QString renamed = files->filePath("album/Song 1.mp3");
    QCOMPARE(path(0), renamed);
    QVERIFY(QFile::exists(renamed) && !QFile::exists(paths[0]) && modified(0));
    if (oldNameTaken)
        QVERIFY(QFile::copy(renamed, paths[0]));
    // Offscreen, nothing gives the window back its focus once the dialog has closed.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    list->view()->setFocus();
    if (replaced) { // the cover moves the audio: the save writes a copy over the file
        const QImage large(1500, 1500, QImage::Format_RGB32);
        QVERIFY(writeAll(files->filePath("large.jpg"), encode(large, "JPEG")));
        editor->chooseCover(files->filePath("large.jpg"));
        saveAndWait();
        QTest::keyClick(list->view(), Qt::Key_Z, Qt::ControlModifier); // the cover's step
    }
    QTest::keyClick(list->view(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(path(0), oldNameTaken ? renamed : paths[0]);
    QCOMPARE(path(1), paths[1]);
    QCOMPARE(QFile::exists(renamed), oldNameTaken);

    answering = answerPatternDialog("%album%");
    menuAction("actionTags_from_file_names");
    QCOMPARE(text(1, tagFields[2]), "002");
    QCOMPARE(tagText(paths[1], &TagLib::Tag::album), "Fixtures"); // until saved
}

void TestFileList::renameAgainFromTheFolderOpened()
{
    album(2);
    openAll({files->filePath("album")}, 2);
    const auto rename = [this] {
        selectAll();
        list->contextMenu()->findChild<QAction *>("actionRename_files_from_tags")->trigger();
    };
    auto answering = answerPatternDialog("sub/%title%");
    rename();
    const QString renamed = files->filePath("album/sub/Song 1.mp3");
    QCOMPARE(path(0), renamed);
    // Again: every file is at its name already, so there is nothing to rename.
    bool canRename = true;
    QTimer::singleShot(50, this, [&canRename] {
        QWidget *dialog = QApplication::activeModalWidget();
        dialog->findChild<QLineEdit *>("pattern")->setText("sub/%title%");
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        canRename = buttons->button(QDialogButtonBox::Ok)->isEnabled();
        buttons->button(QDialogButtonBox::Cancel)->click();
    });
    rename();
    QVERIFY(!canRename);
    QCOMPARE(path(0), renamed);
}

void TestFileList::savesOnlyWhatWasEdited_data()
{
    QTest::addColumn<int>("count"); // one file opens in the form alone
    QTest::newRow("one file") << 1;
    QTest::newRow("a list") << 2;
}

void TestFileList::savesOnlyWhatWasEdited()
{
    QFETCH(int, count);
    const QStringList paths = album(count);
    QVERIFY(editor->openFiles(paths));
    QTRY_VERIFY(!list->isBusy());
    selectAll(); // of the list, hidden for one file
    type("album", "Typed");
    for (const QString &path : paths) // another program, between the read and the save
        QVERIFY(writeFields(path));
    saveAndWait();
    const QString &last = paths.last();
    QCOMPARE(tagText(last, &TagLib::Tag::title) + tagText(last, &TagLib::Tag::album), "ToneTyped");
    QTRY_COMPARE(editor->findChild<QLineEdit *>("lineEdit_title")->text(), "Tone");
}

void TestFileList::oneRowPerFile()
{
    const QStringList paths = album(2);
    QVERIFY(QFile::link(paths[1], files->filePath("link.mp3")));
    const QStringList named = {paths[0], files->filePath("album"), files->filePath("link.mp3"),
                               files->filePath("album/../album/./002.mp3")};
    openAll(named, 2);
    QSignalSpy opened(list->model(), &QAbstractItemModel::modelReset);
    QVERIFY(dropFiles(window.get(), list->view()->mapTo(window.get(), QPoint(50, 50)), named));
    QTRY_VERIFY(!opened.isEmpty() && !list->isBusy() && list->model()->rowCount() == 2);
    QCOMPARE(QStringList({path(0), path(1)}), paths);
}

void TestFileList::selectAndSaveWhileReading()
{
    // The first rows come long before the last: enough files that reading them outlasts the
    // typing, however fast a read is.
    const int count = 2000;
    for (int i = 0; i < count; ++i)
        QVERIFY(QFile::copy(fixture("tone.mp3"), files->filePath(QString("%1.mp3").arg(i))));
    QVERIFY(editor->openFiles({files->path()}));
    selectAll(); // before any row is there
    QVERIFY(QTest::qWaitFor([this] { return list->model()->rowCount() > 0; }));
    type("album", "New");
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY2(status().endsWith("files read; saved once all are read"), qPrintable(status()));
    QTRY_VERIFY_WITH_TIMEOUT(!list->isBusy() && status() == "Save tag OK", 120000);
    QCOMPARE(list->selectedIds().size(), count);
    QCOMPARE(tagText(path(0), &TagLib::Tag::album), QStringLiteral("New"));
}

void TestFileList::numberTracksInOrderShown_data()
{
    QTest::addColumn<int>("sortField"); // index into tagFields; -1: rows as read
    QTest::addColumn<QStringList>("order"); // the files numbered 1, 2, 3
    QTest::newRow("as read: by path, '-' before '/'")
            << -1 << QStringList {"CD1-bonus.mp3", "CD1/01.mp3", "CD2.mp3"};
    QTest::newRow("by year, as numbers")
            << 4 << QStringList {"CD1-bonus.mp3", "CD2.mp3", "CD1/01.mp3"};
}

void TestFileList::numberTracksInOrderShown()
{
    QFETCH(int, sortField);
    QFETCH(QStringList, order);
    const QStringList names = {"CD1/01.mp3", "CD1-bonus.mp3", "CD2.mp3"};
    const int years[] = {10, 2, 9};
    for (int i = 0; i < names.size(); ++i) {
        TagLib::FileRef file(fileNameBytes(copyFixture(*files, "tone.mp3", names[i])).constData());
        file.tag()->setYear(years[i]);
        QVERIFY(file.save());
    }
    openAll({files->path()}, 3);
    if (sortField >= 0)
        list->view()->sortByColumn(columnOf(tagFields[sortField]), Qt::AscendingOrder);
    list->view()->selectRow(1); // one row selected: every row is numbered
    list->contextMenu()->findChild<QAction *>("actionNumber_tracks")->trigger();
    for (int i = 0; i < order.size(); ++i) {
        const int row = rowOf(files->filePath(order[i]));
        QCOMPARE(text(row, tagFields[5]), QString("%1/%2").arg(i + 1).arg(order.size()));
    }
}

void TestFileList::readAbandonedForNewOpen()
{
    QVERIFY(QDir(files->path()).mkdir("many"));
    for (int i = 0; i < 2000; ++i)
        QVERIFY(!copyFixture(*files, "tone.mp3", QString("many/%1.mp3").arg(i)).isEmpty());
    const QStringList paths = album(2);
    QVERIFY(editor->openFiles({files->filePath("many")}));
    QTRY_VERIFY(list->model()->rowCount() > 0);
    QVERIFY(list->isBusy());
    // Nothing of the old read may reach the new list, however its reports were queued.
    openAll(paths, 2);
    QTest::qWait(300);
    QCOMPARE(list->model()->rowCount(), 2);
    QCOMPARE(path(0), paths[0]);
    QCOMPARE(path(1), paths[1]);
}

void TestFileList::undoAndRedoOverSave_data()
{
    QTest::addColumn<int>("count"); // one file opens in the form alone
    QTest::newRow("one file") << 1;
    QTest::newRow("a list") << 3;
}

void TestFileList::undoAndRedoOverSave()
{
    QFETCH(int, count);
    const QStringList paths = album(count);
    QVERIFY(editor->openFiles(paths));
    QTRY_VERIFY(!list->isBusy());
    QAbstractItemModelTester tester(list->proxy(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    list->view()->sortByColumn(columnOf(tagFields[0]), Qt::DescendingOrder);
    selectAll();
    type("genre", "Jazz"); // the titles differ: each file keeps its own
    saveAndWait();
    const auto genres = [&paths] {
        QStringList all;
        for (const QString &path : paths)
            all << tagText(path, &TagLib::Tag::genre);
        return all;
    };
    QCOMPARE(genres(), QStringList(count, "Jazz"));
    auto *genre = editor->findChild<QLineEdit *>("lineEdit_genre");
    // Undo after the save: the values from before it, as changes not saved.
    QTest::keyClick(genre, Qt::Key_Z, Qt::ControlModifier);
    QTRY_COMPARE(genre->text(), QString());
    QVERIFY(window->isWindowModified());
    QCOMPARE(genres(), QStringList(count, "Jazz"));
    saveAndWait();
    QCOMPARE(genres(), QStringList(count, ""));
    QTest::keyClick(genre, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_COMPARE(genre->text(), QStringLiteral("Jazz"));
    saveAndWait();
    QCOMPARE(genres(), QStringList(count, "Jazz"));
    for (int i = 0; i < count; ++i)
        QCOMPARE(tagText(paths[i], &TagLib::Tag::title), QString("Song %1").arg(i + 1));
    if (count > 1) {
        list->view()->setFocus();
        QTest::keyClick(list->view(), Qt::Key_Delete);
        QCOMPARE(list->model()->rowCount(), 0);
    }
}

void TestFileList::columnsChosenAndRemembered()
{
    openAll(album(2), 2);
    QCOMPARE(list->model()->columnOf("COMPOSER"), -1);
    const QList<QAction *> entries = list->columnMenu()->actions();
    const auto entry = [&entries](const char *key) {
        return *std::find_if(entries.begin(), entries.end(),
                             [key](QAction *action) { return action->data() == key; });
    };
    entry("COMPOSER")->trigger();
    entry("GENRE")->trigger(); // shown at first: now hidden
    const int composer = list->model()->columnOf("COMPOSER");
    QVERIFY(composer > 0 && list->model()->columnOf("GENRE") == -1);
    QHeaderView *header = list->view()->horizontalHeader();
    header->moveSection(header->visualIndex(composer), 1);
    header->resizeSection(composer, 123);

    window.reset();
    window = std::make_unique<MainWindow>(nullptr, QUrl("http://127.0.0.1:1/e/get-ad.php"));
    list = qobject_cast<TextFinder *>(window->centralWidget())->fileListPanel();
    header = list->view()->horizontalHeader();
    QCOMPARE(list->model()->columnOf("COMPOSER"), composer);
    QCOMPARE(list->model()->columnOf("GENRE"), -1);
    QCOMPARE(header->visualIndex(composer), 1);
    QCOMPARE(header->sectionSize(composer), 123);
}

void TestFileList::openAfterTheSaveEnds()
{
    const QStringList paths = album(2);
    const QString single = copyFixture(*files, "tone.mp3", "single.mp3");
    openAll(paths, 2);
    selectAll();
    type("genre", "Jazz");
    QString question;
    const std::unique_ptr<QTimer> answering = answerMessageBox(QMessageBox::Save, &question);
    // Returns at once; the file opens once the list's files are saved.
    QVERIFY(editor->openFiles({single}));
    QCOMPARE(list->model()->rowCount(), 2);
    QTRY_VERIFY(!list->isVisible());
    QCOMPARE(editor->findChild<QLabel *>("fileLabel")->text(), single);
    for (const QString &path : paths)
        QCOMPARE(tagText(path, &TagLib::Tag::genre), QStringLiteral("Jazz"));
}

void TestFileList::everyFieldBesideTheForm()
{
    const QStringList paths = album(3);
    openAll({QFileInfo(paths.first()).path()}, 3);
    selectAll();
    // The table of every field follows the list's selection.
    SelectionTagsModel *tags = window->findChild<TagTablePanel *>()->model();
    QTRY_COMPARE(tags->selection().size(), 3);
    const int title = tags->rowOf(QStringLiteral("TITLE"));
    QVERIFY(title >= 0);
    QCOMPARE(tags->index(title, SelectionTagsModel::ValueColumn).data().toString(),
             SelectionTagsModel::differentValues());
    // A field added there goes into every selected file, and the titles stay each file's own.
    const int composer = tags->addField(QStringLiteral("COMPOSER"));
    QVERIFY(tags->setData(tags->index(composer, SelectionTagsModel::ValueColumn),
                          QStringLiteral("Writer"), Qt::EditRole));
    QCOMPARE(window->findChild<QUndoStack *>()->count(), 1);
    saveAndWait();
    for (int i = 0; i < paths.size(); ++i) {
        const TagLib::FileRef file(fileNameBytes(paths[i]).constData());
        QCOMPARE(fromTagString(file.file()->properties()["COMPOSER"].toString()), "Writer");
        QCOMPARE(tagText(paths[i], &TagLib::Tag::title), QString("Song %1").arg(i + 1));
    }
    // The tools that fill the selection from elsewhere are in the list's menu.
    QStringList entries;
    for (const QAction *action : list->contextMenu()->actions())
        entries << (action->menu() ? action->menu()->title() : action->text());
    QVERIFY(entries.contains(QStringLiteral("Look up on MusicBrainz…")));
    QVERIFY(entries.contains(QStringLiteral("Compute loudness")));
}

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
