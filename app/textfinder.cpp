#include "textfinder.h"
#include "ui_textfinder.h"

#include "audiofiles.h"
#include "chosencover.h"
#include "coverimage.h"
#include "filelistpanel.h"
#include "tagfield.h"
#include "tagrecord.h"
#include "tagsession.h"
#include "widetext.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
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
#include <vector>

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

const QString &keyOf(const TagField &tagField)
{
    // Made once: the form asks for them for each of thousands of rows.
    static const QStringList keys = [] {
        QStringList all;
        for (const TagField &each : tagFields)
            all.append(QString::fromLatin1(each.key.data(), qsizetype(each.key.size())));
        return all;
    }();
    return keys.at(&tagField - tagFields.data());
}

} // namespace

TextFinder::TextFinder(QWidget *parent, TagSession *session)
    : QWidget(parent)
    , ui(new Ui::TextFinder)
    , m_session(session ? session : new TagSession(this))
{
    ui->setupUi(this);
    // File names may look like markup ("<b>x</b>.mp3"); the path is shown as it is.
    ui->fileLabel->setTextFormat(Qt::PlainText);
    createButtons();
    createShortcuts();
    createChangeTracking();
    createSessionViews();
    connect(&preview, &CoverPreview::decoded, this, &TextFinder::showCover);
}

TextFinder::~TextFinder()
{
    delete ui;
}

void TextFinder::createButtons()
{
    connect(ui->findButton, &QAbstractButton::clicked, this, &TextFinder::openClicked);
    connect(ui->saveButton, &QAbstractButton::clicked, this, &TextFinder::saveClicked);
    connect(ui->choosePicButton, &QAbstractButton::clicked, this, &TextFinder::chooseCoverClicked);
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
        QLineEdit *edit = field(tagField);
        connect(edit, &QLineEdit::textEdited, this,
                [this, &tagField](const QString &text) { fieldEdited(tagField, text); });
        // Undo and redo are the session's, for every field at once.
        edit->installEventFilter(this);
    }
}

bool TextFinder::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        // Left to the window's shortcuts: a line edit would undo its own text only.
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TextFinder::createSessionViews()
{
    connect(m_session, &TagSession::modificationChanged, this, &TextFinder::modificationChanged);
    connect(m_session, &TagSession::valuesChanged, this, &TextFinder::scheduleFieldRefresh);
    connect(m_session, &TagSession::detailsRead, this, &TextFinder::detailsRead);
    connect(m_session, &TagSession::saveFinished, this, &TextFinder::saveFinished);
}

bool TextFinder::openFile(const QString &path)
{
    const auto open = [this, path] {
        hideList();
        report(tr("Load tag OK"), loadFile(path));
    };
    const GoOn go = askToGoOn({}, open);
    if (go == GoOn::Now)
        open();
    return go != GoOn::Stop;
}

bool TextFinder::openFiles(const QStringList &paths)
{
    std::error_code error;
    if (paths.size() == 1 && !std::filesystem::is_directory(filesystemPath(paths.first()), error))
        return openFile(paths.first());
    if (paths.isEmpty() || !fileList)
        return !paths.isEmpty() && openFile(paths.first());
    const auto open = [this, paths] { showList(paths); };
    const GoOn go = askToGoOn({}, open);
    if (go == GoOn::Now)
        open();
    return go != GoOn::Stop;
}

void TextFinder::chooseCover(const QString &path)
{
    const WaitCursor wait;
    // An image that does not load leaves nothing to write and nothing on show; the file's
    // own cover then stays as it is.
    const ChosenCover cover = ::chooseCover(path);
    if (listShown() && m_ids.isEmpty())
        return;
    if (cover.bytes.isEmpty())
        m_session->dropCover(m_ids); // the earlier choice goes too
    else
        m_session->setCover(m_ids, cover.bytes);
    if (cover.bytes.isEmpty() && listShown()) {
        showSelectionCover();
        return;
    }
    shownCover = cover.bytes.isEmpty() ? 0 : sessionCoverId(cover.bytes);
    showChosenCover(cover.bytes, cover.image);
}

