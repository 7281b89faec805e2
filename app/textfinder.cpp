#include "textfinder.h"
#include "ui_textfinder.h"

#include "quillet.h"

#include <QBuffer>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>

namespace {

// The fixed folder both file dialogs start in.
const QString startDirectory = QStringLiteral("/home/kvo");

// Every cover is shown as a square of this size, whatever its shape.
constexpr int coverSide = 240;

// The record counts picture bytes in 32 bits.
constexpr qint64 maxCoverBytes = std::numeric_limits<std::int32_t>::max();

// The record's wide strings and Qt's strings meet only here. toWCharArray writes UTF-16 where
// wchar_t has 16 bits and UTF-32 where it has 32, so the count it returns can be shorter than
// the QString: the string is cut to that count.
std::wstring toWide(const QString &text)
{
    std::wstring wide(static_cast<std::size_t>(text.size()), L'\0');
    wide.resize(static_cast<std::size_t>(text.toWCharArray(wide.data())));
    return wide;
}

QString fromWide(const std::wstring &text)
{
    return QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size()));
}

// The window cannot respond while a file is read or written; the wait cursor says so.
class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }

    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

// A cover as the editor shows it: stretched or squeezed to the square, for speed not beauty.
// An image that did not decode shows as nothing.
QPixmap coverPixmap(const QImage &image)
{
    if (image.isNull())
        return QPixmap();
    return QPixmap::fromImage(image).scaled(coverSide, coverSide, Qt::IgnoreAspectRatio,
                                            Qt::FastTransformation);
}

bool isJpeg(const QByteArray &bytes)
{
    // Every JPEG file starts with a start-of-image marker followed by another marker.
    return bytes.startsWith("\xFF\xD8\xFF");
}

// An image file made ready to become a file's cover: the bytes to store and the picture they
// hold. Both are empty when the file is not an image that can be read.
struct ChosenCover
{
    QByteArray bytes;
    QImage image;
};

ChosenCover readChosenCover(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxCoverBytes)
        return {};
    const QByteArray bytes = file.readAll();
    QImage image;
    // The format is taken from the content: an image's name need not match what it holds.
    if (!image.loadFromData(bytes))
        return {};

    // A JPEG is stored exactly as the user has it: decoding and encoding again would only
    // lose quality.
    if (isJpeg(bytes))
        return {bytes, image};

    // Any other format is stored as JPEG, encoded once from the full-size image. JPEG has no
    // transparency; transparent parts become white rather than whatever colour they hide.
    if (image.hasAlphaChannel()) {
        QImage opaque(image.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
        painter.end();
        image = opaque;
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPEG", -1) || jpeg.size() > maxCoverBytes)
        return {};
    return {jpeg, image};
}

} // namespace

TextFinder::TextFinder(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::TextFinder)
{
    ui->setupUi(this);
    // File names may look like markup ("<b>x</b>.mp3"); the path is shown as it is.
    ui->fileLabel->setTextFormat(Qt::PlainText);
    // The receiver is whatever widget hosts the editor; the main window provides the slot.
    connect(this, SIGNAL(sysInfo(QString)), parent, SLOT(updateSysInfo(QString)));
}

TextFinder::~TextFinder()
{
    delete ui;
}

void TextFinder::on_choosePicButton_clicked()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open Image"), startDirectory,
                                                      tr("Audio Files (*.png *.jpg)"));
    if (path.isEmpty())
        return;

    const WaitCursor wait;
    // An image that does not load leaves nothing to write and nothing on show; the file's
    // own cover then stays as it is.
    const ChosenCover cover = readChosenCover(path);
    pendingCover = cover.bytes;
    ui->coverArt->setPixmap(coverPixmap(cover.image));
}

void TextFinder::on_findButton_clicked()
{
    // A cancelled dialog leaves the path empty too, so a later "Save" writes nowhere.
    currentFile = QFileDialog::getOpenFileName(this, tr("Open Audio"), startDirectory,
                                               tr("Audio Files (*.mp3 *.ape *.ogg *.flac)"));
    if (currentFile.isEmpty())
        return;

    // A cover chosen but not saved belonged to the previous file.
    pendingCover.clear();
    ui->fileLabel->setText(currentFile);

    {
        const WaitCursor wait;
        tagstruct tag;
        readTag(toWide(currentFile), &tag);
        // The cover buffer is the editor's from here on.
        const std::unique_ptr<char[]> picture(tag.picture);

        ui->lineEdit_title->setText(fromWide(tag.title));
        ui->lineEdit_artist->setText(fromWide(tag.artist));
        ui->lineEdit_album->setText(fromWide(tag.album));
        ui->lineEdit_year->setText(fromWide(tag.year));
        ui->lineEdit_comment->setText(fromWide(tag.comment));
        ui->lineEdit_track->setText(fromWide(tag.track));
        ui->lineEdit_genre->setText(fromWide(tag.genre));
        // Replaces the previous file's cover, if any.
        ui->coverArt->setText(tr("CoverArt"));
        ui->textEdit->setPlainText(fromWide(tag.info));

        if (picture) {
            QImage image;
            image.loadFromData(QByteArray(picture.get(), qMax(tag.pictureSize, 0)));
            ui->coverArt->setPixmap(coverPixmap(image));
        }
    }

    emit sysInfo(tr("Load tag OK"));
}

void TextFinder::on_saveButton_clicked()
{
    tagstruct tag;
    tag.title = toWide(ui->lineEdit_title->text());
    tag.artist = toWide(ui->lineEdit_artist->text());
    tag.album = toWide(ui->lineEdit_album->text());
    tag.year = toWide(ui->lineEdit_year->text());
    tag.comment = toWide(ui->lineEdit_comment->text());
    tag.track = toWide(ui->lineEdit_track->text());
    tag.genre = toWide(ui->lineEdit_genre->text());
    // Only a newly chosen cover is written; the file's own covers are left as they are.
    // The library only reads the bytes, so it is handed the editor's buffer.
    if (!pendingCover.isEmpty()) {
        tag.picture = pendingCover.data();
        tag.pictureSize = static_cast<std::int32_t>(pendingCover.size());
    }

    int result;
    {
        const WaitCursor wait;
        result = saveTag(toWide(currentFile), &tag);
    }

    if (result == 0) {
        // The chosen cover is in the file now; a further "Save" need not write it again.
        pendingCover.clear();
        emit sysInfo(tr("Save tag OK"));
    } else {
        emit sysInfo(tr("Save error %1").arg(result));
    }
}
