// The editor's three actions in the real main window: "Open", "Load Cover Art Image" and "Save"
// are clicked, their file dialogs answered, and the audio files checked through TagLib.
#include "audiofiles.h"
#include "mainwindow.h"
#include "profilefixture.h"
#include "testsupport.h"
#include "textfinder.h"
#include "userinput.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QTextEdit>
#include <QThreadPool>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <cstdio>
#include <memory>

#include <unistd.h>

#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

using namespace testsupport;

namespace {

// Nothing listens here: the requests sent at start fail at once and stay off the network.
const QUrl closedFeed(QStringLiteral("http://127.0.0.1:1/e/get-ad.php"));
const QString closedVersionFeed = QStringLiteral("http://127.0.0.1:1/version.xml");

const QString openAudioFilter = QStringLiteral("Audio Files (*.mp3 *.ape *.ogg *.flac)");
const QString openImageFilter = QStringLiteral("Audio Files (*.png *.jpg)");

// A picture whose left half is red and right half blue, so stretching and encoding can be
// followed. With transparent set, the left half is fully transparent instead.
QImage testImage(const QSize &size, bool transparent = false)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    const QColor left = transparent ? QColor(255, 0, 0, 0) : QColor(Qt::red);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width() / 2; ++x)
            image.setPixelColor(x, y, left);
    return image;
}

// Random pixels: JPEG compresses them little, so the image takes a while to decode.
QImage noise(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    QRandomGenerator random(1);
    for (int y = 0; y < side; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < side; ++x)
            line[x] = random.generate() | 0xFF000000u;
    }
    return image;
}

bool isJpeg(const QByteArray &bytes)
{
    return bytes.startsWith("\xFF\xD8\xFF");
}

bool isRedish(const QColor &c)
{
    return c.red() > 180 && c.green() < 80 && c.blue() < 80;
}

bool isBlueish(const QColor &c)
{
    return c.blue() > 180 && c.red() < 80 && c.green() < 80;
}

bool isWhitish(const QColor &c)
{
    return c.red() > 220 && c.green() > 220 && c.blue() > 220;
}

// One picture of a file as its own tag format holds it.
struct Cover
{
    int type = -1;
    QString mime;
    QByteArray data;

    bool operator==(const Cover &other) const
    {
        return type == other.type && mime == other.mime && data == other.data;
    }
};

QByteArray bytesOf(const TagLib::ByteVector &data)
{
    return QByteArray(data.data(), static_cast<qsizetype>(data.size()));
}

TagLib::ByteVector vectorOf(const QByteArray &bytes)
{
    return TagLib::ByteVector(bytes.constData(), static_cast<unsigned int>(bytes.size()));
}

QString kindOf(const QString &path)
{
    return path.section(QLatin1Char('.'), -1);
}

// Every picture of the file, read with TagLib's class for the file's kind.
QList<Cover> coversOf(const QString &path)
{
    QList<Cover> covers;
    const QByteArray name = fileNameBytes(path);
    const QString kind = kindOf(path);
    if (kind == QLatin1String("mp3")) {
        TagLib::MPEG::File file(name.constData());
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag(false);
        if (!tag)
            return covers;
        for (TagLib::ID3v2::Frame *frame : tag->frameList("APIC")) {
            auto *apic = static_cast<TagLib::ID3v2::AttachedPictureFrame *>(frame);
            covers << Cover {apic->type(), fromTagString(apic->mimeType()),
                             bytesOf(apic->picture())};
        }
    } else if (kind == QLatin1String("flac")) {
        TagLib::FLAC::File file(name.constData());
        for (TagLib::FLAC::Picture *picture : file.pictureList())
            covers << Cover {picture->type(), fromTagString(picture->mimeType()),
                             bytesOf(picture->data())};
    } else if (kind == QLatin1String("wma")) {
        TagLib::ASF::File file(name.constData());
        const TagLib::ASF::AttributeListMap &map = file.tag()->attributeListMap();
        if (map.contains("WM/Picture")) {
            for (const TagLib::ASF::Attribute &attribute : map["WM/Picture"]) {
                const TagLib::ASF::Picture picture = attribute.toPicture();
                covers << Cover {picture.type(), fromTagString(picture.mimeType()),
                                 bytesOf(picture.picture())};
            }
        }
    }
    return covers;
}

// The first front cover of the file, or an empty cover.
Cover frontCoverOf(const QString &path)
{
    for (const Cover &cover : coversOf(path)) {
        if (cover.type == 3)
            return cover;
    }
    return Cover();
}