void TextFinder::showChosenCover(const QByteArray &bytes, const QImage &image)
{
    // The previous picture goes at once, and a preview still on its way is not shown. An image
    // decoded on the way is shown from that; a JPEG's preview is decoded in the background.
    preview.cancel();
    detailsWanted = 0;
    const QImage shown = coverimage::scaledShown(image);
    ui->coverArt->setPixmap(coverPixmap(shown));
    if (shown.isNull() && !bytes.isEmpty())
        preview.decode(bytes);
    else
        emit coverShown();
}

TextFinder::GoOn TextFinder::askToGoOn(const QList<RowId> &ids, const std::function<void()> &then)
{
    if (listShown())
        // A cell still typed into counts as changed, not left to lose its text with the list.
        fileList->commitEdit();
    if (afterSave)
        return GoOn::Stop; // still saving what the last question asked for
    QList<RowId> changed;
    for (const RowId id : ids.isEmpty() ? m_session->allIds() : ids) {
        if (m_session->isModified(id))
            changed.append(id);
    }
    if (changed.isEmpty())
        return GoOn::Now;
    QString question = tr("The tags have been changed.\nDo you want to save your changes?");
    if (listShown() && changed.size() > 1)
        question = tr("The tags of %1 files have been changed.").arg(changed.size())
                + tr("\nDo you want to save your changes?");
    const Answer answer = askToSave(question);
    if (answer == Answer::Cancel)
        return GoOn::Stop;
    if (answer == Answer::Discard)
        return GoOn::Now;
    if (!listShown())
        return save() ? GoOn::Now : GoOn::Stop;
    // Several files are saved in the background; what waits goes on once they all are.
    afterSave = then;
    fileList->save(changed);
    return GoOn::Later;
}

void TextFinder::saveFinished(int failed)
{
    if (!afterSave || m_session->isSaving())
        return;
    const std::function<void()> then = std::exchange(afterSave, {});
    // A failed save, or a change made while it ran, keeps the window as it is.
    if (failed == 0 && !m_session->anyModified())
        then();
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

void TextFinder::chooseCoverClicked()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open Image"), dialogFolder(),
                                                      tr("Audio Files (*.png *.jpg)"));
    if (path.isEmpty())
        return;
    chooseCover(path);
}

void TextFinder::openClicked()
{
    const GoOn go = askToGoOn({}, [this] { showOpenDialog(); });
    if (go == GoOn::Now)
        showOpenDialog();
}

void TextFinder::showOpenDialog()
{
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

void TextFinder::saveClicked()
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
    lastFolder = QFileInfo(path).absolutePath();
    ui->fileLabel->setText(path);
    const WaitCursor wait;
    // A cover chosen but not saved, and the undo, belonged to the previous file.
    m_session->openNow({{path}});
    m_ids = m_session->allIds();
    emit selectionChanged(m_ids);
    showFields();
    showFileDetails();
    const SessionRow *row = m_session->row(m_ids.value(0));
    return row ? row->problem : QString();
}

void TextFinder::showFileDetails()
{
    // Read at once: the report is on show when an open or a save returns. Only the preview
    // is decoded in the background. An empty cover is still one to show.
    QString text;
    QByteArray cover;
    readSessionDetails(m_session->path(m_ids.value(0)), &text, &cover);
    // Replaces the previous file's cover, if any, until this file's arrives.
    ui->coverArt->setText(tr("CoverArt"));
    ui->textEdit->setPlainText(text);
    detailsWanted = 0;
    shownCover = m_session->coverId(m_ids.value(0));
    if (!cover.isEmpty()) {
        preview.decode(cover);
    } else {
        preview.cancel();
        emit coverShown();
    }
}

