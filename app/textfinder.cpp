#include "textfinder.h"
#include "ui_textfinder.h"

#include "chosencover.h"
#include "coverimage.h"
#include "failurereason.h"
#include "quillet.h"
#include "widetext.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QShortcut>
#include <QStandardPaths>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>

namespace {

// The folder both file dialogs have always started in, where it exists.
const QString fixedStartFolder = QStringLiteral("/home/kvo");

// The window cannot respond while a file is read or written; the wait cursor says so.
class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }

    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

// A cover as the editor shows it; an image that did not decode shows as nothing.
QPixmap coverPixmap(const QImage &shown)
{
    return shown.isNull() ? QPixmap() : QPixmap::fromImage(shown);
}

} // namespace

TextFinder::TextFinder(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::TextFinder)
{
    ui->setupUi(this);
    // File names may look like markup ("<b>x</b>.mp3"); the path is shown as it is.
    ui->fileLabel->setTextFormat(Qt::PlainText);
    createShortcuts();
    createChangeTracking();
    connect(&preview, &CoverPreview::decoded, this, &TextFinder::showCover);
    // The receiver is whatever widget hosts the editor; the main window provides the slot.
    connect(this, SIGNAL(sysInfo(QString)), parent, SLOT(updateSysInfo(QString)));
}

TextFinder::~TextFinder()
{
    delete ui;
}

void TextFinder::createShortcuts()
{
    // The standard keys of the desktop (Ctrl+O, Ctrl+S), doing what a click on the button does.
    auto *open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, ui->findButton, &QAbstractButton::click);
    auto *save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, ui->saveButton, &QAbstractButton::click);
}

void TextFinder::createChangeTracking()
{
    // Only what the user types counts; the report pane is never saved, so edits there do not.
    for (QLineEdit *field :
         {ui->lineEdit_title, ui->lineEdit_artist, ui->lineEdit_album, ui->lineEdit_year,
          ui->lineEdit_comment, ui->lineEdit_track, ui->lineEdit_genre})
        connect(field, &QLineEdit::textEdited, this, &TextFinder::fieldEdited);
}

bool TextFinder::openFile(const QString &path)
{
    if (!maybeSave())
        return false;
    report(tr("Load tag OK"), loadFile(path));
    return true;
}

void TextFinder::chooseCover(const QString &path)
{
    const WaitCursor wait;
    // An image that does not load leaves nothing to write and nothing on show; the file's
    // own cover then stays as it is.
    const ChosenCover cover = ::chooseCover(path);
    pendingCover = cover.bytes;
    // The previous picture goes at once, and a preview still on its way is not shown. An image
    // decoded on the way is shown from that; a JPEG's preview is decoded in the background.
    preview.cancel();
    const QImage shown = coverimage::scaledShown(cover.image);
    ui->coverArt->setPixmap(coverPixmap(shown));
    if (shown.isNull() && !pendingCover.isEmpty())
        preview.decode(pendingCover);
    else
        emit coverShown();
    if (!pendingCover.isEmpty())
        setModified(true);
}

bool TextFinder::maybeSave()
{
    if (!modified)
        return true;
    const QMessageBox::StandardButton answer = QMessageBox::warning(
            this, tr("Unsaved Changes"),
            tr("The tags have been changed.\nDo you want to save your changes?"),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return save();
    return answer == QMessageBox::Discard;
}

void TextFinder::on_choosePicButton_clicked()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open Image"), dialogFolder(),
                                                      tr("Audio Files (*.png *.jpg)"));
    if (path.isEmpty())
        return;
    chooseCover(path);
}

void TextFinder::on_findButton_clicked()
{
    if (!maybeSave())
        return;
    // A cancelled dialog changes nothing: the form, its edits and the chosen cover still belong
    // to the file on show, so "Save" must still write there.
    const QString chosen = QFileDialog::getOpenFileName(
            this, tr("Open Audio"), dialogFolder(), tr("Audio Files (*.mp3 *.ape *.ogg *.flac)"));
    if (chosen.isEmpty())
        return;
    report(tr("Load tag OK"), loadFile(chosen));
}

void TextFinder::on_saveButton_clicked()
{
    save();
}

QString TextFinder::loadFile(const QString &given)
{
    const QString path = existingName(given);
    currentFile = path;
    lastFolder = QFileInfo(path).absolutePath();
    QString reason;
    // A cover chosen but not saved belonged to the previous file.
    pendingCover.clear();
    ui->fileLabel->setText(path);

    {
        const WaitCursor wait;
        tagstruct tag;
        readTag(toWide(path), &tag);
        if (errno != 0)
            reason = failureReason(errno);
        // The cover buffer is the editor's from here on.
        std::unique_ptr<char[]> picture(tag.picture);

        ui->lineEdit_title->setText(fromWide(tag.title));
        ui->lineEdit_artist->setText(fromWide(tag.artist));
        ui->lineEdit_album->setText(fromWide(tag.album));
        ui->lineEdit_year->setText(fromWide(tag.year));
        ui->lineEdit_comment->setText(fromWide(tag.comment));
        ui->lineEdit_track->setText(fromWide(tag.track));
        ui->lineEdit_genre->setText(fromWide(tag.genre));
        // Replaces the previous file's cover, if any, until this file's arrives.
        ui->coverArt->setText(tr("CoverArt"));
        ui->textEdit->setPlainText(fromWide(tag.info));

        // Only the preview is decoded in the background, from the buffer handed over to it;
        // everything else is on show when this returns.
        if (picture) {
            preview.decode(std::move(picture), tag.pictureSize);
        } else {
            preview.cancel();
            emit coverShown();
        }
    }
    setModified(false);
    return reason;
}

bool TextFinder::save()
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
    int error;
    {
        const WaitCursor wait;
        result = saveTag(toWide(currentFile), &tag);
        error = errno;
    }

    if (result != 0) {
        // Everything stays on show, so it can be corrected and saved again.
        report(tr("Save error %1").arg(result),
               failureReason(error) + tr("; the file is unchanged"));
        return false;
    }
    // What the file holds now, as the next open would show it: the chosen cover becomes the
    // file's own, and the report tells the new values.
    loadFile(currentFile);
    report(tr("Save tag OK"), QString());
    return true;
}

void TextFinder::report(const QString &message, const QString &reason)
{
    emit sysInfo(message);
    emit sysInfoReason(reason);
}

void TextFinder::setModified(bool changed)
{
    if (modified == changed)
        return;
    modified = changed;
    emit modificationChanged(modified);
}

void TextFinder::showCover(const QImage &image)
{
    ui->coverArt->setPixmap(coverPixmap(image));
    emit coverShown();
}

QString TextFinder::dialogFolder() const
{
    // A folder that does not exist would be split by the dialog into a parent folder and a
    // file name typed into its name box.
    const auto exists
            = [](const QString &folder) { return !folder.isEmpty() && QFileInfo(folder).isDir(); };
    if (exists(fixedStartFolder))
        return fixedStartFolder;
    if (exists(lastFolder))
        return lastFolder;
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (exists(music))
        return music;
    return QDir::homePath();
}
