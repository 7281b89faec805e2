#include "picturepanel.h"

#include "picturetypedelegate.h"
#include "selectionpicturesmodel.h"
#include "tagrecord.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QSaveFile>
#include <QTableView>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace {

// Far above any cover, and small enough to read on the GUI thread.
constexpr qint64 largestPicture = 32 * 1024 * 1024;

QStringList localFiles(const QMimeData *data)
{
    QStringList files;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    return files;
}

} // namespace

PicturePanel::PicturePanel(TagSession *session, QWidget *parent)
    : QWidget(parent)
    , m_model(new SelectionPicturesModel(session, this))
{
    setAcceptDrops(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(createView());
    layout->addLayout(createButtons());
    connect(&m_saving, &QFutureWatcher<QString>::finished, this, &PicturePanel::savingDone);
    updateButtons();
}

QComboBox *PicturePanel::createTypeChoice(QWidget *parent)
{
    auto *types = new QComboBox(parent);
    for (int type = 0; type <= int(TagPictureType::Last); ++type)
        types->addItem(SelectionPicturesModel::typeName(type), type);
    return types;
}

QTableView *PicturePanel::createView()
{
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("pictureTable"));
    m_view->setModel(m_model);
    m_view->setItemDelegate(new PictureTypeDelegate(SelectionPicturesModel::TypeColumn, m_view));
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    const int side = SelectionPicturesModel::thumbnailSide;
    m_view->setIconSize(QSize(side, side));
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(side + 4);
    m_view->horizontalHeader()->setStretchLastSection(true);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &PicturePanel::updateButtons);
    connect(m_model, &QAbstractItemModel::modelReset, this, &PicturePanel::updateButtons);
    return m_view;
}

QLayout *PicturePanel::createButtons()
{
    m_typeChoice = createTypeChoice(this);
    m_typeChoice->setObjectName(QStringLiteral("newPictureType"));
    setNewPictureType(int(TagPictureType::FrontCover));
    m_addButton = new QPushButton(tr("Add picture…"), this);
    m_addButton->setObjectName(QStringLiteral("addPictureButton"));
    m_removeButton = new QPushButton(tr("Remove picture"), this);
    m_removeButton->setObjectName(QStringLiteral("removePictureButton"));
    m_saveButton = new QPushButton(tr("Save picture…"), this);
    m_saveButton->setObjectName(QStringLiteral("savePictureButton"));
    auto *row = new QHBoxLayout;
    row->addWidget(m_typeChoice, 1);
    row->addWidget(m_addButton);
    row->addWidget(m_removeButton);
    row->addWidget(m_saveButton);
    connect(m_addButton, &QPushButton::clicked, this, &PicturePanel::chooseFileToAdd);
    connect(m_removeButton, &QPushButton::clicked, this, &PicturePanel::removeCurrent);
    connect(m_saveButton, &QPushButton::clicked, this, &PicturePanel::chooseFileToSave);
    return row;
}

void PicturePanel::setSelection(const QList<RowId> &ids)
{
    m_model->setSelection(ids);
    updateButtons();
}

int PicturePanel::newPictureType() const
{
    return m_typeChoice->currentData().toInt();
}

void PicturePanel::setNewPictureType(int type)
{
    m_typeChoice->setCurrentIndex(m_typeChoice->findData(type));
}

bool PicturePanel::addPictureFile(const QString &path, const QString &description)
{
    // An image file is small enough to read here; decoding is left to the thumbnails.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        emit message(tr("%1: %2").arg(QFileInfo(path).fileName(), file.errorString()));
        return false;
    }
    if (file.size() > largestPicture) {
        emit message(tr("%1 is too large for a picture").arg(QFileInfo(path).fileName()));
        return false;
    }
    if (!m_model->addPicture(newPictureType(), description, file.readAll())) {
        emit message(tr("%1 holds no image that can be read").arg(QFileInfo(path).fileName()));
        return false;
    }
    return true;
}

void PicturePanel::chooseFileToAdd()
{
    auto *dialog = new QFileDialog(this, tr("Add picture"), QString(),
                                   tr("Images (*.png *.jpg *.jpeg *.gif *.bmp *.webp)"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    connect(dialog, &QFileDialog::fileSelected, this,
            [this](const QString &path) { addPictureFile(path); });
    dialog->open();
}

void PicturePanel::chooseFileToSave()
{
    const int row = m_view->currentIndex().row();
    if (row < 0)
        return;
    const SessionPictureSource source = m_model->source(row);
    const QString extension = m_model->mimeOf(row) == QLatin1String("image/png")
            ? QStringLiteral("png")
            : QStringLiteral("jpg");
    auto *dialog = new QFileDialog(this, tr("Save picture"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(extension);
    dialog->selectFile(QStringLiteral("picture.") + extension);
    connect(dialog, &QFileDialog::fileSelected, this,
            [this, source](const QString &path) { saveSource(source, path); });
    dialog->open();
}

void PicturePanel::savePicture(int row, const QString &path)
{
    saveSource(m_model->source(row), path);
}

void PicturePanel::saveSource(const SessionPictureSource &source, const QString &path)
{
    if (m_saving.isRunning()) {
        emit message(tr("A picture is still being saved"));
        return;
    }
    m_savingTo = path;
    m_saving.setFuture(QtConcurrent::run([source, path] {
        const QByteArray bytes = source.bytes();
        if (bytes.isEmpty())
            return tr("the picture is no longer in the file");
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            return file.errorString();
        return QString();
    }));
}

void PicturePanel::savingDone()
{
    const QString failure = m_saving.result();
    emit message(failure.isEmpty() ? tr("Picture saved to %1").arg(m_savingTo)
                                   : tr("Could not save %1: %2").arg(m_savingTo, failure));
}

void PicturePanel::removeCurrent()
{
    const QModelIndex current = m_view->currentIndex();
    if (current.isValid())
        m_model->removePicture(current.row());
}

void PicturePanel::updateButtons()
{
    const bool any = !m_model->selection().isEmpty();
    const bool current = any && m_view->currentIndex().isValid();
    m_addButton->setEnabled(any);
    m_removeButton->setEnabled(current);
    m_saveButton->setEnabled(current);
}

void PicturePanel::dragEnterEvent(QDragEnterEvent *event)
{
    if (!m_model->selection().isEmpty() && !localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void PicturePanel::dropEvent(QDropEvent *event)
{
    const QStringList files = localFiles(event->mimeData());
    // One of a type and description each: several files dropped are told apart by their names.
    for (const QString &path : files)
        addPictureFile(path, files.size() > 1 ? QFileInfo(path).completeBaseName() : QString());
    event->acceptProposedAction();
}