bool TextFinder::save()
{
    // Only a newly chosen cover is written; the file's own covers are left as they are, and so
    // is every field not typed into, whatever the file holds now.
    int result = -1;
    QString reason = tr("no file is open");
    if (const SessionRow *row = m_session->row(m_ids.value(0))) {
        const WaitCursor wait;
        reason.clear();
        // Nothing changed still asks the library whether it could write the file.
        result = row->modified ? m_session->saveNow(m_ids, &reason)
                               : saveSessionFile(row->path, {}, {}, &reason);
    }
    if (result != 0) {
        // Everything stays on show, so it can be corrected and saved again.
        report(tr("Save error %1").arg(result), reason);
        return false;
    }
    // What the file holds now, as the next open would show it: the chosen cover becomes the
    // file's own, and the report tells the new values.
    showFields();
    showFileDetails();
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

QString TextFinder::formText(RowId id, const TagField &tagField) const
{
    const SessionRow *row = m_session->row(id);
    return row ? formText(*row, tagField) : QString();
}

QString TextFinder::formText(const SessionRow &row, const TagField &tagField)
{
    const QString &key = keyOf(tagField);
    // What the user set shows as it was typed; a file's number as the form always showed it.
    const auto edit = row.edits.constFind(key);
    if (edit != row.edits.cend())
        return edit->join(QLatin1String("; "));
    if (!tagField.isNumber)
        return row.read.value(key).join(QLatin1String("; "));
    if (row.read.isEmpty() && !row.problem.isEmpty())
        return QString(); // a file that could not be read
    return shortNumber(row.read.value(key).value(0));
}

void TextFinder::fieldEdited(const TagField &tagField, const QString &text)
{
    // Typed into, the field goes to every file the form edits, differing before or not, as one
    // step of undo for the run of keys typed.
    applyingEdit = true;
    m_session->setText(m_ids, keyOf(tagField), text);
    applyingEdit = false;
    field(tagField)->setPlaceholderText(QString());
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
    connect(m_session, &QAbstractItemModel::rowsRemoved, this, &TextFinder::showSelection);
    connect(m_session, &QAbstractItemModel::modelReset, this, &TextFinder::showSelection);
}

bool TextFinder::listShown() const
{
    return fileList && !fileList->isHidden();
}

void TextFinder::showList(const QStringList &paths)
{
    lastFolder = QFileInfo(paths.first()).absolutePath();
    fileList->show();
    fileList->open(paths);
    showSelection();
    fileList->view()->setFocus();
}

void TextFinder::hideList()
{
    if (!listShown())
        return;
    fileList->hide();
    fileList->clear();
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
    const QList<RowId> ids = fileList->selectedIds();
    const bool changed = ids != m_ids;
    m_ids = ids;
    showFields();
    ui->fileLabel->setText(m_ids.size() == 1 ? m_session->path(m_ids.first()) : QString());
    detailsReport = m_ids.size() == 1;
    if (m_ids.size() != 1)
        ui->textEdit->setPlainText(m_ids.isEmpty() ? QString()
                                                   : tr("%1 files selected").arg(m_ids.size()));
    showSelectionCover();
    if (changed)
        emit selectionChanged(m_ids);
}

void TextFinder::showSelectionCover()
{
    preview.cancel();
    detailsWanted = 0;
    const quint64 cover = m_ids.isEmpty() ? 0 : m_session->coverId(m_ids.first());
    shownCover = cover;
    const bool common = std::all_of(m_ids.begin(), m_ids.end(),
                                    [&](RowId id) { return m_session->coverId(id) == cover; });
    if (detailsReport || (common && cover != 0)) {
        const QByteArray chosen = m_session->newCover(m_ids.first());
        if (!chosen.isEmpty() && !detailsReport) {
            showChosenCover(chosen, QImage());
            return;
        }
        // The report and the file's cover are read in the background: the session keeps
        // neither.
        detailsWanted = m_ids.first();
        m_session->readDetails(detailsWanted);
        return;
    }
    ui->coverArt->setText(common ? tr("CoverArt") : tr("<different values>"));
    emit coverShown();
}

void TextFinder::detailsRead(RowId id, const QString &text, const QByteArray &cover)
{
    if (id != detailsWanted || !listShown())
        return;
    detailsWanted = 0;
    if (detailsReport)
        ui->textEdit->setPlainText(text);
    const QByteArray chosen = m_session->newCover(id);
    if (!chosen.isEmpty()) {
        showChosenCover(chosen, QImage());
        return;
    }
    ui->coverArt->setText(tr("CoverArt"));
    if (cover.isEmpty()) {
        emit coverShown();
        return;
    }
    preview.decode(cover);
}

void TextFinder::scheduleFieldRefresh()
{
    // While the list's files are saved the form waits: it shows the selection once they are.
    if (applyingEdit || fieldRefreshPending || (listShown() && fileList->isSaving()))
        return;
    // Once for a run of changed rows, such as a save's results.
    fieldRefreshPending = true;
    QTimer::singleShot(0, this, [this] {
        fieldRefreshPending = false;
        showFields();
        // A cover chosen, or its choice undone.
        const quint64 cover = m_ids.isEmpty() ? 0 : m_session->coverId(m_ids.first());
        if (cover == shownCover)
            return;
        if (listShown()) {
            showSelectionCover();
        } else if (!m_session->newCover(m_ids.value(0)).isEmpty()) {
            shownCover = cover;
            showChosenCover(m_session->newCover(m_ids.first()), QImage());
        } else if (m_session->contains(m_ids.value(0))) {
            showFileDetails();
        }
    });
}

void TextFinder::showFields()
{
    const bool list = listShown();
    QList<const SessionRow *> rows;
    rows.reserve(m_ids.size());
    for (const RowId id : std::as_const(m_ids)) {
        if (const SessionRow *row = m_session->row(id))
            rows.append(row);
    }
    static const QStringList none;
    // The values behind a row's text: rows that hold the same show the same, and only those
    // that do not are compared by their texts; thousands of rows are selected at once.
    const auto held = [](const SessionRow &row, const QString &key) -> const QStringList & {
        const auto edit = row.edits.constFind(key);
        if (edit != row.edits.cend())
            return *edit;
        const auto read = row.read.constFind(key);
        return read != row.read.cend() ? *read : none;
    };
    // Rows holding all the first row holds show what it shows in every field: one look at each.
    std::vector<bool> likeFirst;
    likeFirst.reserve(std::size_t(rows.size()));
    for (const SessionRow *row : std::as_const(rows)) {
        likeFirst.push_back(row->problem.isEmpty() == rows.first()->problem.isEmpty()
                            && row->edits == rows.first()->edits
                            && row->read == rows.first()->read);
    }
    for (const TagField &tagField : tagFields) {
        const QString &key = keyOf(tagField);
        const QString first = rows.isEmpty() ? QString() : formText(*rows.first(), tagField);
        const QStringList &firstHeld = rows.isEmpty() ? none : held(*rows.first(), key);
        std::size_t at = 0;
        const bool same = std::all_of(rows.begin(), rows.end(), [&](const SessionRow *row) {
            return likeFirst[at++]
                    || (held(*row, key) == firstHeld
                        && row->edits.contains(key) == rows.first()->edits.contains(key)
                        && row->problem.isEmpty() == rows.first()->problem.isEmpty())
                    || formText(*row, tagField) == first;
        });
        QLineEdit *edit = field(tagField);
        // A field that differs changes no file unless it is typed into. With no file open,
        // what was typed stays.
        const QString shown = same ? first : QString();
        if (edit->text() != shown && (list || !m_ids.isEmpty()))
            edit->setText(shown);
        if (!list)
            continue;
        edit->setPlaceholderText(same ? QString() : tr("<different values>"));
        edit->setEnabled(!m_ids.isEmpty());
    }
    if (list)
        ui->choosePicButton->setEnabled(!m_ids.isEmpty());
}

void TextFinder::removeFromList(const QList<RowId> &ids)
{
    const auto remove = [this, ids] { m_session->remove(ids); };
    const GoOn go = askToGoOn(ids, remove);
    if (go == GoOn::Now)
        remove();
}
