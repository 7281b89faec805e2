// The window as a desktop program is used day to day: a file named on the command line, files
// dropped on the window, the keyboard shortcuts, the question before unsaved changes are lost,
// the form after a save, and the folder the file dialogs start in.
#include "commandline.h"
#include "mainwindow.h"
#include "profilefixture.h"
#include "testsupport.h"
#include "textfinder.h"
#include "userinput.h"

#include <QAction>
#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QTextEdit>
#include <QWindow>
#include <QtTest>

#include <memory>

using namespace testsupport;

namespace {

// Nothing listens here: the requests sent at start fail at once and stay off the network.
const QUrl closedFeed(QStringLiteral("http://127.0.0.1:1/e/get-ad.php"));

QByteArray image(const char *format)
{
    QImage picture(QSize(300, 200), QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return bytes;
}

} // namespace

class TestEverydayUse : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fileArgument_data();
    void fileArgument();
    void commandLineOptions_data();
    void commandLineOptions();
    void drops_data();
    void drops();
    void shortcuts();
    void question_data();
    void question();
    void failedSaveKeepsChanges();
    void formAfterSave();
    void startFolder_data();
    void startFolder();

private:
    template<typename T = QLineEdit> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QString text(const char *label) const { return child<QLabel>(label)->text(); }
    QString title() const { return window->windowHandle()->title(); }
    void click(const char *button)
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }
    void type(const char *name, const QString &text);
    // A file in the temporary folder, by its name: a copy of tone.mp3 for .mp3 (any case),
    // with the fields set (title "Tone") when tagged; a PNG, a text or else a JPEG file.
    QString file(const QString &name, bool tagged = false);

    std::unique_ptr<ProfileFixture> fixture;
    std::unique_ptr<QTemporaryDir> files;
    std::unique_ptr<MainWindow> window;
    TextFinder *editor = nullptr;
};

void TestEverydayUse::initTestCase()
{
    // Qt's own dialogs, which the test can find and answer.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void TestEverydayUse::init()
{
    fixture = std::make_unique<ProfileFixture>();
    QVERIFY(fixture->isValid());
    QVERIFY(fixture->writeTestProduct(QStringLiteral("http://127.0.0.1:1/version.xml")));
    files = std::make_unique<QTemporaryDir>();
    QVERIFY(files->isValid());
    window = std::make_unique<MainWindow>(nullptr, closedFeed);
    editor = qobject_cast<TextFinder *>(window->centralWidget());
    QVERIFY(editor);
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
}

void TestEverydayUse::cleanup()
{
    window.reset();
    files.reset();
    fixture.reset();
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
}

void TestEverydayUse::type(const char *name, const QString &text)
{
    child(name)->setFocus();
    QTest::keyClick(child(name), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(child(name), text);
}

QString TestEverydayUse::file(const QString &name, bool tagged)
{
    QString path = files->filePath(name);
    if (name.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive)) {
        path = copyFixture(*files, QStringLiteral("tone.mp3"), name);
        return path.isEmpty() || (tagged && !writeFields(path)) ? QString() : path;
    }
    const QByteArray bytes = name.endsWith(QLatin1String(".png")) ? image("PNG")
            : name.endsWith(QLatin1String(".txt"))                ? QByteArray("not an image\n")
                                                                  : image("JPEG");
    return writeAll(path, bytes) ? path : QString();
}

void TestEverydayUse::fileArgument_data()
{
    QTest::addColumn<bool>("relative");
    QTest::addColumn<bool>("exists");
    QTest::newRow("absolute path") << false << true;
    QTest::newRow("relative to the working folder") << true << true;
    QTest::newRow("no such file") << false << false;
}

void TestEverydayUse::fileArgument()
{
    QFETCH(bool, relative);
    QFETCH(bool, exists);
    const QString path = exists ? file("song.mp3", true) : files->filePath("gone.mp3");
    const QString argument = relative ? QDir::current().relativeFilePath(path) : path;
    QVERIFY(!argument.isEmpty() && argument.startsWith(QLatin1Char('/')) != relative);

    CommandLine({QStringLiteral("tagdesk"), argument}).openIn(*window);
    // As "Open" of the file: one that cannot be read shows empty fields.
    QCOMPARE(text("fileLabel"), path);
    QCOMPARE(child("lineEdit_title")->text(), exists ? QStringLiteral("Tone") : QString());
    QCOMPARE(text("info_display"), QStringLiteral("Load tag OK"));
}

void TestEverydayUse::commandLineOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::newRow("--version") << QStringList {"--version"} << 0 << "tagdesk " TAGDESK_VERSION "\n";
    QTest::newRow("--help") << QStringList {"--help"} << 0 << "[FILE]";
    // Several files open as a list now; an option it does not know still ends it.
    QTest::newRow("unknown option") << QStringList {"--no-such-option"} << 1 << "";
}