// Adds a picture with TagLib's class for the file's kind.
bool addCover(const QString &path, int type, const QByteArray &data)
{
    const QByteArray name = fileNameBytes(path);
    const QString kind = kindOf(path);
    const TagLib::String mime("image/jpeg", TagLib::String::Latin1);
    if (kind == QLatin1String("mp3")) {
        TagLib::MPEG::File file(name.constData());
        auto *frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setType(static_cast<TagLib::ID3v2::AttachedPictureFrame::Type>(type));
        frame->setMimeType(mime);
        frame->setPicture(vectorOf(data));
        file.ID3v2Tag(true)->addFrame(frame);
        return file.save();
    }
    if (kind == QLatin1String("flac")) {
        TagLib::FLAC::File file(name.constData());
        auto *picture = new TagLib::FLAC::Picture;
        picture->setType(static_cast<TagLib::FLAC::Picture::Type>(type));
        picture->setMimeType(mime);
        picture->setData(vectorOf(data));
        file.addPicture(picture);
        return file.save();
    }
    if (kind == QLatin1String("wma")) {
        TagLib::ASF::File file(name.constData());
        TagLib::ASF::Picture picture;
        picture.setType(static_cast<TagLib::ASF::Picture::Type>(type));
        picture.setMimeType(mime);
        picture.setPicture(vectorOf(data));
        file.tag()->addAttribute("WM/Picture", TagLib::ASF::Attribute(picture));
        return file.save();
    }
    return false;
}

// The seven fields as they are in a file.
struct Fields
{
    QString title, artist, album, comment, genre;
    unsigned int year = 0;
    unsigned int track = 0;
};

Fields fieldsOf(const QString &path)
{
    const QByteArray name = fileNameBytes(path);
    TagLib::FileRef ref(name.constData());
    Fields fields;
    if (ref.isNull() || !ref.tag())
        return fields;
    const TagLib::Tag *tag = ref.tag();
    fields.title = fromTagString(tag->title());
    fields.artist = fromTagString(tag->artist());
    fields.album = fromTagString(tag->album());
    fields.comment = fromTagString(tag->comment());
    fields.genre = fromTagString(tag->genre());
    fields.year = tag->year();
    fields.track = tag->track();
    return fields;
}

} // namespace

class TestEditorActions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dialogs_data();
    void dialogs();
    void openShowsFile_data();
    void openShowsFile();
    void openThenSaveKeepsCovers_data();
    void openThenSaveKeepsCovers();
    void chosenCoverWritten_data();
    void chosenCoverWritten();
    void transparentImageOnWhite();
    void openWithoutCoverAfterCover_data();
    void openWithoutCoverAfterCover();
    void chosenCoverForgottenByOpen();
    void chosenImageNotLoading_data();
    void chosenImageNotLoading();
    void cancelledImageDialog();
    void cancelledOpenThenSave();
    void saveBeforeOpen();
    void unreadableFile();
    void invalidYear();
    void vanishedFile();
    void reportNeverWritten_data();
    void reportNeverWritten();
    void wideCharactersRoundTrip_data();
    void wideCharactersRoundTrip();
    void undecodableFileName();
    void replacedNameFound_data();
    void replacedNameFound();
    void pathShownAsPlainText();
    void newestCoverWins();
    void windowClosedWhileDecoding();

private:
    template<typename T> T *child(const char *name) const
    {
        return editor->findChild<T *>(QLatin1String(name));
    }
    QLineEdit *field(const char *name) const { return child<QLineEdit>(name); }

    // Clicks a button and answers the file dialog it opens; false if no dialog came.
    bool clickAndAnswer(QAbstractButton *button, const QString &path, DialogSeen *seen = nullptr);
    bool open(const QString &path) { return clickAndAnswer(openButton, path); }
    bool chooseImage(const QString &path) { return clickAndAnswer(imageButton, path); }
    void save() { QTest::mouseClick(saveButton, Qt::LeftButton); }
    // Replaces a field's text the way a user does: select all, type.
    void type(QWidget *widget, const QString &text);

    // A copy of fixture `name` (a tone) with the seven fields set and, when the kind takes
    // covers, a front cover of 500 × 300 pixels and a back cover.
    QString taggedCopy(const QString &name, const QString &as);
    QString writeImage(const QString &name, const QByteArray &bytes);

    QString status() const { return info->text(); }
    // The picture on show once a preview decoded in the background has arrived; null when
    // none comes.
    QImage waitForCover() const
    {
        const bool arrived = QTest::qWaitFor([this] { return !coverArt->pixmap().isNull(); });
        return arrived ? coverArt->pixmap().toImage() : QImage();
    }
    // A copy of tone.mp3 whose front cover is a JPEG of random pixels, slow to decode.
    QString slowCoverCopy(const QString &as);

    std::unique_ptr<ProfileFixture> fixture;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<QTemporaryDir> files;
    TextFinder *editor = nullptr;
    QLabel *info = nullptr;
    QPushButton *openButton = nullptr;
    QToolButton *imageButton = nullptr;
    QPushButton *saveButton = nullptr;
    QLabel *coverArt = nullptr;
    QTextEdit *report = nullptr;
    QByteArray frontJpeg;
    QByteArray backJpeg;
};

