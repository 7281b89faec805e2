#include "textfinder.h"
#include "ui_textfinder.h"

#include "audiofiles.h"
#include "chosencover.h"
#include "coverimage.h"
#include "filelistmodel.h"
#include "filelistpanel.h"
#include "tagfield.h"
#include "tagrecord.h"
#include "widetext.h"

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QShortcut>
#include <QStandardPaths>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <system_error>
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
    for (const TagField &tagField : tagFields) {
        connect(field(tagField), &QLineEdit::textEdited, this,
                [this, &tagField](const QString &text) { fieldEdited(tagField, text); });
    }
}

bool TextFinder::openFile(const QString &path)
{
    if (!maybeSave())
        return false;
    hideList();
    report(tr("Load tag OK"), loadFile(path));
    return true;
}

bool TextFinder::openFiles(const QStringList &paths)
{
    std::error_code error;
    if (paths.size() == 1 && !std::filesystem::is_directory(filesystemPath(paths.first()), error))
        return openFile(paths.first());
    if (paths.isEmpty() || !fileList)
        return !paths.isEmpty() && openFile(paths.first());
    if (!maybeSave())
        return false;
    showList(paths);
    return true;
}

void TextFinder::chooseCover(const QString &path)
{
    const WaitCursor wait;
    // An image that does not load leaves nothing to write and nothing on show; the file's
    // own cover then stays as it is.
    const ChosenCover cover = ::chooseCover(path);
    if (!listShown()) {
        pendingCover = cover.bytes;
        showChosenCover(cover.bytes, cover.image);
        if (!pendingCover.isEmpty())
            setModified(true);
        return;
    }
    const QList<int> rows = fileList->selectedRows();
    if (rows.isEmpty())
        return;
    fileList->model()->setNewCover(rows, cover.bytes);
    if (cover.bytes.isEmpty())
        showSelection();
    else
        showChosenCover(cover.bytes, cover.image);
}

void TextFinder::showChosenCover(const QByteArray &bytes, const QImage &image)
{
    // The previous picture goes at once, and a preview still on its way is not shown. An image
    // decoded on the way is shown from that; a JPEG's preview is decoded in the background.
    preview.cancel();
    const QImage shown = coverimage::scaledShown(image);
    ui->coverArt->setPixmap(coverPixmap(shown));
    if (shown.isNull() && !bytes.isEmpty())
        preview.decode(bytes);
    else
        emit coverShown();
}

bool TextFinder::maybeSave()
{
    if (listShown())
        return maybeSaveRows(fileList->shownRows());
    if (!modified)
        return true;
    const Answer answer
            = askToSave(tr("The tags have been changed.\nDo you want to save your changes?"));
    if (answer == Answer::Save)
        return save();
    return answer == Answer::Discard;
}

