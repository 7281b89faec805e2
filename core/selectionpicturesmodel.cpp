#include "selectionpicturesmodel.h"

#include "tagrecord.h"
#include "tagsession.h"

#include <QBuffer>
#include <QFutureWatcher>
#include <QImageReader>
#include <QLocale>
#include <QtConcurrent>

#include <algorithm>

namespace {

// Decodes at about the thumbnail's size: a JPEG then decodes at a fraction of its size.
QImage thumbnailOf(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    const int side = SelectionPicturesModel::thumbnailSide;
    if (size.isValid())
        reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (!image.isNull() && (image.width() > side || image.height() > side))
        image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace

SelectionPicturesModel::SelectionPicturesModel(TagSession *session, QObject *parent)
    : QAbstractTableModel(parent)
    , m_session(session)
{
    connect(session, &TagSession::picturesChanged, this, &SelectionPicturesModel::refresh);
    // Rows going out of the session go out of the selection; other columns keep it.
    connect(session, &QAbstractItemModel::rowsRemoved, this,
            &SelectionPicturesModel::pruneSelection);
    connect(session, &QAbstractItemModel::modelReset, this,
            &SelectionPicturesModel::pruneSelection);
}

void SelectionPicturesModel::pruneSelection()
{
    QList<RowId> kept = m_selection;
    kept.removeIf([this](RowId id) { return !m_session->contains(id); });
    if (kept.size() != m_selection.size())
        setSelection(kept);
}

QString SelectionPicturesModel::typeName(int type)
{
    static const char *const names[] = {
            QT_TR_NOOP("Other"),
            QT_TR_NOOP("File icon"),
            QT_TR_NOOP("Other file icon"),
            QT_TR_NOOP("Front cover"),
            QT_TR_NOOP("Back cover"),
            QT_TR_NOOP("Leaflet page"),
            QT_TR_NOOP("Media"),
            QT_TR_NOOP("Lead artist"),
            QT_TR_NOOP("Artist"),
            QT_TR_NOOP("Conductor"),
            QT_TR_NOOP("Band"),
            QT_TR_NOOP("Composer"),
            QT_TR_NOOP("Lyricist"),
            QT_TR_NOOP("Recording location"),
            QT_TR_NOOP("During recording"),
            QT_TR_NOOP("During performance"),
            QT_TR_NOOP("Screen capture"),
            QT_TR_NOOP("Bright coloured fish"),
            QT_TR_NOOP("Illustration"),
            QT_TR_NOOP("Band logo"),
            QT_TR_NOOP("Publisher logo"),
    };
    return type >= 0 && type < int(std::size(names)) ? tr(names[type]) : QString::number(type);
}

QString SelectionPicturesModel::differentPictures()
{
    return tr("<different pictures>");
}

void SelectionPicturesModel::setSelection(const QList<RowId> &ids)
{
    beginResetModel();
    m_selection = ids;
    m_selected = QSet<RowId>(ids.cbegin(), ids.cend());
    m_entries = entries();
    endResetModel();
    // Thumbnails of the pictures shown only: a folder's selections would keep them all.
    for (auto thumbnail = m_thumbnails.begin(); thumbnail != m_thumbnails.end();) {
        if (std::none_of(m_entries.cbegin(), m_entries.cend(), [&](const Entry &entry) {
                return entry.picture.dataId == thumbnail.key();
            }))
            thumbnail = m_thumbnails.erase(thumbnail);
        else
            ++thumbnail;
    }
}

QList<SelectionPicturesModel::Entry> SelectionPicturesModel::entries() const
{
    QList<Entry> found;
    if (!m_session)
        return found;
    qsizetype present = 0;
    QList<qsizetype> holders; // per entry: how many files hold it alike
    // A row with the pictures of the first one counts where the first did: thousands of rows
    // with one cover are selected at once.
    const QList<SessionPicture> *firstPictures = nullptr;
    QList<qsizetype> firstMet;
    for (const RowId id : m_selection) {
        const SessionRow *row = m_session->row(id);
        if (!row)
            continue;
        ++present;
        const QList<SessionPicture> &pictures = row->currentPictures();
        if (firstPictures && pictures == *firstPictures) {
            for (const qsizetype at : std::as_const(firstMet))
                ++holders[at];
            continue;
        }
        QSet<qsizetype> met; // a file holding two of one type and description counts once
        for (const SessionPicture &picture : pictures) {
            qsizetype at = 0;
            while (at < found.size()
                   && !found.at(at).picture.sameKey(picture.type, picture.description))
                ++at;
            if (at == found.size()) {
                found.append({picture, id, false});
                holders.append(0);
            }
            if (met.contains(at))
                continue;
            met.insert(at);
            if (found.at(at).picture.dataId != picture.dataId)
                found[at].differs = true;
            ++holders[at];
        }
        if (!firstPictures) {
            firstPictures = &pictures;
            firstMet = met.values();
        }
    }
    for (qsizetype i = 0; i < found.size(); ++i) {
        if (holders.at(i) != present)
            found[i].differs = true;
    }
    return found;
}

void SelectionPicturesModel::refresh(const QList<RowId> &changed)
{
    if (std::none_of(changed.cbegin(), changed.cend(),
                     [this](RowId id) { return m_selected.contains(id); }))
        return;
    QList<Entry> now = entries();
    const bool sameRows = now.size() == m_entries.size()
            && std::equal(now.cbegin(), now.cend(), m_entries.cbegin(),
                          [](const Entry &a, const Entry &b) {
                              return a.picture.sameKey(b.picture.type, b.picture.description);
                          });
    if (sameRows) {
        // In place, so that an editor open on a row stays open.
        m_entries = std::move(now);
        if (!m_entries.isEmpty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        return;
    }
    // Pictures are few: the rows are put anew.
    beginResetModel();
    m_entries = std::move(now);
    endResetModel();
}

int SelectionPicturesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int SelectionPicturesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant SelectionPicturesModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Entry &entry = m_entries.at(index.row());
    const SessionPicture &picture = entry.picture;
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == TypeColumn)
            return typeName(picture.type);
        if (index.column() == DescriptionColumn)
            return picture.description;
        if (entry.differs)
            return differentPictures();
        if (picture.width > 0 && picture.height > 0)
            return tr("%1 × %2, %3")
                    .arg(picture.width)
                    .arg(picture.height)
                    .arg(QLocale().formattedDataSize(picture.size));
        return QLocale().formattedDataSize(picture.size);
    case Qt::EditRole:
        if (index.column() == TypeColumn)
            return picture.type;
        return index.column() == DescriptionColumn ? picture.description : QVariant();
    case Qt::DecorationRole:
        if (index.column() != TypeColumn)
            return QVariant();
        if (const auto found = m_thumbnails.constFind(picture.dataId); found != m_thumbnails.cend())
            return *found;
        thumbnailFor(entry);
        return QVariant();
    case Qt::ToolTipRole:
        return picture.mime;
    case TypeRole:
        return picture.type;
    case DiffersRole:
        return entry.differs;
    default:
        return QVariant();
    }
}