void TestEditorActions::initTestCase()
{
    // Qt's own dialog, which the test can find and answer; offscreen has no other anyway.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    frontJpeg = encode(testImage(QSize(500, 300)), "JPEG");
    backJpeg = encode(testImage(QSize(64, 64)).mirrored(true, false), "JPEG");
    QVERIFY(isJpeg(frontJpeg));
    QVERIFY(isJpeg(backJpeg));
}

void TestEditorActions::init()
{
    fixture = std::make_unique<ProfileFixture>();
    QVERIFY(fixture->isValid());
    QVERIFY(fixture->writeTconfig("TagDesk\nTarnwick\nTD-TEST\n"));
    QVERIFY(fixture->createDatabase({
            ProfileFixture::productTable(),
            ProfileFixture::productRow("TD-TEST", "TagDesk Test", "1.2", "http://help.test/manual",
                                       "https://home.test/p", closedVersionFeed),
    }));
    files = std::make_unique<QTemporaryDir>();
    QVERIFY(files->isValid());

    window = std::make_unique<MainWindow>(nullptr, closedFeed);
    editor = qobject_cast<TextFinder *>(window->centralWidget());
    QVERIFY(editor);
    info = window->findChild<QLabel *>(QStringLiteral("info_display"));
    openButton = child<QPushButton>("findButton");
    imageButton = child<QToolButton>("choosePicButton");
    saveButton = child<QPushButton>("saveButton");
    coverArt = child<QLabel>("coverArt");
    report = child<QTextEdit>("textEdit");
    QVERIFY(info && openButton && imageButton && saveButton && coverArt && report);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestEditorActions::cleanup()
{
    window.reset();
    files.reset();
    fixture.reset();
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
    // The wait cursor of the library calls is always taken down again.
    QVERIFY(!QGuiApplication::overrideCursor());
}

bool TestEditorActions::clickAndAnswer(QAbstractButton *button, const QString &path,
                                       DialogSeen *seen)
{
    DialogSeen local;
    DialogSeen *target = seen ? seen : &local;
    const std::unique_ptr<QTimer> answer(answerFileDialog(path, target));
    QTest::mouseClick(button, Qt::LeftButton);
    if (!target->complaint.isEmpty())
        qWarning() << "the file dialog refused" << path << ":" << target->complaint;
    return target->shown && target->complaint.isEmpty();
}

void TestEditorActions::type(QWidget *widget, const QString &text)
{
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(widget, Qt::Key_Delete);
    QTest::keyClicks(widget, text);
}

QString TestEditorActions::taggedCopy(const QString &name, const QString &as)
{
    const QString path = copyFixture(*files, name, as);
    if (path.isEmpty() || !writeFields(path))
        return QString();
    const QString kind = kindOf(path);
    if (kind == QLatin1String("mp3") || kind == QLatin1String("flac")
        || kind == QLatin1String("wma")) {
        if (!addCover(path, 3, frontJpeg) || !addCover(path, 4, backJpeg))
            return QString();
    }
    return path;
}

QString TestEditorActions::writeImage(const QString &name, const QByteArray &bytes)
{
    const QString path = files->filePath(name);
    return writeAll(path, bytes) ? path : QString();
}

void TestEditorActions::dialogs_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("filters");

    // Every kind the programs take as audio, after the first filter.
    const QString allAudio = "All audio files (" + audiofiles::namePatterns() + ")";
    QTest::newRow("Open") << "findButton"
                          << "Open Audio" << QStringList {openAudioFilter, allAudio};
    QTest::newRow("Load Cover Art Image") << "choosePicButton"
                                          << "Open Image" << QStringList {openImageFilter};
}

void TestEditorActions::dialogs()
{
    QFETCH(QString, button);
    QFETCH(QString, title);
    QFETCH(QStringList, filters);

    const QString path = taggedCopy(QStringLiteral("tone.mp3"), QStringLiteral("a.mp3"));
    QVERIFY(open(path));
    QCOMPARE(status(), QStringLiteral("Load tag OK"));
    info->clear();
    const QImage shown = waitForCover();

    // Cancelled: nothing changes and nothing is said.
    DialogSeen seen;
    QVERIFY(clickAndAnswer(editor->findChild<QAbstractButton *>(button), QString(), &seen));
    QCOMPARE(seen.title, title);
    QCOMPARE(seen.filters, filters);
    QCOMPARE(status(), QString());
    QCOMPARE(field("lineEdit_title")->text(), QStringLiteral("Tone"));
    QCOMPARE(child<QLabel>("fileLabel")->text(), path);
    QCOMPARE(coverArt->pixmap().toImage(), shown);
}

void TestEditorActions::openShowsFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("mp3") << "mp3";
    QTest::newRow("flac") << "flac";
    QTest::newRow("wma") << "wma";
}

