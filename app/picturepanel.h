// Every picture of the selected files: their thumbnails, types and descriptions, edited in place.
#ifndef PICTUREPANEL_H
#define PICTUREPANEL_H

#include "sessionrow.h"

#include <QFutureWatcher>
#include <QWidget>

class QComboBox;
class QLayout;
class QPushButton;
class QTableView;
class SelectionPicturesModel;
class TagSession;

// The pictures of the selection. "Add picture…" puts an image file (or image files dropped on the
// panel) into every selected file as a picture of the type chosen beside it; the type and
// description change in place; "Remove picture" takes the current one out of every selected file
// that has it; "Save picture…" writes the current one's bytes to a file, off the GUI thread.
// message() says what went wrong or was done, for the status bar.
class PicturePanel : public QWidget
{
    Q_OBJECT

public:
    explicit PicturePanel(TagSession *session, QWidget *parent = nullptr);

    void setSelection(const QList<RowId> &ids);
    SelectionPicturesModel *model() const { return m_model; }
    QTableView *view() const { return m_view; }
    // The type new pictures get.
    int newPictureType() const;
    void setNewPictureType(int type);

    // Reads the image file into the selection; false, with a message, when it holds no image.
    bool addPictureFile(const QString &path, const QString &description = QString());
    // Writes the row's picture to path in the background; message() tells how it went.
    void savePicture(int row, const QString &path);

    // A list of the picture types' names, each with its number as data.
    static QComboBox *createTypeChoice(QWidget *parent);

signals:
    void message(const QString &text);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QTableView *createView();
    QLayout *createButtons();
    void chooseFileToAdd();
    void chooseFileToSave();
    void removeCurrent();
    void updateButtons();
    void saveSource(const SessionPictureSource &source, const QString &path);
    void savingDone();

    SelectionPicturesModel *m_model;
    QTableView *m_view = nullptr;
    QComboBox *m_typeChoice = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_removeButton = nullptr;
    QPushButton *m_saveButton = nullptr;
    QFutureWatcher<QString> m_saving; // the reason a save failed; empty when it was saved
    QString m_savingTo;
};

#endif // PICTUREPANEL_H
