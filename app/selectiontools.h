// The list's tools that work out values elsewhere and hand them to the session as unsaved
// changes, one undo step each: "Look up on MusicBrainz…" and "Compute loudness".
#ifndef SELECTIONTOOLS_H
#define SELECTIONTOOLS_H

#include "lookupdialog.h"
#include "loudnessjob.h"
#include "sessionrow.h"

#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class LoudnessDialog;
class QAction;
class QMenu;
class QWidget;
class TagSession;

class SelectionTools : public QObject
{
    Q_OBJECT

public:
    // window: the dialogs' parent.
    SelectionTools(TagSession *session, QWidget *window);
    ~SelectionTools() override;

    // The rows the user selected; the tools take every row when it gives none.
    void setSelection(std::function<QList<RowId>()> selected);
    // Adds the tools' entries to the menu, in their order.
    void addTo(QMenu *menu);

    QAction *lookupAction() const { return m_lookup; }
    QAction *trackLoudnessAction() const { return m_trackLoudness; }
    QAction *albumLoudnessAction() const { return m_albumLoudness; }

    // The files are read in the background first (their lengths, and what the session holds
    // beside its edits); the dialog opens once they are.
    void lookUp();
    void computeLoudness(bool album);

signals:
    void status(const QString &message, const QString &reason);

private:
    struct Read
    {
        RowId id;
        LookupDialog::File file;
    };

    void createActions();
    QList<RowId> targets() const;
    void openLookup();
    void applyLookup(const QHash<QString, RowId> &rows, const LookupDialog::FileValues &values,
                     const QByteArray &frontCover);
    void applyLoudness(const QHash<QString, RowId> &rows, const LoudnessValues &values,
                       const QStringList &failures);

    TagSession *m_session;
    QWidget *m_window;
    std::function<QList<RowId>()> m_selected;
    QAction *m_lookup = nullptr;
    QMenu *m_loudnessMenu = nullptr;
    QAction *m_trackLoudness = nullptr;
    QAction *m_albumLoudness = nullptr;
    QFutureWatcher<QList<Read>> m_reading;
    QPointer<LoudnessDialog> m_loudness;
};

#endif // SELECTIONTOOLS_H