void TestEditorActions::openShowsFile()
{
    QFETCH(QString, kind);
    const QString path = taggedCopy("tone." + kind, "song." + kind);
    QVERIFY(!path.isEmpty());

    QVERIFY(open(path));
    QCOMPARE(status(), QStringLiteral("Load tag OK"));
    QCOMPARE(child<QLabel>("fileLabel")->text(), path);
    QCOMPARE(field("lineEdit_title")->text(), QStringLiteral("Tone"));
    QCOMPARE(field("lineEdit_artist")->text(), QStringLiteral("Tester"));
    QCOMPARE(field("lineEdit_album")->text(), QStringLiteral("Fixtures"));
    QCOMPARE(field("lineEdit_year")->text(), QStringLiteral("2001"));
    QCOMPARE(field("lineEdit_comment")->text(), QStringLiteral("made at run time"));
    QCOMPARE(field("lineEdit_track")->text(), QStringLiteral("7"));
    QCOMPARE(field("lineEdit_genre")->text(), QStringLiteral("Test"));

    const QString text = report->toPlainText();
    QVERIFY(text.startsWith(QStringLiteral("-- TAG (properties)\n")));
    QVERIFY(text.contains(QStringLiteral("\"Tester\"")));
    QVERIFY(text.contains(QStringLiteral("\n-- AUDIO --\n")));

    // The 500 × 300 front cover, stretched to the square: red on the left, blue on the right.
    const QImage shown = waitForCover();
    QCOMPARE(shown.size(), QSize(240, 240));
    QVERIFY(isRedish(shown.pixelColor(30, 120)));
    QVERIFY(isBlueish(shown.pixelColor(210, 120)));
    QVERIFY(isRedish(shown.pixelColor(30, 5)));
    QVERIFY(isBlueish(shown.pixelColor(210, 235)));
}

void TestEditorActions::openThenSaveKeepsCovers_data()
{
    openShowsFile_data();
}

void TestEditorActions::openThenSaveKeepsCovers()
{
    QFETCH(QString, kind);
    const QString path = taggedCopy("tone." + kind, "song." + kind);
    QVERIFY(!path.isEmpty());
    const QList<Cover> before = coversOf(path);
    QCOMPARE(before.size(), 2);

    QVERIFY(open(path));
    type(field("lineEdit_title"), QStringLiteral("New Title"));
    type(field("lineEdit_artist"), QStringLiteral("New Artist"));
    type(field("lineEdit_album"), QStringLiteral("New Album"));
    type(field("lineEdit_year"), QStringLiteral("1999"));
    type(field("lineEdit_comment"), QStringLiteral("New Comment"));
    type(field("lineEdit_track"), QStringLiteral("12"));
    type(field("lineEdit_genre"), QStringLiteral("New Genre"));
    save();
    QCOMPARE(status(), QStringLiteral("Save tag OK"));

    const Fields after = fieldsOf(path);
    QCOMPARE(after.title, QStringLiteral("New Title"));
    QCOMPARE(after.artist, QStringLiteral("New Artist"));
    QCOMPARE(after.album, QStringLiteral("New Album"));
    QCOMPARE(after.year, 1999u);
    QCOMPARE(after.comment, QStringLiteral("New Comment"));
    QCOMPARE(after.track, 12u);
    QCOMPARE(after.genre, QStringLiteral("New Genre"));
    // The cover on screen is a 240 × 240 preview; the file keeps its own pictures.
    QVERIFY(coversOf(path) == before);
}

void TestEditorActions::chosenCoverWritten_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("withCovers");
    QTest::addColumn<QString>("imageName");
    QTest::addColumn<QByteArray>("format");

    QTest::newRow("mp3, png") << "mp3" << true << "new.png" << QByteArray("PNG");
    QTest::newRow("mp3, jpeg") << "mp3" << true << "new.jpg" << QByteArray("JPEG");
    QTest::newRow("mp3 without covers, png") << "mp3" << false << "new.png" << QByteArray("PNG");
    QTest::newRow("flac, png") << "flac" << true << "new.png" << QByteArray("PNG");
    QTest::newRow("flac, jpeg") << "flac" << true << "new.jpg" << QByteArray("JPEG");
    QTest::newRow("wma, png") << "wma" << true << "new.png" << QByteArray("PNG");
    QTest::newRow("wma, jpeg") << "wma" << true << "new.jpg" << QByteArray("JPEG");
    // The content decides, not the name.
    QTest::newRow("jpeg named .png") << "mp3" << true << "really-jpeg.png" << QByteArray("JPEG");
    QTest::newRow("png named .jpg") << "mp3" << true << "really-png.jpg" << QByteArray("PNG");
}

