// The lookup dialog offscreen, against a loopback server answering as MusicBrainz and the Cover
// Art Archive do: search, the chosen release matched to the files, Apply with a field kept.
#include "httpserver.h"
#include "lookupdialog.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QString loveBug = QStringLiteral("aff4a693-5970-4e2e-bd46-e2ee49c22de7");

QByteArray answer(const QString &name)
{
    QFile file(QStringLiteral(TAGDESK_TEST_DATA "/musicbrainz/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestLookupDialog : public QObject
{
    Q_OBJECT

private slots:
    void searchesMatchesAndApplies()
    {
        HttpServer server;
        QTemporaryDir dir;
        QList<LookupDialog::File> files;
        MusicBrainzClient::Settings settings;
        serveAndCopy(server, dir, &files, &settings);
        const QByteArray cover = testsupport::encode(QImage(16, 16, QImage::Format_RGB32), "PNG");
        server.setBody(QStringLiteral("/caa/release/") + loveBug + QStringLiteral("/front-500"),
                       cover);
        LookupDialog dialog(files, settings);
        dialog.show();
        QVERIFY(dialog.findChild<QLineEdit *>("lineEdit_query")
                        ->text()
                        .contains(QLatin1String("release:\"The Love Bug\" AND artist:\"m-flo\"")));
        dialog.search();

        // The best fit is chosen and loaded: one search, one release.
        auto *candidates = dialog.findChild<QTreeWidget *>("candidateList");
        auto *changes = dialog.findChild<QTreeWidget *>("changeList");
        QTRY_COMPARE_WITH_TIMEOUT(changes->topLevelItemCount(), 3, 10000);
        QCOMPARE(candidates->topLevelItem(0)->text(1), QStringLiteral("the Love Bug"));
        QCOMPARE(dialog.findChild<QTableWidget *>("matchTable")->rowCount(), 3);
        dialog.findChild<QCheckBox *>("coverBox")->setChecked(true);
        QTRY_VERIFY(!dialog.findChild<QLabel *>("coverPreview")->pixmap().isNull());

        // The first file keeps its album as it is.
        QTreeWidgetItem *first = changes->topLevelItem(0);
        for (int i = 0; i < first->childCount(); ++i) {
            if (first->child(i)->text(0) == QLatin1String("ALBUM"))
                first->child(i)->setCheckState(3, Qt::Checked);
        }
        QSignalSpy applied(&dialog, &LookupDialog::applyRequested);
        dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Apply)->click();
        QCOMPARE(applied.size(), 1);
        const auto values = applied.first().at(0).value<LookupDialog::FileValues>();
        QCOMPARE(applied.first().at(1).toByteArray(), cover);
        QCOMPARE(values.size(), 3);
        const auto keys = [](const QList<TagProperty> &properties) {
            QStringList names;
            for (const TagProperty &property : properties)
                names.append(property.key);
            return names;
        };
        QVERIFY(!keys(values[0].second).contains(QStringLiteral("ALBUM")));
        QVERIFY(keys(values[1].second).contains(QStringLiteral("ALBUM")));
        QVERIFY(keys(values[0].second).contains(QStringLiteral("MUSICBRAINZ_TRACKID")));
        QCOMPARE(server.requestCount(QStringLiteral("/ws/2/release/") + loveBug
                                     + QStringLiteral("?inc=recordings+artist-credits+labels+"
                                                      "release-groups+media+isrcs&fmt=json")),
                 1);
    }

    void anotherTrackChosen()
    {
        HttpServer server;
        QTemporaryDir dir;
        QList<LookupDialog::File> files;
        MusicBrainzClient::Settings settings;
        serveAndCopy(server, dir, &files, &settings);
        LookupDialog dialog(files, settings);
        dialog.show();
        dialog.search();
        auto *changes = dialog.findChild<QTreeWidget *>("changeList");
        QTRY_COMPARE_WITH_TIMEOUT(changes->topLevelItemCount(), 3, 10000);

        // The second file's track chosen in place for the first: the second is left without.
        auto *table = dialog.findChild<QTableWidget *>("matchTable");
        const QString second = table->item(1, 1)->text();
        table->setCurrentCell(0, 1);
        auto *box = table->viewport()->findChild<QComboBox *>();
        QVERIFY(box);
        box->setCurrentIndex(box->findText(second));
        emit box->activated(box->currentIndex());
        QCOMPARE(table->item(0, 1)->text(), second);
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("(no track)"));
        QCOMPARE(changes->topLevelItemCount(), 2);
    }

private:
    // The answers of a search and of the Love Bug release, and three files of it.
    void serveAndCopy(HttpServer &server, const QTemporaryDir &dir,
                      QList<LookupDialog::File> *files, MusicBrainzClient::Settings *settings)
    {
        QVERIFY(server.start());
        server.setBody(QStringLiteral("/ws/2/release"), answer(QStringLiteral("search.json")));
        server.setBody(QStringLiteral("/ws/2/release/") + loveBug,
                       answer(QStringLiteral("release-lovebug.json")));
        for (const QString &title :
             {QStringLiteral("the Love Bug (cover)"), QStringLiteral("the Love Bug"),
              QStringLiteral("the Love Bug (Big Bug NYC remix)")}) {
            const QString path = testsupport::copyFixture(dir, QStringLiteral("tone.flac"),
                                                          title + QStringLiteral(".flac"));
            TagChanges changes;
            changes.set(QStringLiteral("TITLE"), {title});
            changes.set(QStringLiteral("ALBUM"), {QStringLiteral("The Love Bug")});
            changes.set(QStringLiteral("ARTIST"), {QStringLiteral("m-flo")});
            QCOMPARE(changes.save(path), 0);
            LookupDialog::File file {path, {}};
            QVERIFY(file.record.read(path));
            files->append(file);
        }
        settings->server = server.url(QString());
        settings->coverServer = server.url(QStringLiteral("/caa"));
    }
};

QTEST_MAIN(TestLookupDialog)
#include "tst_lookupdialog.moc"
