#include "lookupdialog.h"

#include "coverimage.h"
#include "lookupsettingsdialog.h"
#include "musicbrainzreply.h"
#include "trackchoicedelegate.h"
#include "ui_lookupdialog.h"

#include <QComboBox>
#include <QFileInfo>
#include <QPixmap>
#include <QPushButton>
#include <QStringListModel>
#include <QtConcurrent>

#include <algorithm>
#include <numeric>

namespace {

enum CandidateColumn {
    ScoreColumn,
    TitleColumn,
    ArtistColumn,
    DateColumn,
    CountryColumn,
    LabelColumn,
    CatalogueColumn,
    FormatColumn,
    TracksColumn
};
enum ChangeColumn { FieldColumn, NowColumn, NewColumn, KeepColumn };

QString joined(const QStringList &values)
{
    return values.join(QLatin1String("; "));
}

QString trackText(const musicbrainz::Release &release, const musicbrainz::TrackRef &ref)
{
    const musicbrainz::Medium &medium = release.media[ref.medium];
    const musicbrainz::Track &track = medium.tracks[ref.track];
    return QStringLiteral("%1-%2 %3").arg(medium.position).arg(track.position).arg(track.title);
}

} // namespace

LookupDialog::LookupDialog(const QList<File> &files, const MusicBrainzClient::Settings &settings,
                           QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::LookupDialog>())
    , m_client(new MusicBrainzClient(settings, this))
    , m_files(files)
    , m_trackNames(new QStringListModel(this))
{
    m_ui->setupUi(this);
    // Each file's track is chosen in place, from one list of the release's tracks.
    m_ui->matchTable->setItemDelegateForColumn(1, new TrackChoiceDelegate(m_trackNames, this));
    m_ui->matchTable->setEditTriggers(QAbstractItemView::AllEditTriggers);
    connect(m_ui->matchTable, &QTableWidget::itemChanged, this, &LookupDialog::trackEdited);
    for (const File &file : m_files)
        m_lookupFiles.append(musicbrainz::lookupFile(file.path, file.record));
    m_facts = musicbrainz::albumFacts(m_lookupFiles);
    m_ui->lineEdit_query->setText(musicbrainz::searchQuery(m_facts));
    m_ui->buttonBox->button(QDialogButtonBox::Apply)->setEnabled(false);

    connect(m_ui->searchButton, &QPushButton::clicked, this, &LookupDialog::search);
    connect(m_ui->lineEdit_query, &QLineEdit::returnPressed, this, &LookupDialog::search);
    connect(m_ui->candidateList, &QTreeWidget::itemSelectionChanged, this,
            &LookupDialog::candidateChosen);
    connect(m_ui->coverBox, &QCheckBox::toggled, this, &LookupDialog::coverToggled);
    connect(m_ui->coverSizeBox, &QComboBox::currentIndexChanged, this, &LookupDialog::coverToggled);
    connect(m_ui->buttonBox->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &LookupDialog::apply);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    QPushButton *settingsButton
            = m_ui->buttonBox->addButton(tr("Settings…"), QDialogButtonBox::ResetRole);
    connect(settingsButton, &QPushButton::clicked, this, &LookupDialog::editSettings);
    connect(&m_parsing, &QFutureWatcher<Parsed>::finished, this, &LookupDialog::parsed);
}

LookupDialog::~LookupDialog()
{
    // A parse still running holds only its own copies; it is waited for, not stopped.
    m_parsing.waitForFinished();
}

void LookupDialog::search()
{
    const QString text = m_ui->lineEdit_query->text().trimmed();
    if (text.isEmpty())
        return;
    const QString releaseId = musicbrainz::releaseIdIn(text);
    if (!releaseId.isEmpty()) {
        loadRelease(releaseId);
        return;
    }
    m_ui->candidateList->clear();
    setStatus(tr("Searching MusicBrainz…"));
    startRequest(m_client->search(text));
    connect(m_reply, &MusicBrainzReply::finished, this, &LookupDialog::searchFinished);
}

void LookupDialog::startRequest(MusicBrainzReply *reply)
{
    cancelRequest();
    m_reply = reply;
}

void LookupDialog::cancelRequest()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->deleteLater();
    }
}

void LookupDialog::searchFinished()
{
    MusicBrainzReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    const QByteArray body = reply->body();
    const QString error = reply->error();
    const musicbrainz::AlbumFacts facts = m_facts;
    m_parsing.setFuture(QtConcurrent::run([body, error, facts] {
        Parsed result;
        result.error = error;
        if (error.isEmpty())
            result.ok = musicbrainz::parseSearch(body, &result.releases, &result.error);
        for (const musicbrainz::Release &release : result.releases)
            result.scores.append(musicbrainz::candidateScore(release, facts));
        return result;
    }));
}