void TestEditorActions::chosenCoverWritten()
{
    QFETCH(QString, kind);
    QFETCH(bool, withCovers);
    QFETCH(QString, imageName);
    QFETCH(QByteArray, format);

    const QString path = withCovers ? taggedCopy("tone." + kind, "song." + kind)
                                    : copyFixture(*files, "tone." + kind, "song." + kind);
    QVERIFY(!path.isEmpty());
    const QList<Cover> before = coversOf(path);

    // Larger than the preview, not square, and unlike the file's cover (another size, blue on
    // the left): the file must get this picture in full.
    const QImage source = testImage(QSize(600, 400)).mirrored(true, false);
    const QByteArray sourceBytes = encode(source, format.constData());
    const QString image = writeImage(imageName, sourceBytes);
    QVERIFY(!image.isEmpty());

    QVERIFY(open(path));
    info->clear();
    QVERIFY(chooseImage(image));
    QCOMPARE(status(), QString()); // choosing says nothing
    const QImage shown = waitForCover();
    QCOMPARE(shown.size(), QSize(240, 240));
    QVERIFY(isBlueish(shown.pixelColor(30, 120)));
    QVERIFY(isRedish(shown.pixelColor(210, 120)));

    save();
    QCOMPARE(status(), QStringLiteral("Save tag OK"));
    const Cover front = frontCoverOf(path);
    if (format == "JPEG") {
        QCOMPARE(front.data, sourceBytes);
    } else {
        QVERIFY(isJpeg(front.data));
        const QImage written = QImage::fromData(front.data);
        QCOMPARE(written.size(), QSize(600, 400));
        QVERIFY(isBlueish(written.pixelColor(10, 200)));
        QVERIFY(isRedish(written.pixelColor(590, 200)));
    }
    if (kind != QLatin1String("wma")) // WMA covers carry no MIME type of the editor's
        QCOMPARE(front.mime, QStringLiteral("image/jpeg"));

    // The other picture stays; the front cover is the only one replaced.
    const QList<Cover> after = coversOf(path);
    QCOMPARE(after.size(), before.isEmpty() ? 1 : before.size());
    for (const Cover &cover : before) {
        if (cover.type != 3)
            QVERIFY(after.contains(cover));
    }

    // Saving again (a changed title) leaves the new cover as it is.
    type(field("lineEdit_title"), QStringLiteral("Again"));
    save();
    QCOMPARE(status(), QStringLiteral("Save tag OK"));
    QCOMPARE(fieldsOf(path).title, QStringLiteral("Again"));
    QVERIFY(coversOf(path) == after);
}

void TestEditorActions::transparentImageOnWhite()
{
    const QString path = taggedCopy(QStringLiteral("tone.mp3"), QStringLiteral("song.mp3"));
    const QString image = writeImage(QStringLiteral("clear.png"),
                                     encode(testImage(QSize(300, 200), true), "PNG"));
    QVERIFY(!path.isEmpty() && !image.isEmpty());

    QVERIFY(open(path));
    QVERIFY(chooseImage(image));
    save();
    QCOMPARE(status(), QStringLiteral("Save tag OK"));

    const QImage written = QImage::fromData(frontCoverOf(path).data);
    QCOMPARE(written.size(), QSize(300, 200));
    QVERIFY(isWhitish(written.pixelColor(10, 100)));
    QVERIFY(isBlueish(written.pixelColor(290, 100)));
}

void TestEditorActions::openWithoutCoverAfterCover_data()
{
    openShowsFile_data();
}

void TestEditorActions::openWithoutCoverAfterCover()
{
    QFETCH(QString, kind);
    const QString first = taggedCopy("tone." + kind, "first." + kind);
    const QString second = copyFixture(*files, "tone." + kind, "second." + kind);
    QVERIFY(!first.isEmpty() && !second.isEmpty());
    const QByteArray firstBytes = readAll(first);
    QVERIFY(coversOf(second).isEmpty());

    QVERIFY(open(first));
    QVERIFY(!waitForCover().isNull());
    QVERIFY(open(second));
    QCOMPARE(coverArt->text(), QStringLiteral("CoverArt"));
    QVERIFY(coverArt->pixmap().isNull());

    info->clear();
    type(field("lineEdit_title"), QStringLiteral("Second"));
    save();
    QCOMPARE(status(), QStringLiteral("Save tag OK"));
    QCOMPARE(fieldsOf(second).title, QStringLiteral("Second"));
    QVERIFY(coversOf(second).isEmpty());
    QCOMPARE(readAll(first), firstBytes);
}

void TestEditorActions::chosenCoverForgottenByOpen()
{
    const QString first = taggedCopy(QStringLiteral("tone.mp3"), QStringLiteral("first.mp3"));
    const QString second = copyFixture(*files, QStringLiteral("tone.mp3"), QStringLiteral("b.mp3"));
    const QString image = writeImage(QStringLiteral("new.png"), encode(testImage({50, 50}), "PNG"));
    QVERIFY(!first.isEmpty() && !second.isEmpty() && !image.isEmpty());

    QVERIFY(open(first));
    QVERIFY(chooseImage(image));
    // The choice is an unsaved change: Open asks first.
    QString question;
    const std::unique_ptr<QTimer> discard = answerMessageBox(QMessageBox::Discard, &question);
    QVERIFY(open(second));
    QVERIFY(!question.isEmpty());
    QCOMPARE(coverArt->text(), QStringLiteral("CoverArt"));
    QVERIFY(coverArt->pixmap().isNull());
    save();
    QCOMPARE(status(), QStringLiteral("Save tag OK"));
    QVERIFY(coversOf(second).isEmpty());
}

