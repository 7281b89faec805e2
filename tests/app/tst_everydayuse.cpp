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
#include <QStatusBar>
#include <QTextEdit>
#include <QWindow>
#include <QtTest>

#include <memory>

using namespace testsupport;

namespace {

// Nothing listens here: the requests sent at start fail at once and stay off the network.
const QUrl closedFeed(QStringLiteral("http://127.0.0.1:1/e/get-ad.php"));

QByteArray encodedImage(const char *format)
{
    QImage image(QSize(300, 200), QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
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
    void failedSaveKeepsWindowOpen();
    void formAfterSave();
    void startFolder_data();
    void startFolder();

private:
    QLineEdit *field(const char *name) const
    {
        return editor->findChild<QLineEdit *>(QLatin1String(name));
    }
    QString shownFile() const
    {
        return editor->findChild<QLabel *>(QStringLiteral("fileLabel"))->text();
    }
    QLabel *coverArt() const { return editor->findChild<QLabel *>(QStringLiteral("coverArt")); }
    QString report() const
    {
        return editor->findChild<QTextEdit *>(QStringLiteral("textEdit"))->toPlainText();
    }
    QString status() const
    {
        return window->findChild<QLabel *>(QStringLiteral("info_display"))->text();
    }
    QString title() const { return window->windowHandle()->title(); }
    void click(const char *button)
    {
        QTest::mouseClick(editor->findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
    }
    void type(const char *name, const QString &text);
    // A copy of tone.mp3 named name, with its fields set (title "Tone").
    QString song(const QString &name);
    QString writeFile(const QString &name, const QByteArray &bytes);

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
    QLineEdit *edit = field(name);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
}

QString TestEverydayUse::song(const QString &name)
{
    const QString path = copyFixture(*files, QStringLiteral("tone.mp3"), name);
    return !path.isEmpty() && writeFields(path) ? path : QString();
}

QString TestEverydayUse::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = files->filePath(name);
    return writeAll(path, bytes) ? path : QString();
}

void TestEverydayUse::fileArgument_data()
{
    QTest::addColumn<bool>("relative");
    QTest::addColumn<bool>("readable");
    QTest::newRow("absolute path") << false << true;
    QTest::newRow("relative to the working folder") << true << true;
    QTest::newRow("no such file") << false << false;
}

void TestEverydayUse::fileArgument()
{
    QFETCH(bool, relative);
    QFETCH(bool, readable);
    const QString path = readable ? song(QStringLiteral("song.mp3")) : files->filePath("gone.mp3");
    QVERIFY(!path.isEmpty());
    const QString argument = relative ? QDir::current().relativeFilePath(path) : path;
    QVERIFY(!relative || !argument.startsWith(QLatin1Char('/')));

    const CommandLine commandLine({QStringLiteral("tagdesk"), argument});
    QCOMPARE(commandLine.file(), path);
    commandLine.openIn(*window);
    // As "Open" of the file: a file that cannot be read shows empty fields.
    QCOMPARE(shownFile(), path);
    QCOMPARE(field("lineEdit_title")->text(), readable ? QStringLiteral("Tone") : QString());
    QCOMPARE(status(), QStringLiteral("Load tag OK"));
    QVERIFY(!window->isWindowModified());
}

void TestEverydayUse::commandLineOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");

    QTest::newRow("--version") << QStringList {"--version"} << 0
                               << QStringLiteral("tagdesk " TAGDESK_VERSION "\n");
    QTest::newRow("--help") << QStringList {"--help"} << 0 << QStringLiteral("[FILE]");
    QTest::newRow("two files") << QStringList {"a.mp3", "b.mp3"} << 1 << QString();
    QTest::newRow("unknown option") << QStringList {"--frobnicate"} << 1 << QString();
}

void TestEverydayUse::commandLineOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);

    QProcess tagdesk;
    tagdesk.start(QStringLiteral(TAGDESK_EXE), arguments);
    QVERIFY(tagdesk.waitForFinished(30000));
    QCOMPARE(tagdesk.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tagdesk.exitCode(), exitCode);
    const QString printed = QString::fromLocal8Bit(tagdesk.readAllStandardOutput());
    if (exitCode == 0)
        QVERIFY2(printed.contains(output), qPrintable(printed));
    else
        QVERIFY(!tagdesk.readAllStandardError().isEmpty());
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
    QTest::newRow("JPEG on a field") << QStringList {"new.jpg"} << "lineEdit_album"
                                     << "cover";
    QTest::newRow("JPEG named .dat on the report") << QStringList {"photo.dat"} << "textEdit"
                                                   << "cover";
    QTest::newRow("text file on a field") << QStringList {"notes.txt"} << "lineEdit_title"
                                          << "refused";
    QTest::newRow("folder on a field") << QStringList {"folder"} << "lineEdit_title"
                                       << "refused";
    QTest::newRow("two songs") << QStringList {"new.mp3", "b.mp3"} << "coverArt"
                               << "refused";
}