void TestEverydayUse::commandLineOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QProcess tagdesk;
    tagdesk.start(QStringLiteral(TAGDESK_EXE), arguments);
    QVERIFY(tagdesk.waitForFinished(30000));
    QCOMPARE(tagdesk.exitCode(), exitCode);
    QVERIFY(QString::fromLocal8Bit(tagdesk.readAllStandardOutput()).contains(output));
}

void TestEverydayUse::drops_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("target"); // the widget the files are dropped on
    QTest::addColumn<QString>("outcome"); // "opened", "cover" or "refused"

    QTest::newRow("audio on a field") << QStringList {"new.mp3"} << "lineEdit_title"
                                      << "opened";
    QTest::newRow("audio, capital extension, on the status bar")
            << QStringList {"NEW.MP3"} << "statusbar"
            << "opened";
    QTest::newRow("PNG on the cover") << QStringList {"new.png"} << "coverArt"
                                      << "cover";
    QTest::newRow("JPEG named .dat on the report") << QStringList {"a.dat"} << "textEdit"
                                                   << "cover";
    QTest::newRow("text file on a field") << QStringList {"a.txt"} << "lineEdit_album"
                                          << "refused";
    // Several songs open as a list; with anything else among them, nothing opens.
    QTest::newRow("two songs and a text file")
            << QStringList {"new.mp3", "b.mp3", "a.txt"} << "coverArt"
            << "refused";
}

void TestEverydayUse::drops()
{
    QFETCH(QStringList, names);
    QFETCH(QString, target);
    QFETCH(QString, outcome);
    const QString base = file("base.mp3", true);
    QVERIFY(editor->openFile(base));
    QStringList paths;
    for (const QString &name : names)
        paths << file(name);

    auto *widget = window->findChild<QWidget *>(target);
    const QPoint pos = widget->mapTo(window.get(), widget->rect().center());
    QCOMPARE(dropFiles(window.get(), pos, paths), outcome != QLatin1String("refused"));
    QCoreApplication::processEvents();
    // No field and not the report gets a file's name as text.
    for (QLineEdit *edit : editor->findChildren<QLineEdit *>())
        QVERIFY(!edit->text().contains(files->path()));
    QVERIFY(!child<QTextEdit>("textEdit")->toPlainText().contains(files->path()));
    QCOMPARE(text("fileLabel"), outcome == QLatin1String("opened") ? paths.first() : base);
    if (outcome != QLatin1String("cover")) {
        QCOMPARE(title(), QStringLiteral("TagDesk Test"));
        return;
    }

    // As "Load Cover Art Image" makes it: an unsaved change, written by the next save.
    QCOMPARE(title(), QStringLiteral("TagDesk Test*"));
    click("saveButton");
    QCOMPARE(text("info_display"), QStringLiteral("Save tag OK"));
    const QByteArray written = read(base).picture;
    QVERIFY(written.startsWith("\xFF\xD8\xFF"));
    if (!names.first().endsWith(QLatin1String(".png")))
        QCOMPARE(written, readAll(paths.first())); // a JPEG's own bytes
    QCOMPARE(QImage::fromData(written).size(), QSize(300, 200));
}

void TestEverydayUse::shortcuts()
{
    const QString path = file("song.mp3", true);
    DialogSeen seen;
    {
        const std::unique_ptr<QTimer> answer = answerFileDialog(path, &seen);
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    }
    QCOMPARE(seen.title, QStringLiteral("Open Audio"));
    QCOMPARE(text("fileLabel"), path);
    // Offscreen, no window manager gives the window the focus back after the dialog.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));

    type("lineEdit_title", QStringLiteral("Keyed"));
    QTest::keyClick(child("lineEdit_title"), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(testsupport::fromWide(read(path).tag.title), QStringLiteral("Keyed"));
    QTest::keyClick(child("lineEdit_title"), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!window->isVisible());
}

void TestEverydayUse::question_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("answer"); // NoButton: nothing changed, so nothing is asked

    const QList<QPair<const char *, QMessageBox::StandardButton>> answers
            = {{"Save", QMessageBox::Save},
               {"Discard", QMessageBox::Discard},
               {"Cancel", QMessageBox::Cancel},
               {"nothing changed", QMessageBox::NoButton}};
    for (const char *action : {"Open", "Ctrl+O", "drop", "Exit", "title bar"}) {
        for (const auto &[name, button] : answers)
            QTest::addRow("%s, %s", action, name) << QString::fromLatin1(action) << int(button);
    }
}