void TestEditorActions::chosenImageNotLoading_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text") << "bad.png" << QByteArray("this is not an image\n");
    QTest::newRow("JPEG markers, then no header")
            << "bad.jpg" << QByteArray("\xFF\xD8\xFF\xE0 and then nothing of a JPEG\n");
}

void TestEditorActions::chosenImageNotLoading()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    const QString path = taggedCopy(QStringLiteral("tone.flac"), QStringLiteral("song.flac"));
    const QString good = writeImage(QStringLiteral("good.png"), encode(testImage({50, 50}), "PNG"));
    const QString bad = writeImage(name, content);
    QVERIFY(!path.isEmpty() && !good.isEmpty() && !bad.isEmpty());
    const QList<Cover> before = coversOf(path);

    QVERIFY(open(path));
    QVERIFY(chooseImage(good));
    QVERIFY(chooseImage(bad));
    // Nothing on show and nothing to write: the earlier choice is gone too.
    QVERIFY(coverArt->pixmap().isNull());
    QCOMPARE(coverArt->text(), QString());
    save();
    QCOMPARE(status(), QStringLiteral("Save tag OK"));
    QVERIFY(coversOf(path) == before);
}

void TestEditorActions::cancelledImageDialog()
{
    const QString path = taggedCopy(QStringLiteral("tone.wma"), QStringLiteral("song.wma"));
    const QString image
            = writeImage(QStringLiteral("new.jpg"), encode(testImage({80, 40}), "JPEG"));
    QVERIFY(!path.isEmpty() && !image.isEmpty());

    QVERIFY(open(path));
    QVERIFY(chooseImage(image));
    const QImage chosen = waitForCover();
    // Cancelling a second choice keeps the first one, on screen and for the save.
    QVERIFY(chooseImage(QString()));
    QCOMPARE(coverArt->pixmap().toImage(), chosen);
    save();
    QCOMPARE(status(), QStringLiteral("Save tag OK"));
    QCOMPARE(frontCoverOf(path).data, readAll(image));
}

void TestEditorActions::cancelledOpenThenSave()
{
    const QString path = taggedCopy(QStringLiteral("tone.mp3"), QStringLiteral("song.mp3"));
    const QString image
            = writeImage(QStringLiteral("new.jpg"), encode(testImage({80, 40}), "JPEG"));
    QVERIFY(!path.isEmpty() && !image.isEmpty());

    QVERIFY(open(path));
    info->clear();
    QVERIFY(open(QString()));
    QCOMPARE(status(), QString());
    // Nothing changed: the edits made after the cancelled dialog still reach the file on show.
    QCOMPARE(child<QLabel>("fileLabel")->text(), path);
    type(field("lineEdit_title"), QStringLiteral("Kept"));
    QVERIFY(chooseImage(image));
    save();
    QCOMPARE(status(), QStringLiteral("Save tag OK"));
    QCOMPARE(frontCoverOf(path).data, readAll(image));
    QCOMPARE(field("lineEdit_title")->text(), QStringLiteral("Kept"));
}

void TestEditorActions::saveBeforeOpen()
{
    type(field("lineEdit_title"), QStringLiteral("Nowhere"));
    save();
    QCOMPARE(status(), QStringLiteral("Save error -1"));
    QCOMPARE(field("lineEdit_title")->text(), QStringLiteral("Nowhere"));
    QCOMPARE(coverArt->text(), QStringLiteral("cover"));
}

void TestEditorActions::unreadableFile()
{
    const QString good = taggedCopy(QStringLiteral("tone.mp3"), QStringLiteral("song.mp3"));
    const QString broken = writeImage(QStringLiteral("broken.ogg"), QByteArray(4096, 'x'));
    QVERIFY(!good.isEmpty() && !broken.isEmpty());

    QVERIFY(open(good));
    info->clear();
    QVERIFY(open(broken));
    QCOMPARE(status(), QStringLiteral("Load tag OK"));
    QCOMPARE(info->toolTip(), QStringLiteral("not an audio file"));
    QCOMPARE(child<QLabel>("fileLabel")->text(), broken);
    for (const char *name : {"lineEdit_title", "lineEdit_artist", "lineEdit_album", "lineEdit_year",
                             "lineEdit_comment", "lineEdit_track", "lineEdit_genre"})
        QVERIFY2(field(name)->text().isEmpty(), name);
    QCOMPARE(report->toPlainText(), QString());
    QCOMPARE(coverArt->text(), QStringLiteral("CoverArt"));
    QVERIFY(coverArt->pixmap().isNull());
}

