#include "textfinder.h"
#include "ui_textfinder.h"

#include "audiofiles.h"
#include "chosencover.h"
#include "coverimage.h"
#include "tagfield.h"
#include "tagrecord.h"
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

#include <utility>

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
    for (const TagField &tagField : tagFields)
        connect(field(tagField), &QLineEdit::textEdited, this, &TextFinder::fieldEdited);
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
    // The second filter offers every kind the library reads.
    const QString filters = tr("Audio Files (*.mp3 *.ape *.ogg *.flac)") + QStringLiteral(";;")
            + tr("All audio files (%1)").arg(audiofiles::namePatterns());
    const QString chosen
            = QFileDialog::getOpenFileName(this, tr("Open Audio"), dialogFolder(), filters);
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
        TagRecord record;
        record.read(path, &reason);
        for (const TagField &tagField : tagFields)
            field(tagField)->setText(record.text(tagField));
        // Replaces the previous file's cover, if any, until this file's arrives.
        ui->coverArt->setText(tr("CoverArt"));
        ui->textEdit->setPlainText(record.report());

        // Only the preview is decoded in the background, from the record handed over to it;
        // everything else is on show when this returns. An empty cover is still one to show.
        if (!record.coverView().isNull()) {
            preview.decode(std::move(record));
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
    TagRecord record;
    for (const TagField &tagField : tagFields)
        record.setText(tagField, field(tagField)->text());
    // Only a newly chosen cover is written; the file's own covers are left as they are.
    int result;
    QString reason;
    {
        const WaitCursor wait;
        result = record.save(currentFile, pendingCover, &reason);
    }

    if (result != 0) {
        // Everything stays on show, so it can be corrected and saved again.
        report(tr("Save error %1").arg(result), reason);
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

QLineEdit *TextFinder::field(const TagField &tagField) const
{
    // The form names each field's line edit after the field.
    auto *edit = findChild<QLineEdit *>(QStringLiteral("lineEdit_") + QLatin1String(tagField.name));
    Q_ASSERT(edit);
    return edit;
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