void TestEverydayUse::drops()
{
    QFETCH(QStringList, names);
    QFETCH(QString, target);
    QFETCH(QString, outcome);

    const QString base = song(QStringLiteral("base.mp3"));
    QVERIFY(editor->openFile(base));
    const QByteArray baseBytes = readAll(base);
    QStringList paths;
    for (const QString &name : names) {
        if (name.endsWith(QLatin1String("mp3"), Qt::CaseInsensitive))
            paths << copyFixture(*files, QStringLiteral("tone.mp3"), name);
        else if (name.endsWith(QLatin1String(".png")))
            paths << writeFile(name, encodedImage("PNG"));
        else if (name.endsWith(QLatin1String(".txt")))
            paths << writeFile(name, "not an image\n");
        else if (name == QLatin1String("folder") && QDir(files->path()).mkdir(name))
            paths << files->filePath(name);
        else
            paths << writeFile(name, encodedImage("JPEG"));
        QVERIFY(!paths.last().isEmpty());
    }

    auto *widget = window->findChild<QWidget *>(target);
    QVERIFY(widget);
    const QPoint pos = widget->mapTo(window.get(), widget->rect().center());
    const bool accepted = dropFiles(window.get(), pos, paths);
    QCoreApplication::processEvents();
    QCOMPARE(accepted, outcome != QLatin1String("refused"));

    // Whatever happens, no field and not the report gets the name as text.
    for (QLineEdit *edit : editor->findChildren<QLineEdit *>())
        QVERIFY(!edit->text().contains(files->path()));
    QVERIFY(!report().contains(files->path()));

    if (outcome == QLatin1String("opened")) {
        QCOMPARE(shownFile(), paths.first());
        QCOMPARE(field("lineEdit_title")->text(), QString());
        QCOMPARE(status(), QStringLiteral("Load tag OK"));
        return;
    }
    QCOMPARE(shownFile(), base);
    QCOMPARE(field("lineEdit_title")->text(), QStringLiteral("Tone"));
    if (outcome == QLatin1String("refused")) {
        QVERIFY(!window->isWindowModified());
        QVERIFY(coverArt()->pixmap().isNull());
        return;
    }

    // The chosen cover, as "Load Cover Art Image" makes it: an unsaved change until saved.
    QCOMPARE(coverArt()->pixmap().size(), QSize(240, 240));
    QVERIFY(window->isWindowModified());
    QCOMPARE(title(), QStringLiteral("TagDesk Test*"));
    QCOMPARE(readAll(base), baseBytes);
    click("saveButton");
    QCOMPARE(status(), QStringLiteral("Save tag OK"));
    QCOMPARE(title(), QStringLiteral("TagDesk Test"));
    const QByteArray written = read(base).picture;
    QVERIFY(written.startsWith("\xFF\xD8\xFF"));
    if (!names.first().endsWith(QLatin1String(".png")))
        QCOMPARE(written, readAll(paths.first())); // a JPEG's own bytes
    QCOMPARE(QImage::fromData(written).size(), QSize(300, 200));
}

void TestEverydayUse::shortcuts()
{
    const QString path = song(QStringLiteral("song.mp3"));
    QVERIFY(!path.isEmpty());

    DialogSeen seen;
    {
        const std::unique_ptr<QTimer> answer = answerFileDialog(path, &seen);
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    }
    QCOMPARE(seen.title, QStringLiteral("Open Audio"));
    QCOMPARE(shownFile(), path);
    // Offscreen, no window manager gives the window the focus back after the dialog.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));

    type("lineEdit_title", QStringLiteral("Keyed"));
    QTest::keyClick(field("lineEdit_title"), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(status(), QStringLiteral("Save tag OK"));
    QCOMPARE(fromWide(read(path).tag.title), QStringLiteral("Keyed"));

    QTest::keyClick(field("lineEdit_title"), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!window->isVisible());
}

void TestEverydayUse::question_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<int>("answer");

    const QStringList actions = {"Open", "Ctrl+O", "drop", "Exit", "title bar"};
    const QList<QPair<const char *, QMessageBox::StandardButton>> answers
            = {{"Save", QMessageBox::Save},
               {"Discard", QMessageBox::Discard},
               {"Cancel", QMessageBox::Cancel}};
    for (const QString &action : actions) {
        for (const auto &[name, button] : answers)
            QTest::addRow("%s, %s", qPrintable(action), name) << action << true << int(button);
        QTest::addRow("%s, nothing changed", qPrintable(action))
                << action << false << int(QMessageBox::NoButton);
    }
}