void SelectionPicturesModel::thumbnailFor(const Entry &entry) const
{
    if (!m_session || m_decoding.contains(entry.picture.dataId))
        return;
    m_decoding.insert(entry.picture.dataId);
    const SessionPictureSource source = m_session->pictureSource(entry.first, entry.picture);
    auto *watcher = new QFutureWatcher<QImage>(const_cast<SelectionPicturesModel *>(this));
    const quint64 dataId = entry.picture.dataId;
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, dataId] {
        const_cast<SelectionPicturesModel *>(this)->thumbnailReady(dataId, watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run([source] { return thumbnailOf(source.bytes()); }));
}

void SelectionPicturesModel::thumbnailReady(quint64 dataId, const QImage &image)
{
    m_decoding.remove(dataId);
    // A picture that cannot be decoded keeps its null thumbnail and is not tried again.
    m_thumbnails.insert(dataId, image);
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).picture.dataId == dataId)
            emit dataChanged(index(int(i), TypeColumn), index(int(i), TypeColumn),
                             {Qt::DecorationRole});
    }
}

bool SelectionPicturesModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !m_session || index.column() == SizeColumn
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const SessionPicture picture = m_entries.at(index.row()).picture;
    int type = picture.type;
    QString description = picture.description;
    if (index.column() == TypeColumn) {
        bool number = false;
        type = value.toInt(&number);
        if (!number || type < 0 || type > int(TagPictureType::Last))
            return false;
    } else {
        description = value.toString();
    }
    m_session->changePicture(m_selection, picture.type, picture.description, type, description);
    return true;
}

Qt::ItemFlags SelectionPicturesModel::flags(const QModelIndex &index) const
{
    const Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    return index.isValid() && index.column() != SizeColumn ? flags | Qt::ItemIsEditable : flags;
}

QVariant SelectionPicturesModel::headerData(int section, Qt::Orientation orientation,
                                            int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 2)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const titles[]
            = {QT_TR_NOOP("Type"), QT_TR_NOOP("Description"), QT_TR_NOOP("Size")};
    return tr(titles[section]);
}

bool SelectionPicturesModel::addPicture(int type, const QString &description,
                                        const QByteArray &bytes)
{
    if (!m_session || m_selection.isEmpty())
        return false;
    SessionPicture picture = SessionPicture::of(type, description, bytes);
    if (picture.width <= 0)
        return false;
    m_session->putPicture(m_selection, picture);
    return true;
}

void SelectionPicturesModel::removePicture(int row)
{
    if (row < 0 || row >= rowCount() || !m_session)
        return;
    const SessionPicture &picture = m_entries.at(row).picture;
    m_session->removePicture(m_selection, picture.type, picture.description);
}

SessionPictureSource SelectionPicturesModel::source(int row) const
{
    if (row < 0 || row >= rowCount() || !m_session)
        return {};
    return m_session->pictureSource(m_entries.at(row).first, m_entries.at(row).picture);
}

QString SelectionPicturesModel::mimeOf(int row) const
{
    return row < 0 || row >= rowCount() ? QString() : m_entries.at(row).picture.mime;
}