void TestEditorActions::invalidYear()
{
    const QString path = taggedCopy(QStringLiteral("tone.mp3"), QStringLiteral("song.mp3"));
    const QString image = writeImage(QStringLiteral("new.png"), encode(testImage({50, 50}), "PNG"));
    QVERIFY(!path.isEmpty() && !image.isEmpty());
    const QByteArray bytes = readAll(path);

    QVERIFY(open(path));
    QVERIFY(chooseImage(image));
    type(field("lineEdit_title"), QStringLiteral("Changed"));
    type(field("lineEdit_year"), QStringLiteral("abc"));
    save();
    QCOMPARE(status(), QStringLiteral("Save error -1"));
    QCOMPARE(info->toolTip(),
             QStringLiteral("year or track is not a whole number from 0 to 2147483647; the file "
                            "is unchanged"));
    QCOMPARE(readAll(path), bytes);
    // The form keeps what the user typed, so it can be corrected and saved again.
    QCOMPARE(field("lineEdit_title")->text(), QStringLiteral("Changed"));
    QCOMPARE(field("lineEdit_year")->text(), QStringLiteral("abc"));

    type(field("lineEdit_year"), QStringLiteral("2012"));
    save();
    QCOMPARE(status(), QStringLiteral("Save tag OK"));
    QCOMPARE(info->toolTip(), QString());
    QCOMPARE(fieldsOf(path).title, QStringLiteral("Changed"));
    QCOMPARE(fieldsOf(path).year, 2012u);
    // The chosen cover was kept through the failed save.
    QVERIFY(isJpeg(frontCoverOf(path).data));
    QCOMPARE(QImage::fromData(frontCoverOf(path).data).size(), QSize(50, 50));
}

void TestEditorActions::undecodableFileName()
{
    // A Latin-1 name, as an old archive may hold one: Qt's own file calls cannot name it.
    const QByteArray name = QFile::encodeName(files->path()) + "/caf\xe9.mp3";
    const QString copy = copyFixture(*files, QStringLiteral("tone.mp3"));
    QCOMPARE(std::rename(QFile::encodeName(copy).constData(), name.constData()), 0);
    // Given as the library takes it: the byte 0xE9 as U+DCE9.
    QVERIFY(editor->openFile(
            files->filePath(QStringLiteral("caf") + QChar(0xDCE9) + QStringLiteral(".mp3"))));
    QCOMPARE(info->toolTip(), QString());
    type(field("lineEdit_title"), QStringLiteral("Nouveau"));
    save();
    QCOMPARE(status(), QStringLiteral("Save tag OK"));
    QCOMPARE(TagLib::FileRef(name.constData()).tag()->title(), TagLib::String("Nouveau"));
    QCOMPARE(::unlink(name.constData()), 0);
}

void TestEditorActions::replacedNameFound_data()
{
    QTest::addColumn<QByteArrayList>("names"); // each shown as "caf\uFFFD.mp3" by the dialog
    QTest::addColumn<QString>("title"); // of the file opened; empty: none is guessed
    QTest::newRow("one entry") << QByteArrayList {"caf\xe9.mp3"} << QStringLiteral("café");
    QTest::newRow("two entries alike")
            << QByteArrayList {"caf\xe9.mp3", "caf\xe8.mp3"} << QString();
}

void TestEditorActions::replacedNameFound()
{
    QFETCH(QByteArrayList, names);
    QFETCH(QString, title);
    for (const QByteArray &name : names) {
        const QByteArray path = QFile::encodeName(files->path()) + '/' + name;
        const QString copy = copyFixture(*files, QStringLiteral("tone.mp3"));
        QCOMPARE(std::rename(QFile::encodeName(copy).constData(), path.constData()), 0);
        TagLib::FileRef file(path.constData());
        file.tag()->setTitle(TagLib::String(name.chopped(4).constData(), TagLib::String::Latin1));
        QVERIFY(file.save());
    }
    QVERIFY(editor->openFile(files->filePath(QStringLiteral("caf\uFFFD.mp3"))));
    QCOMPARE(field("lineEdit_title")->text(), title);
    for (const QByteArray &name : names) // Qt's own file calls cannot name them
        QCOMPARE(::unlink((QFile::encodeName(files->path()) + '/' + name).constData()), 0);
}

void TestEditorActions::vanishedFile()
{
    const QString path = taggedCopy(QStringLiteral("tone.mp3"), QStringLiteral("song.mp3"));
    QVERIFY(!path.isEmpty());

    QVERIFY(open(path));
    const QString shownReport = report->toPlainText();
    const QImage shownCover = waitForCover();
    QVERIFY(QFile::remove(path));
    type(field("lineEdit_title"), QStringLiteral("Changed"));
    save();
    QCOMPARE(status(), QStringLiteral("Save error -1"));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(field("lineEdit_title")->text(), QStringLiteral("Changed"));
    QCOMPARE(field("lineEdit_artist")->text(), QStringLiteral("Tester"));
    QCOMPARE(child<QLabel>("fileLabel")->text(), path);
    QCOMPARE(report->toPlainText(), shownReport);
    QCOMPARE(coverArt->pixmap().toImage(), shownCover);
}