TextFinder::Answer TextFinder::askToSave(const QString &question)
{
    const QMessageBox::StandardButton answer = QMessageBox::warning(
            this, tr("Unsaved Changes"), question,
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return Answer::Save;
    return answer == QMessageBox::Discard ? Answer::Discard : Answer::Cancel;
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
    QStringList chosen
            = QFileDialog::getOpenFileNames(this, tr("Open Audio"), dialogFolder(), filters);
    if (chosen.isEmpty())
        return;
    if (chosen.size() > 1 && fileList) {
        // As for one file: a name that is not UTF-8 comes back with its bytes replaced.
        for (QString &path : chosen)
            path = existingName(path);
        showList(chosen);
        return;
    }
    hideList();
    report(tr("Load tag OK"), loadFile(chosen.first()));
}

void TextFinder::on_saveButton_clicked()
{
    // Several files are saved in the background; the list and the status bar tell how it goes.
    if (listShown()) {
        fileList->saveModified();
        return;
    }
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
    edits = TagEdit();
    setModified(false);
    return reason;
}

bool TextFinder::save()
{
    // Only a newly chosen cover is written; the file's own covers are left as they are, and so
    // is every field not typed into, whatever the file holds now.
    edits.setCover(pendingCover);
    int result;
    QString reason;
    {
        const WaitCursor wait;
        result = edits.save(currentFile, &reason);
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

void TextFinder::fieldEdited(const TagField &tagField, const QString &text)
{
    if (!listShown()) {
        edits.setText(tagField, text);
        setModified(true);
        return;
    }
    // Typed into, the field goes to every selected file, differing before or not.
    applyingEdit = true;
    fileList->model()->setText(fileList->selectedRows(), tagField, text);
    applyingEdit = false;
    field(tagField)->setPlaceholderText(QString());
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

void TextFinder::setFileList(FileListPanel *list)
{
    fileList = list;
    fileList->hide();
    connect(fileList, &FileListPanel::selectionChanged, this, &TextFinder::showSelection);
    connect(fileList, &FileListPanel::status, this, &TextFinder::report);
    connect(fileList, &FileListPanel::busyChanged, this, &TextFinder::workChanged);
    connect(fileList, &FileListPanel::removeRequested, this, &TextFinder::removeFromList);
    FileListModel *model = fileList->model();
    connect(model, &FileListModel::modificationChanged, this, &TextFinder::setModified);
    connect(model, &QAbstractItemModel::dataChanged, this, &TextFinder::scheduleFieldRefresh);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &TextFinder::showSelection);
}

bool TextFinder::listShown() const
{
    return fileList && !fileList->isHidden();
}

void TextFinder::showList(const QStringList &paths)
{
    // What belonged to the one file on show goes with it.
    currentFile.clear();
    pendingCover.clear();
    edits = TagEdit();
    lastFolder = QFileInfo(paths.first()).absolutePath();
    setModified(false);
    fileList->show();
    fileList->open(paths);
    showSelection();
    fileList->view()->setFocus();
    // Room for the list as well as the form.
    QWidget *top = window();
    const QSize listWidth(fileList->sizeHint().width(), 0);
    top->resize(top->size().expandedTo(top->sizeHint()).expandedTo(listWidth));
}

void TextFinder::hideList()
{
    if (!listShown())
        return;
    fileList->clear();
    fileList->hide();
    for (const TagField &tagField : tagFields) {
        field(tagField)->setPlaceholderText(QString());
        field(tagField)->setEnabled(true);
    }
    ui->choosePicButton->setEnabled(true);
}

void TextFinder::workChanged(bool busy)
{
    // While files are saved, nothing may change them; reading leaves the rows read editable.
    setEnabled(!fileList->isSaving());
    if (!busy)
        showSelection();
}

void TextFinder::showSelection()
{
    if (!listShown())
        return;
    showSelectionFields();
    preview.cancel();
    const QList<int> rows = fileList->selectedRows();
    FileListModel *model = fileList->model();
    ui->fileLabel->setText(rows.size() == 1 ? model->path(rows.first()) : QString());
    if (rows.size() == 1) {
        // The report and cover are read again: the list keeps neither.
        TagRecord record;
        record.read(model->path(rows.first()));
        ui->textEdit->setPlainText(record.report());
        showRowCover(rows.first(), &record);
        return;
    }
    ui->textEdit->setPlainText(rows.isEmpty() ? QString()
                                              : tr("%1 files selected").arg(rows.size()));
    const quint64 cover = rows.isEmpty() ? 0 : model->coverId(rows.first());
    const bool common = std::all_of(rows.begin(), rows.end(),
                                    [&](int row) { return model->coverId(row) == cover; });
    if (common && cover != 0) {
        showRowCover(rows.first(), nullptr);
        return;
    }
    ui->coverArt->setText(common ? tr("CoverArt") : tr("<different values>"));
    emit coverShown();
}

void TextFinder::showRowCover(int row, TagRecord *read)
{
    const QByteArray chosen = fileList->model()->newCover(row);
    if (!chosen.isEmpty()) {
        showChosenCover(chosen, QImage());
        return;
    }
    TagRecord record;
    if (read)
        record = std::move(*read);
    else
        record.read(fileList->model()->path(row));
    ui->coverArt->setText(tr("CoverArt"));
    if (record.coverView().isNull()) {
        emit coverShown();
        return;
    }
    preview.decode(std::move(record));
}

void TextFinder::scheduleFieldRefresh()
{
    if (applyingEdit || fieldRefreshPending)
        return;
    // Once for a run of changed rows, such as a save's results.
    fieldRefreshPending = true;
    QTimer::singleShot(0, this, [this] {
        fieldRefreshPending = false;
        if (listShown())
            showSelectionFields();
    });
}

void TextFinder::showSelectionFields()
{
    const QList<int> rows = fileList->selectedRows();
    FileListModel *model = fileList->model();
    for (const TagField &tagField : tagFields) {
        const QString first = rows.isEmpty() ? QString() : model->text(rows.first(), tagField);
        const bool same = std::all_of(rows.begin(), rows.end(),
                                      [&](int row) { return model->text(row, tagField) == first; });
        QLineEdit *edit = field(tagField);
        // A field that differs changes no file unless it is typed into.
        const QString shown = same ? first : QString();
        if (edit->text() != shown)
            edit->setText(shown);
        edit->setPlaceholderText(same ? QString() : tr("<different values>"));
        edit->setEnabled(!rows.isEmpty());
    }
    ui->choosePicButton->setEnabled(!rows.isEmpty());
}

void TextFinder::removeFromList(const QList<int> &rows)
{
    if (maybeSaveRows(rows))
        fileList->removeRows(rows);
}

bool TextFinder::maybeSaveRows(const QList<int> &rows)
{
    stopSaving();
    // A cell still typed into counts as changed, not left to lose its text with the list.
    fileList->commitEdit();
    QList<int> changed;
    for (const int row : rows) {
        if (fileList->model()->isModified(row))
            changed.append(row);
    }
    if (changed.isEmpty())
        return true;
    const QString files = changed.size() == 1
            ? tr("The tags have been changed.")
            : tr("The tags of %1 files have been changed.").arg(changed.size());
    const Answer answer = askToSave(files + tr("\nDo you want to save your changes?"));
    if (answer == Answer::Save)
        return saveRows(changed);
    return answer == Answer::Discard;
}

bool TextFinder::saveRows(const QList<int> &rows)
{
    QEventLoop loop;
    int unsaved = -1;
    connect(fileList, &FileListPanel::saveFinished, &loop, [&loop, &unsaved](int count) {
        unsaved = count;
        loop.quit();
    });
    fileList->save(rows);
    loop.exec();
    // A row changed while its file was saved (an image dropped meanwhile) keeps that change.
    FileListModel *model = fileList->model();
    return unsaved == 0 && std::none_of(rows.begin(), rows.end(), [model](int row) {
               return model->isModified(row);
           });
}

void TextFinder::stopSaving()
{
    if (!fileList->isSaving())
        return;
    // Ends after the files being saved now; what is left stays modified, to be asked about.
    QEventLoop loop;
    connect(fileList, &FileListPanel::saveFinished, &loop, &QEventLoop::quit);
    fileList->cancel();
    loop.exec();
}