void TestEverydayUse::question()
{
    QFETCH(QString, action);
    QFETCH(int, answer);
    const bool changed = answer != QMessageBox::NoButton;
    const QString first = file("first.mp3", true);
    const QString second = file("second.mp3");
    QVERIFY(editor->openFile(first));
    if (changed) {
        type("lineEdit_title", QStringLiteral("Changed"));
        QCOMPARE(title(), QStringLiteral("TagDesk Test*"));
    }

    QString asked;
    const auto reply = answerMessageBox(static_cast<QMessageBox::StandardButton>(answer), &asked);
    DialogSeen seen;
    const std::unique_ptr<QTimer> pick = answerFileDialog(second, &seen);
    if (action == QLatin1String("Open"))
        click("findButton");
    else if (action == QLatin1String("Ctrl+O"))
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    else if (action == QLatin1String("drop"))
        QVERIFY(dropFiles(window.get(), QPoint(5, window->height() / 2), {second}));
    else if (action == QLatin1String("Exit"))
        child<QAction>("actionExit")->trigger();
    else
        window->windowHandle()->close();
    QCoreApplication::processEvents();

    QCOMPARE(asked.isEmpty(), !changed);
    const bool goesOn = answer != QMessageBox::Cancel;
    const bool opens = action != QLatin1String("Exit") && action != QLatin1String("title bar");
    // Open asks before its dialog; a drop needs none.
    QCOMPARE(seen.shown, goesOn && (action == QLatin1String("Open") || action == "Ctrl+O"));
    QCOMPARE(text("fileLabel"), goesOn && opens ? second : first);
    QCOMPARE(window->isVisible(), !goesOn || opens);
    if (window->isVisible())
        QCOMPARE(title(),
                 goesOn ? QStringLiteral("TagDesk Test") : QStringLiteral("TagDesk Test*"));
    QCOMPARE(testsupport::fromWide(read(first).tag.title),
             answer == QMessageBox::Save ? QStringLiteral("Changed") : QStringLiteral("Tone"));
}

void TestEverydayUse::failedSaveKeepsChanges()
{
    const QString path = file("song.mp3", true);
    QVERIFY(editor->openFile(path));
    const QByteArray bytes = readAll(path);
    type("lineEdit_year", QStringLiteral("not a year"));

    QString asked;
    const std::unique_ptr<QTimer> reply = answerMessageBox(QMessageBox::Save, &asked);
    QVERIFY(!window->close());
    QVERIFY(!asked.isEmpty());
    QCOMPARE(text("info_display"), QStringLiteral("Save error -1"));
    QCOMPARE(child("lineEdit_year")->text(), QStringLiteral("not a year"));
    QCOMPARE(title(), QStringLiteral("TagDesk Test*"));
    QCOMPARE(readAll(path), bytes);
}

void TestEverydayUse::formAfterSave()
{
    const QString path = file("song.mp3", true);
    QVERIFY(editor->openFile(path));
    type("lineEdit_title", QStringLiteral("Renamed"));
    type("lineEdit_track", QStringLiteral(" 09")); // read back from the file as "9"
    editor->chooseCover(file("cover.png"));
    QSignalSpy messages(editor, &TextFinder::sysInfo);
    click("saveButton");

    QCOMPARE(messages.count(), 1); // the status stays "Save tag OK"
    QCOMPARE(messages.first().value(0).toString(), QStringLiteral("Save tag OK"));
    QVERIFY(child<QTextEdit>("textEdit")->toPlainText().contains("\"Renamed\""));
    QCOMPARE(child("lineEdit_track")->text(), QStringLiteral("9"));
    QTRY_COMPARE(child<QLabel>("coverArt")->pixmap().size(), QSize(240, 240));
    QCOMPARE(title(), QStringLiteral("TagDesk Test"));
}

void TestEverydayUse::startFolder_data()
{
    QTest::addColumn<bool>("musicFolder");
    QTest::addColumn<bool>("opened");
    QTest::newRow("home") << false << false;
    QTest::newRow("music folder") << true << false;
    QTest::newRow("folder of the last file opened") << true << true;
}

void TestEverydayUse::startFolder()
{
    QFETCH(bool, musicFolder);
    QFETCH(bool, opened);
    if (QFileInfo(QStringLiteral("/home/kvo")).isDir())
        QSKIP("/home/kvo exists here: both dialogs start there");
    const QString music = QDir(fixture->homePath()).filePath(QStringLiteral("Music"));
    QVERIFY(!musicFolder || QDir().mkpath(music));
    const QString path = file("album/song.mp3");
    QVERIFY(!opened || editor->openFile(path));
    const QString expected = opened ? QFileInfo(path).path()
            : musicFolder           ? music
                                    : QDir::homePath();

    for (const char *button : {"findButton", "choosePicButton"}) {
        DialogSeen seen;
        const std::unique_ptr<QTimer> cancel = answerFileDialog(QString(), &seen);
        QTest::mouseClick(child<QAbstractButton>(button), Qt::LeftButton);
        QCOMPARE(seen.directory, expected);
        QCOMPARE(seen.typedName, QString()); // nothing typed into the name box
    }
}

QTEST_MAIN(TestEverydayUse)
#include "tst_everydayuse.moc"