void TestEverydayUse::question()
{
    QFETCH(QString, action);
    QFETCH(bool, changed);
    QFETCH(int, answer);

    const QString first = song(QStringLiteral("first.mp3"));
    const QString second = copyFixture(*files, QStringLiteral("tone.mp3"), QStringLiteral("2.mp3"));
    QVERIFY(!first.isEmpty() && !second.isEmpty());
    QVERIFY(editor->openFile(first));
    QCOMPARE(title(), QStringLiteral("TagDesk Test"));
    if (changed) {
        type("lineEdit_title", QStringLiteral("Changed"));
        QVERIFY(window->isWindowModified());
        QCOMPARE(title(), QStringLiteral("TagDesk Test*"));
    }

    QString asked;
    const std::unique_ptr<QTimer> reply
            = answerMessageBox(static_cast<QMessageBox::StandardButton>(answer), &asked);
    DialogSeen seen;
    const std::unique_ptr<QTimer> pick = answerFileDialog(second, &seen);
    if (action == QLatin1String("Open"))
        click("findButton");
    else if (action == QLatin1String("Ctrl+O"))
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    else if (action == QLatin1String("drop"))
        QVERIFY(dropFiles(window.get(), QPoint(5, window->height() / 2), {second}));
    else if (action == QLatin1String("Exit"))
        window->findChild<QAction *>(QStringLiteral("actionExit"))->trigger();
    else
        window->windowHandle()->close();
    QCoreApplication::processEvents();

    QCOMPARE(asked.isEmpty(), !changed);
    const bool goesOn = answer != QMessageBox::Cancel;
    const bool opens = action != QLatin1String("Exit") && action != QLatin1String("title bar");
    if (!goesOn) {
        QCOMPARE(field("lineEdit_title")->text(), QStringLiteral("Changed"));
        QCOMPARE(title(), QStringLiteral("TagDesk Test*"));
    } else if (opens) {
        QCOMPARE(shownFile(), second);
        QCOMPARE(title(), QStringLiteral("TagDesk Test"));
    }
    QCOMPARE(shownFile(), goesOn && opens ? second : first);
    QCOMPARE(window->isVisible(), !goesOn || opens);
    // Open asks before its dialog; a drop needs none.
    QCOMPARE(seen.shown, goesOn && (action == QLatin1String("Open") || action == "Ctrl+O"));
    QCOMPARE(fromWide(read(first).tag.title),
             answer == QMessageBox::Save ? QStringLiteral("Changed") : QStringLiteral("Tone"));
}

void TestEverydayUse::failedSaveKeepsWindowOpen()
{
    const QString path = song(QStringLiteral("song.mp3"));
    QVERIFY(editor->openFile(path));
    const QByteArray bytes = readAll(path);
    type("lineEdit_year", QStringLiteral("not a year"));

    QString asked;
    const std::unique_ptr<QTimer> reply = answerMessageBox(QMessageBox::Save, &asked);
    QVERIFY(!window->close());
    QVERIFY(!asked.isEmpty());
    QVERIFY(window->isVisible());
    QCOMPARE(status(), QStringLiteral("Save error -1"));
    QCOMPARE(field("lineEdit_year")->text(), QStringLiteral("not a year"));
    QVERIFY(window->isWindowModified());
    QCOMPARE(readAll(path), bytes);
}

void TestEverydayUse::formAfterSave()
{
    const QString path = song(QStringLiteral("song.mp3"));
    const QString image = writeFile(QStringLiteral("cover.png"), encodedImage("PNG"));
    QVERIFY(editor->openFile(path));
    QVERIFY(!report().contains(QStringLiteral("Renamed")));
    QCOMPARE(coverArt()->text(), QStringLiteral("CoverArt"));

    type("lineEdit_title", QStringLiteral("Renamed"));
    // Written as the number it reads as, and shown so after the save.
    type("lineEdit_track", QStringLiteral(" 09"));
    editor->chooseCover(image);
    QSignalSpy messages(editor, &TextFinder::sysInfo);
    click("saveButton");

    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().first().toString(), QStringLiteral("Save tag OK"));
    QCOMPARE(status(), QStringLiteral("Save tag OK"));
    QVERIFY(report().contains(QStringLiteral("\"Renamed\"")));
    QCOMPARE(field("lineEdit_track")->text(), QStringLiteral("9"));
    QCOMPARE(coverArt()->pixmap().size(), QSize(240, 240));
    QVERIFY(!window->isWindowModified());
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
    const QString path = copyFixture(*files, QStringLiteral("tone.mp3"), "album/song.mp3");
    if (opened)
        QVERIFY(editor->openFile(path));
    const QString expected = opened ? QFileInfo(path).absolutePath()
            : musicFolder           ? music
                                    : fixture->homePath();

    for (const char *button : {"findButton", "choosePicButton"}) {
        DialogSeen seen;
        const std::unique_ptr<QTimer> cancel = answerFileDialog(QString(), &seen);
        QTest::mouseClick(editor->findChild<QAbstractButton *>(QLatin1String(button)),
                          Qt::LeftButton);
        QVERIFY(seen.shown);
        QCOMPARE(seen.directory, expected);
        QCOMPARE(seen.typedName, QString());
    }
}

QTEST_MAIN(TestEverydayUse)
#include "tst_everydayuse.moc"