void LookupDialog::loadRelease(const QString &releaseId)
{
    setStatus(tr("Loading the release from MusicBrainz…"));
    startRequest(m_client->release(releaseId));
    connect(m_reply, &MusicBrainzReply::finished, this, &LookupDialog::releaseFinished);
}

void LookupDialog::releaseFinished()
{
    MusicBrainzReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    if (!reply->error().isEmpty()) {
        // Only the reason is wanted; a failed reply has no body to parse.
        musicbrainz::Release none;
        QString error;
        MusicBrainzClient::releaseResult(reply, musicbrainz::releaseIdIn(reply->url().path()),
                                         &none, &error);
        setStatus(error);
        return;
    }
    const QByteArray body = reply->body();
    const QList<musicbrainz::LookupFile> files = m_lookupFiles;
    m_parsing.setFuture(QtConcurrent::run([body, files] {
        Parsed parsedRelease;
        parsedRelease.ok
                = musicbrainz::parseRelease(body, &parsedRelease.release, &parsedRelease.error);
        if (parsedRelease.ok)
            parsedRelease.match = musicbrainz::matchFiles(files, parsedRelease.release);
        return parsedRelease;
    }));
}

void LookupDialog::parsed()
{
    Parsed result = m_parsing.result();
    if (!result.ok) {
        setStatus(result.error);
        return;
    }
    if (result.release.id.isEmpty()) {
        // A search: best fit first.
        QList<int> order(result.releases.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return result.scores[a] > result.scores[b]; });
        m_candidates.clear();
        // Filled without a load per row; the best one is chosen once all are there.
        m_ui->candidateList->blockSignals(true);
        m_ui->candidateList->clear();
        for (const int index : order) {
            const musicbrainz::Release &release = result.releases[index];
            QStringList labels, catalogue, formats;
            for (const musicbrainz::LabelInfo &label : release.labels) {
                labels.append(label.label);
                catalogue.append(label.catalogNumber);
            }
            for (const musicbrainz::Medium &medium : release.media)
                formats.append(medium.format);
            formats.removeDuplicates();
            auto *item = new QTreeWidgetItem(m_ui->candidateList);
            item->setText(ScoreColumn, QString::number(result.scores[index]));
            item->setText(TitleColumn, release.title);
            item->setText(ArtistColumn, musicbrainz::creditText(release.artists));
            item->setText(DateColumn, release.date);
            item->setText(CountryColumn, release.country);
            item->setText(LabelColumn, joined(labels));
            item->setText(CatalogueColumn, joined(catalogue));
            item->setText(FormatColumn, formats.join(QLatin1Char('+')));
            item->setText(TracksColumn, QString::number(release.trackCount));
            item->setToolTip(TitleColumn, release.id);
            m_candidates.append(release);
        }
        m_ui->candidateList->blockSignals(false);
        if (m_candidates.isEmpty()) {
            setStatus(tr("MusicBrainz knows no release for this search"));
            return;
        }
        setStatus(QString());
        m_ui->candidateList->setCurrentItem(m_ui->candidateList->topLevelItem(0));
        return;
    }
    m_release = result.release;
    m_tracks = musicbrainz::allTracks(m_release);
    m_match = result.match;
    setStatus(QString());
    showMatch();
    if (m_ui->coverBox->isChecked())
        coverToggled();
}

void LookupDialog::candidateChosen()
{
    QTreeWidgetItem *item = m_ui->candidateList->currentItem();
    const int index = item ? m_ui->candidateList->indexOfTopLevelItem(item) : -1;
    if (index >= 0 && index < m_candidates.size())
        loadRelease(m_candidates[index].id);
}

void LookupDialog::showMatch()
{
    QTableWidget *table = m_ui->matchTable;
    const QSignalBlocker blocker(table);
    table->clearContents();
    table->setRowCount(int(m_files.size()));
    QStringList names {tr("(no track)")};
    for (const musicbrainz::TrackRef &ref : m_tracks)
        names.append(trackText(m_release, ref));
    m_trackNames->setStringList(names);
    for (int row = 0; row < m_files.size(); ++row) {
        auto *file = new QTableWidgetItem(QFileInfo(m_files[row].path).fileName());
        file->setFlags(file->flags() & ~Qt::ItemIsEditable);
        table->setItem(row, 0, file);
        table->setItem(row, 1, new QTableWidgetItem());
        showTrack(row, m_match.value(row, -1));
    }
    const qsizetype unmatched = m_match.count(-1);
    const qsizetype unusedTracks = m_tracks.size() - (m_match.size() - unmatched);
    if (unmatched > 0 || unusedTracks > 0)
        setStatus(tr("%1 files without a track, %2 tracks without a file")
                          .arg(unmatched)
                          .arg(unusedTracks));
    showChanges();
}

void LookupDialog::showTrack(int file, int track)
{
    QTableWidgetItem *item = m_ui->matchTable->item(file, 1);
    item->setText(m_trackNames->stringList().value(track + 1));
    item->setData(TrackChoiceDelegate::ChoiceRole, track + 1);
}

