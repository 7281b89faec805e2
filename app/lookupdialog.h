// "Look up on MusicBrainz…": finds the files' release, matches the files to its tracks and shows
// each field's value now and from MusicBrainz, for the user to take or leave. Nothing is written
// here: Apply hands the values over, for the editing session to take as unsaved changes.
#ifndef LOOKUPDIALOG_H
#define LOOKUPDIALOG_H

#include "musicbrainzclient.h"
#include "releasematch.h"
#include "tagrecord.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QPointer>

#include <memory>

class MusicBrainzReply;
class QStringListModel;
class QTableWidgetItem;
namespace Ui {
class LookupDialog;
}

class LookupDialog : public QDialog
{
    Q_OBJECT

public:
    struct File
    {
        QString path;
        TagRecord record; // as the session holds it, unsaved changes included
    };
    // For each file that changes: its path and the values to put in; a key not named stays.
    using FileValues = QList<std::pair<QString, QList<TagProperty>>>;

    LookupDialog(const QList<File> &files, const MusicBrainzClient::Settings &settings,
                 QWidget *parent = nullptr);
    ~LookupDialog() override;

    // Searches for what the query field holds, or loads the release it names.
    void search();

signals:
    // Apply: the chosen values of every file, and the front cover's bytes when the user chose
    // one (empty otherwise: no picture is touched).
    void applyRequested(const LookupDialog::FileValues &values, const QByteArray &frontCover);

private:
    // What a worker made of an answer: parsing a large one must not hold the window up.
    struct Parsed
    {
        bool ok = false;
        QString error;
        QList<musicbrainz::Release> releases;
        QList<int> scores;
        musicbrainz::Release release;
        QList<int> match;
    };

    void startRequest(MusicBrainzReply *reply);
    void cancelRequest();
    void searchFinished();
    void releaseFinished();
    void coverFinished();
    void parsed();
    void candidateChosen();
    void loadRelease(const QString &releaseId);
    void showMatch();
    void showTrack(int file, int track);
    void trackEdited(QTableWidgetItem *item);
    void trackChosen(int file, int choice);
    void showChanges();
    void coverToggled();
    void apply();
    void editSettings();
    void setStatus(const QString &text);

    std::unique_ptr<Ui::LookupDialog> m_ui;
    MusicBrainzClient *m_client;
    QList<File> m_files;
    QStringListModel *m_trackNames;
    QList<musicbrainz::LookupFile> m_lookupFiles;
    musicbrainz::AlbumFacts m_facts;
    QPointer<MusicBrainzReply> m_reply;
    QPointer<MusicBrainzReply> m_coverReply;
    QFutureWatcher<Parsed> m_parsing;
    QList<musicbrainz::Release> m_candidates;
    musicbrainz::Release m_release;
    QList<musicbrainz::TrackRef> m_tracks;
    QList<int> m_match; // each file's index into m_tracks, -1 for none
    QByteArray m_cover;
};

#endif // LOOKUPDIALOG_H
