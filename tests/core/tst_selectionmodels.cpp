// The tags and pictures of a selection of the session, edited through their models, saved and
// read back with TagLib.
#include "selectionpicturesmodel.h"
#include "selectiontagsmodel.h"
#include "tagsession.h"
#include "testsupport.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <QUndoStack>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>

using namespace testsupport;

namespace {

using Picture = TagLib::ID3v2::AttachedPictureFrame;

QByteArray image(Qt::GlobalColor color)
{
    QImage picture(16, 16, QImage::Format_RGB32);
    picture.fill(color);
    return encode(picture, "PNG");
}

bool addPicture(const QString &path, Picture::Type type, const QByteArray &bytes)
{
    TagLib::MPEG::File file(fileNameBytes(path).constData());
    auto *frame = new Picture;
    frame->setType(type);
    frame->setMimeType("image/png");
    frame->setPicture(TagLib::ByteVector(bytes.constData(), unsigned(bytes.size())));
    file.ID3v2Tag(true)->addFrame(frame);
    return file.save();
}

// Type and bytes of every picture the file holds, in its order.
QList<QPair<int, QByteArray>> picturesOf(const QString &path)
{
    QList<QPair<int, QByteArray>> found;
    TagLib::MPEG::File file(fileNameBytes(path).constData());
    if (!file.ID3v2Tag())
        return found;
    for (TagLib::ID3v2::Frame *frame : file.ID3v2Tag()->frameListMap()["APIC"]) {
        const auto *picture = static_cast<Picture *>(frame);
        found.append({int(picture->type()),
                      QByteArray(picture->picture().data(), picture->picture().size())});
    }
    return found;
}

QStringList valuesOf(const QString &path, const char *key)
{
    TagLib::MPEG::File file(fileNameBytes(path).constData());
    const TagLib::PropertyMap properties = file.properties();
    QStringList values;
    for (const TagLib::String &value : properties[key])
        values.append(fromTagString(value));
    return values;
}

} // namespace

class TestSelectionModels : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void passTheModelTester();
    void addsAFieldToTheSelection();
    void keepsAFieldThatDiffersWhileAnotherIsEdited();
    void followsEditsOfSomeRows();
    void addsAndRemovesPictures();
    void undoesAPictureChangeOverASave();
    void coverReplacesOnlyTheFrontCover();

private:
    void open();
    void save();

    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList m_paths;
    std::unique_ptr<TagSession> m_session;
};

void TestSelectionModels::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_paths.clear();
    // Front covers that differ, one back cover alike.
    const Qt::GlobalColor fronts[] = {Qt::red, Qt::green, Qt::blue};
    for (int i = 0; i < 3; ++i) {
        const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"),
                                         QStringLiteral("%1.mp3").arg(i + 1));
        QVERIFY(writeFields(path));
        QVERIFY(addPicture(path, Picture::FrontCover, image(fronts[i])));
        QVERIFY(addPicture(path, Picture::BackCover, image(Qt::black)));
        TagLib::MPEG::File file(fileNameBytes(path).constData());
        file.ID3v2Tag()->setArtist(tagString(QStringLiteral("Artist %1").arg(i + 1)));
        QVERIFY(file.save());
        m_paths.append(path);
    }
    m_session = std::make_unique<TagSession>();
    open();
}

void TestSelectionModels::open()
{
    QSignalSpy read(m_session.get(), &TagSession::readFinished);
    QList<SessionFile> files;
    for (const QString &path : std::as_const(m_paths))
        files.append({path});
    m_session->open(files);
    QVERIFY(read.wait());
    QCOMPARE(m_session->rowCount(), 3);
}

void TestSelectionModels::save()
{
    QSignalSpy saved(m_session.get(), &TagSession::saveFinished);
    m_session->saveModified();
    QVERIFY(saved.wait());
    QCOMPARE(saved.at(0).at(0).toInt(), 0);
    QVERIFY(!m_session->anyModified());
}