void LookupDialog::trackEdited(QTableWidgetItem *item)
{
    if (item->column() == 1)
        trackChosen(item->row(), item->data(TrackChoiceDelegate::ChoiceRole).toInt());
}

void LookupDialog::trackChosen(int file, int choice)
{
    // A track goes to one file: the file that had it is left without one.
    const int track = choice - 1;
    const QSignalBlocker blocker(m_ui->matchTable);
    for (int other = 0; other < m_match.size(); ++other) {
        if (other != file && track >= 0 && m_match[other] == track) {
            m_match[other] = -1;
            showTrack(other, -1);
        }
    }
    m_match[file] = track;
    showChanges();
}

void LookupDialog::showChanges()
{
    QTreeWidget *list = m_ui->changeList;
    list->clear();
    for (int file = 0; file < m_files.size(); ++file) {
        if (m_match.value(file, -1) < 0)
            continue;
        auto *fileItem = new QTreeWidgetItem(list);
        fileItem->setText(FieldColumn, QFileInfo(m_files[file].path).fileName());
        fileItem->setData(FieldColumn, Qt::UserRole, file);
        for (const TagProperty &value :
             musicbrainz::trackValues(m_release, m_tracks[m_match[file]])) {
            const QStringList now = m_files[file].record.values(value.key);
            if (now == value.values)
                continue;
            auto *item = new QTreeWidgetItem(fileItem);
            item->setText(FieldColumn, value.key);
            item->setText(NowColumn, joined(now));
            item->setText(NewColumn, joined(value.values));
            item->setData(NewColumn, Qt::UserRole, value.values);
            item->setCheckState(KeepColumn, Qt::Unchecked);
        }
    }
    list->expandAll();
    m_ui->buttonBox->button(QDialogButtonBox::Apply)->setEnabled(list->topLevelItemCount() > 0);
}

void LookupDialog::coverToggled()
{
    m_cover.clear();
    m_ui->coverPreview->clear();
    if (m_coverReply) {
        m_coverReply->disconnect(this);
        m_coverReply->deleteLater();
    }
    if (!m_ui->coverBox->isChecked() || m_release.id.isEmpty())
        return;
    const MusicBrainzClient::CoverSize sizes[]
            = {MusicBrainzClient::CoverSize::Medium500, MusicBrainzClient::CoverSize::Large1200,
               MusicBrainzClient::CoverSize::Original};
    const int index = std::clamp(m_ui->coverSizeBox->currentIndex(), 0, 2);
    m_coverReply = m_client->frontCover(m_release.id, sizes[index]);
    connect(m_coverReply, &MusicBrainzReply::finished, this, &LookupDialog::coverFinished);
    m_ui->coverPreview->setText(tr("Fetching…"));
}

void LookupDialog::coverFinished()
{
    MusicBrainzReply *reply = m_coverReply;
    m_coverReply = nullptr;
    reply->deleteLater();
    QString error;
    QByteArray image;
    if (!MusicBrainzClient::coverResult(reply, &image, &error)) {
        m_ui->coverPreview->clear();
        setStatus(error);
        return;
    }
    // A preview the size of the label: the decode reads what it needs of the image.
    const QImage shown = coverimage::decodeShown(image);
    if (shown.isNull()) {
        setStatus(tr("The Cover Art Archive's answer is not an image"));
        return;
    }
    m_cover = image;
    m_ui->coverPreview->setPixmap(QPixmap::fromImage(shown).scaled(
            m_ui->coverPreview->minimumSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void LookupDialog::apply()
{
    FileValues values;
    QTreeWidget *list = m_ui->changeList;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *fileItem = list->topLevelItem(i);
        QList<TagProperty> taken;
        for (int j = 0; j < fileItem->childCount(); ++j) {
            const QTreeWidgetItem *item = fileItem->child(j);
            if (item->checkState(KeepColumn) == Qt::Unchecked)
                taken.append({item->text(FieldColumn),
                              item->data(NewColumn, Qt::UserRole).toStringList()});
        }
        const int file = fileItem->data(FieldColumn, Qt::UserRole).toInt();
        if (!taken.isEmpty() || (!m_cover.isEmpty() && m_ui->coverBox->isChecked()))
            values.append({m_files[file].path, taken});
    }
    emit applyRequested(values, m_ui->coverBox->isChecked() ? m_cover : QByteArray());
    accept();
}

void LookupDialog::editSettings()
{
    auto *dialog = new LookupSettingsDialog(m_client->settings(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        m_client->setSettings(dialog->settings());
        MusicBrainzClient::saveSettings(m_client->settings());
    });
    dialog->open();
}

void LookupDialog::setStatus(const QString &text)
{
    m_ui->statusLabel->setText(text);
}