void TestEditorActions::reportNeverWritten_data()
{
    openShowsFile_data();
}

void TestEditorActions::reportNeverWritten()
{
    QFETCH(QString, kind);
    const QString path = taggedCopy("tone." + kind, "song." + kind);
    QVERIFY(!path.isEmpty());
    const QString marker = QStringLiteral("Zqxmarker");

    QVERIFY(open(path));
    report->setFocus();
    QTest::keyClick(report, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(report, marker);
    QVERIFY(report->toPlainText().contains(marker));
    save();
    QCOMPARE(status(), QStringLiteral("Save tag OK"));

    const QByteArray bytes = readAll(path);
    QVERIFY(!bytes.contains(marker.toLatin1()));
    const QByteArray utf16(reinterpret_cast<const char *>(marker.utf16()), marker.size() * 2);
    QVERIFY(!bytes.contains(utf16));

    QVERIFY(open(path));
    QVERIFY(!report->toPlainText().contains(marker));
}

void TestEditorActions::wideCharactersRoundTrip_data()
{
    openShowsFile_data();
}

void TestEditorActions::wideCharactersRoundTrip()
{
    QFETCH(QString, kind);
    const QString path = taggedCopy("tone." + kind, "song." + kind);
    QVERIFY(!path.isEmpty());
    const QString title = QStringLiteral("Tone \U0001F600 \u00e9\u4e2d");

    QVERIFY(open(path));
    QLineEdit *edit = field("lineEdit_title");
    type(edit, QStringLiteral("Tone "));
    // One key press per character, as an input method delivers text that no key names; the
    // emoji comes as one press carrying both of its UTF-16 code units.
    for (const QString &character : {QStringLiteral("\U0001F600"), QStringLiteral(" "),
                                     QStringLiteral("\u00e9"), QStringLiteral("\u4e2d")})
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, character, Qt::NoModifier);
    QCOMPARE(edit->text(), title);
    save();
    QCOMPARE(status(), QStringLiteral("Save tag OK"));
    QCOMPARE(fieldsOf(path).title, title);

    edit->clear();
    QVERIFY(open(path));
    QCOMPARE(edit->text(), title);
}

void TestEditorActions::pathShownAsPlainText()
{
    // The folder "<b>x<" holds the file "b>.mp3": the path reads ".../<b>x</b>.mp3".
    QVERIFY(QDir(files->path()).mkdir(QStringLiteral("<b>x<")));
    const QString path
            = copyFixture(*files, QStringLiteral("tone.mp3"), QStringLiteral("<b>x</b>.mp3"));
    QVERIFY(!path.isEmpty());
    QVERIFY(path.endsWith(QStringLiteral("/<b>x</b>.mp3")));

    QVERIFY(open(path));
    QCOMPARE(status(), QStringLiteral("Load tag OK"));
    QLabel *label = child<QLabel>("fileLabel");
    QCOMPARE(label->text(), path);
    QCOMPARE(label->textFormat(), Qt::PlainText);
}

QString TestEditorActions::slowCoverCopy(const QString &as)
{
    const QString path = copyFixture(*files, QStringLiteral("tone.mp3"), as);
    return !path.isEmpty() && addCover(path, 3, encode(noise(1600), "JPEG")) ? path : QString();
}

void TestEditorActions::newestCoverWins()
{
    const QString slow = slowCoverCopy(QStringLiteral("slow.mp3"));
    const QString quick = taggedCopy(QStringLiteral("tone.mp3"), QStringLiteral("quick.mp3"));
    QVERIFY(!slow.isEmpty() && !quick.isEmpty());
    QVERIFY(editor->openFile(quick));
    QVERIFY(!waitForCover().isNull());

    // The picture on show goes at once; the new one comes when decoded.
    QVERIFY(editor->openFile(slow));
    QVERIFY(coverArt->pixmap().isNull());
    QCoreApplication::processEvents(); // the slow decode starts
    QSignalSpy shown(editor, &TextFinder::coverShown);
    QVERIFY(editor->openFile(quick));
    QTRY_VERIFY(!shown.isEmpty());
    // Every decode has ended and every result has been delivered: the newest stays.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    const QImage picture = coverArt->pixmap().toImage();
    QVERIFY(isRedish(picture.pixelColor(30, 120)));
    QVERIFY(isBlueish(picture.pixelColor(210, 120)));
}

void TestEditorActions::windowClosedWhileDecoding()
{
    const QString slow = slowCoverCopy(QStringLiteral("slow.mp3"));
    QVERIFY(!slow.isEmpty());
    QVERIFY(editor->openFile(slow));
    QCoreApplication::processEvents(); // the decode starts
    window.reset();
    // The decode ends on its own data; nothing is left to deliver its result to.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
}

QTEST_MAIN(TestEditorActions)
#include "tst_editoractions.moc"