void TestSelectionModels::passTheModelTester()
{
    SelectionTagsModel tags(m_session.get());
    SelectionPicturesModel pictures(m_session.get());
    QAbstractItemModelTester tagsTester(&tags,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester picturesTester(&pictures,
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
    const QList<RowId> ids = m_session->allIds();
    tags.setSelection(ids);
    pictures.setSelection(ids);
    QCOMPARE(pictures.rowCount(), 2);
    const int added = tags.addField(QStringLiteral("mood"));
    QVERIFY(tags.setData(tags.index(added, SelectionTagsModel::ValueColumn), QStringLiteral("Calm"),
                         Qt::EditRole));
    tags.removeField(tags.rowOf(QStringLiteral("TITLE")));
    QVERIFY(pictures.addPicture(8, QString(), image(Qt::white)));
    pictures.removePicture(0);
    m_session->undoStack()->undo();
    m_session->remove({ids[0]});
    QCOMPARE(tags.selection().size(), 2);
    m_session->undoStack()->setIndex(0);
    QCOMPARE(tags.rowOf(QStringLiteral("MOOD")), -1);
}

void TestSelectionModels::addsAFieldToTheSelection()
{
    SelectionTagsModel tags(m_session.get());
    tags.setSelection(m_session->allIds());
    const int row = tags.addField(QStringLiteral("Mood"));
    QCOMPARE(
            tags.data(tags.index(row, SelectionTagsModel::FieldColumn), Qt::DisplayRole).toString(),
            u"MOOD");
    // Several values, one a line.
    QVERIFY(tags.setData(tags.index(row, SelectionTagsModel::ValueColumn),
                         QStringLiteral("Calm\nBright"), Qt::EditRole));
    QCOMPARE(m_session->undoStack()->count(), 1);
    save();
    for (const QString &path : std::as_const(m_paths))
        QCOMPARE(valuesOf(path, "MOOD"),
                 QStringList({QStringLiteral("Calm"), QStringLiteral("Bright")}));
}

void TestSelectionModels::keepsAFieldThatDiffersWhileAnotherIsEdited()
{
    SelectionTagsModel tags(m_session.get());
    tags.setSelection(m_session->allIds());
    const QModelIndex artist
            = tags.index(tags.rowOf(QStringLiteral("ARTIST")), SelectionTagsModel::ValueColumn);
    QCOMPARE(artist.data().toString(), SelectionTagsModel::differentValues());
    QCOMPARE(tags.index(artist.row(), 0).data().toString(), u"Artist");
    // An editor closed as it opened leaves the files that differ alone.
    QVERIFY(tags.setData(artist, artist.data(Qt::EditRole), Qt::EditRole));
    QVERIFY(tags.setData(
            tags.index(tags.rowOf(QStringLiteral("TITLE")), SelectionTagsModel::ValueColumn),
            QStringLiteral("Same"), Qt::EditRole));
    QCOMPARE(m_session->undoStack()->count(), 1);
    save();
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(valuesOf(m_paths[i], "TITLE"), QStringList {QStringLiteral("Same")});
        QCOMPARE(valuesOf(m_paths[i], "ARTIST"),
                 QStringList {QStringLiteral("Artist %1").arg(i + 1)});
    }
}

// The table as it follows the changes, against one made anew for the same selection.
void TestSelectionModels::followsEditsOfSomeRows()
{
    const QList<RowId> ids = m_session->allIds();
    SelectionTagsModel tags(m_session.get());
    tags.setSelection(ids);
    const auto shown = [](const SelectionTagsModel &model) {
        QStringList rows;
        for (int row = 0; row < model.rowCount(); ++row)
            rows << model.index(row, 0).data(SelectionTagsModel::KeyRole).toString() + u'='
                            + model.index(row, 1).data().toString();
        return rows;
    };
    const auto check = [&] {
        SelectionTagsModel fresh(m_session.get());
        fresh.setSelection(ids);
        QCOMPARE(shown(tags), shown(fresh));
    };
    const QString artist = QStringLiteral("ARTIST");
    m_session->setText({ids[1], ids[2]}, artist, QStringLiteral("Artist 1"));
    check();
    QCOMPARE(tags.index(tags.rowOf(artist), 1).data().toString(), u"Artist 1");
    m_session->setText({ids[1]}, artist, QStringLiteral("Other"));
    check();
    m_session->undoStack()->undo();
    check();
    m_session->setText({ids[0]}, QStringLiteral("ALBUM"), QStringLiteral("First"));
    check();
    m_session->setText(ids, QStringLiteral("GROUPING"), QStringLiteral("New"));
    check();
    m_session->removeKey(ids, artist);
    check();
    QCOMPARE(tags.rowOf(artist), -1);
    save();
    check();
}

void TestSelectionModels::addsAndRemovesPictures()
{
    SelectionPicturesModel pictures(m_session.get());
    pictures.setSelection(m_session->allIds());
    QCOMPARE(pictures.rowCount(), 2);
    // The front covers differ, the back covers are alike.
    QVERIFY(pictures.index(0, 0).data(SelectionPicturesModel::DiffersRole).toBool());
    QVERIFY(!pictures.index(1, 0).data(SelectionPicturesModel::DiffersRole).toBool());
    QCOMPARE(pictures.index(1, SelectionPicturesModel::TypeColumn).data().toString(),
             u"Back cover");
    QVERIFY(!pictures.addPicture(8, QString(), "no image"));
    const QByteArray artist = image(Qt::yellow);
    QVERIFY(pictures.addPicture(8, QStringLiteral("On stage"), artist));
    pictures.removePicture(1);
    QCOMPARE(pictures.rowCount(), 2);
    save();
    const Qt::GlobalColor fronts[] = {Qt::red, Qt::green, Qt::blue};
    for (int i = 0; i < 3; ++i) {
        const QList<QPair<int, QByteArray>> held = picturesOf(m_paths[i]);
        QCOMPARE(held.size(), 2);
        QCOMPARE(held.at(0), qMakePair(3, image(fronts[i])));
        QCOMPARE(held.at(1), qMakePair(8, artist));
    }
}

void TestSelectionModels::undoesAPictureChangeOverASave()
{
    SelectionPicturesModel pictures(m_session.get());
    pictures.setSelection(m_session->allIds());
    // The back cover becomes a leaflet page, then is undone after its save.
    QVERIFY(pictures.setData(pictures.index(1, SelectionPicturesModel::TypeColumn), 5,
                             Qt::EditRole));
    QCOMPARE(pictures.index(1, 0).data().toString(), u"Leaflet page");
    QVERIFY(m_session->anyModified());
    save();
    QCOMPARE(picturesOf(m_paths[0]).at(1).first, 5);
    m_session->undoStack()->undo();
    QVERIFY(m_session->anyModified());
    QCOMPARE(pictures.index(1, 0).data().toString(), u"Back cover");
    save();
    for (const QString &path : std::as_const(m_paths)) {
        const QList<QPair<int, QByteArray>> held = picturesOf(path);
        QCOMPARE(held.size(), 2);
        QCOMPARE(held.at(1), qMakePair(4, image(Qt::black)));
    }
    m_session->undoStack()->redo();
    m_session->undoStack()->undo();
    QVERIFY(!m_session->anyModified());
}

void TestSelectionModels::coverReplacesOnlyTheFrontCover()
{
    const RowId first = m_session->idAt(0);
    const QByteArray cover = image(Qt::cyan);
    m_session->setCover({first}, cover);
    QCOMPARE(m_session->newCover(first), cover);
    QCOMPARE(m_session->coverId(first), sessionCoverId(cover));
    QSignalSpy details(m_session.get(), &TagSession::detailsRead);
    m_session->readDetails(first);
    QVERIFY(details.wait());
    QCOMPARE(details.at(0).at(2).toByteArray(), cover);
    save();
    QCOMPARE(picturesOf(m_paths[0]),
             (QList<QPair<int, QByteArray>> {{3, cover}, {4, image(Qt::black)}}));
    QCOMPARE(m_session->coverId(first), sessionCoverId(cover));
    QVERIFY(m_session->newCover(first).isEmpty());
}

QTEST_GUILESS_MAIN(TestSelectionModels)
#include "tst_selectionmodels.moc"
