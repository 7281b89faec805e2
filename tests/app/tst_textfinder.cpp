// The editor's form: widget tree, texts, layout, cover limits, focus order, and its signal.
#include "textfinder.h"
#include "ui_textfinder.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

// Stands in for the main window, which connects the editor's messages to its slot.
class EditorHost : public QWidget
{
    Q_OBJECT

public:
    QStringList received;

public slots:
    void updateSysInfo(const QString &message) { received << message; }
};

class TestTextFinder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void widgetTree_data();
    void widgetTree();
    void texts_data();
    void texts();
    void freshEditor();
    void gridPlacement_data();
    void gridPlacement();
    void layoutNumbers();
    void sizePolicies_data();
    void sizePolicies();
    void coverLimits_data();
    void coverLimits();
    void focusChain();
    void tabFromGenreToArtistToTitle();
    void existingObjectNameKept();
    void messagesReachParent();

private:
    template<typename T> T *child(const char *name) const
    {
        return editor->findChild<T *>(QLatin1String(name));
    }

    std::unique_ptr<EditorHost> host;
    TextFinder *editor = nullptr;
};

void TestTextFinder::init()
{
    host = std::make_unique<EditorHost>();
    editor = new TextFinder(host.get());
    connect(editor, &TextFinder::sysInfo, host.get(), &EditorHost::updateSysInfo);
}

void TestTextFinder::cleanup()
{
    host.reset();
    editor = nullptr;
}

void TestTextFinder::widgetTree_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");

    const char *const tree[][2] = {
            {"verticalLayout", "QVBoxLayout"},
            {"horizontalLayout", "QHBoxLayout"},
            {"label", "QLabel"},
            {"fileLabel", "QLabel"},
            {"findButton", "QPushButton"},
            {"gridLayout", "QGridLayout"},
            {"label_2", "QLabel"},
            {"label_3", "QLabel"},
            {"label_4", "QLabel"},
            {"lineEdit_album", "QLineEdit"},
            {"label_5", "QLabel"},
            {"lineEdit_year", "QLineEdit"},
            {"label_6", "QLabel"},
            {"lineEdit_comment", "QLineEdit"},
            {"label_7", "QLabel"},
            {"lineEdit_track", "QLineEdit"},
            {"label_8", "QLabel"},
            {"lineEdit_genre", "QLineEdit"},
            {"lineEdit_artist", "QLineEdit"},
            {"lineEdit_title", "QLineEdit"},
            {"horizontalLayout_2", "QHBoxLayout"},
            {"verticalLayout_2", "QVBoxLayout"},
            {"coverArt", "QLabel"},
            {"textEdit", "QTextEdit"},
            {"horizontalLayout_3", "QHBoxLayout"},
            {"choosePicButton", "QToolButton"},
            {"saveButton", "QPushButton"},
    };
    for (const auto &entry : tree)
        QTest::newRow(entry[0]) << QString::fromLatin1(entry[0]) << QString::fromLatin1(entry[1]);
}

void TestTextFinder::widgetTree()
{
    QFETCH(QString, name);
    QFETCH(QString, className);

    const QList<QObject *> found = editor->findChildren<QObject *>(name);
    QCOMPARE(found.size(), 1);
    QObject *object = found.first();
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), className);

    if (auto *widget = qobject_cast<QWidget *>(object)) {
        QCOMPARE(widget->parentWidget(), editor);
        // Every widget sits in one of the editor's layouts.
        bool laidOut = false;
        for (QLayout *layout : editor->findChildren<QLayout *>())
            laidOut = laidOut || layout->indexOf(widget) >= 0;
        QVERIFY(laidOut);
    } else {
        // Every layout ends up inside the editor's top layout.
        QObject *ancestor = object;
        while (ancestor && ancestor != editor->layout())
            ancestor = ancestor->parent();
        QVERIFY2(ancestor == editor->layout() || object == editor->layout(), qPrintable(name));
    }
    QCOMPARE(editor->layout()->objectName(), QStringLiteral("verticalLayout"));
}

void TestTextFinder::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    QTest::newRow("label") << "label"
                           << "MediaFile";
    QTest::newRow("fileLabel") << "fileLabel"
                               << "";
    QTest::newRow("findButton") << "findButton"
                                << "Open";
    QTest::newRow("label_2") << "label_2"
                             << "Title";
    QTest::newRow("label_3") << "label_3"
                             << "Artist";
    QTest::newRow("label_4") << "label_4"
                             << "Album";
    QTest::newRow("label_5") << "label_5"
                             << "Year";
    QTest::newRow("label_6") << "label_6"
                             << "Comment";
    QTest::newRow("label_7") << "label_7"
                             << "Track";
    QTest::newRow("label_8") << "label_8"
                             << "Genre";
    QTest::newRow("coverArt") << "coverArt"
                              << "cover";
    QTest::newRow("choosePicButton") << "choosePicButton"
                                     << "Load Cover Art Image";
    QTest::newRow("saveButton") << "saveButton"
                                << "Save";
}

void TestTextFinder::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);

    QObject *object = editor->findChild<QObject *>(name);
    QVERIFY(object);
    QCOMPARE(object->property("text").toString(), text);
}

void TestTextFinder::freshEditor()
{
    QCOMPARE(editor->objectName(), QStringLiteral("TextFinder"));
    QCOMPARE(editor->windowTitle(), QStringLiteral("TextFinder"));
    QCOMPARE(editor->size(), QSize(784, 508));
    const QList<QLineEdit *> fields = editor->findChildren<QLineEdit *>();
    QCOMPARE(fields.size(), 7);
    for (const QLineEdit *field : fields) {
        QVERIFY(field->text().isEmpty());
        QVERIFY(!field->isReadOnly());
        QVERIFY(!field->validator());
        QVERIFY(field->inputMask().isEmpty());
    }
    QVERIFY(child<QLabel>("fileLabel")->text().isEmpty());
    QCOMPARE(child<QLabel>("coverArt")->text(), QStringLiteral("cover"));
    QCOMPARE(child<QLabel>("coverArt")->alignment(), Qt::AlignCenter);
    QVERIFY(child<QTextEdit>("textEdit")->toPlainText().isEmpty());
    QVERIFY(!child<QTextEdit>("textEdit")->isReadOnly());
}

void TestTextFinder::gridPlacement_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("columnSpan");

    QTest::newRow("label_2") << "label_2" << 0 << 0 << 1;
    QTest::newRow("lineEdit_title") << "lineEdit_title" << 0 << 2 << 1;
    QTest::newRow("label_3") << "label_3" << 1 << 0 << 1;
    QTest::newRow("lineEdit_artist") << "lineEdit_artist" << 1 << 2 << 1;
    QTest::newRow("label_4") << "label_4" << 2 << 0 << 2;
    QTest::newRow("lineEdit_album") << "lineEdit_album" << 2 << 2 << 1;
    QTest::newRow("label_5") << "label_5" << 3 << 0 << 2;
    QTest::newRow("lineEdit_year") << "lineEdit_year" << 3 << 2 << 1;
    QTest::newRow("label_6") << "label_6" << 4 << 0 << 2;
    QTest::newRow("lineEdit_comment") << "lineEdit_comment" << 4 << 2 << 1;
    QTest::newRow("label_7") << "label_7" << 5 << 0 << 2;
    QTest::newRow("lineEdit_track") << "lineEdit_track" << 5 << 2 << 1;
    QTest::newRow("label_8") << "label_8" << 6 << 0 << 2;
    QTest::newRow("lineEdit_genre") << "lineEdit_genre" << 6 << 2 << 1;
}

void TestTextFinder::gridPlacement()
{
    QFETCH(QString, name);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, columnSpan);

    auto *grid = editor->findChild<QGridLayout *>(QStringLiteral("gridLayout"));
    QVERIFY(grid);
    QCOMPARE(grid->rowCount(), 7);
    const int index = grid->indexOf(editor->findChild<QWidget *>(name));
    QVERIFY(index >= 0);
    int r = -1, c = -1, rs = -1, cs = -1;
    grid->getItemPosition(index, &r, &c, &rs, &cs);
    QCOMPARE(r, row);
    QCOMPARE(c, column);
    QCOMPARE(rs, 1);
    QCOMPARE(cs, columnSpan);
}

void TestTextFinder::layoutNumbers()
{
    for (const char *name : {"verticalLayout", "horizontalLayout", "gridLayout",
                             "horizontalLayout_2", "verticalLayout_2", "horizontalLayout_3"}) {
        auto *layout = editor->findChild<QLayout *>(QLatin1String(name));
        QVERIFY2(layout, name);
        QCOMPARE(layout->spacing(), 6);
    }
    QCOMPARE(editor->layout()->contentsMargins(), QMargins(11, 11, 11, 11));

    // Top to bottom: path row, fields, cover and report, buttons.
    QLayout *top = editor->layout();
    QCOMPARE(top->count(), 4);
    const char *const rows[]
            = {"horizontalLayout", "gridLayout", "horizontalLayout_2", "horizontalLayout_3"};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(top->itemAt(i)->layout()->objectName(), QLatin1String(rows[i]));
    QLayout *coverRow = top->itemAt(2)->layout();
    QCOMPARE(coverRow->itemAt(0)->layout()->objectName(), QStringLiteral("verticalLayout_2"));
    QCOMPARE(coverRow->itemAt(0)->layout()->itemAt(0)->widget(), child<QWidget>("coverArt"));
    QCOMPARE(coverRow->itemAt(1)->widget(), child<QWidget>("textEdit"));
}

void TestTextFinder::sizePolicies_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSizePolicy::Policy>("horizontal");
    QTest::addColumn<QSizePolicy::Policy>("vertical");

    QTest::newRow("fileLabel") << "fileLabel" << QSizePolicy::Expanding << QSizePolicy::Preferred;
    QTest::newRow("choosePicButton")
            << "choosePicButton" << QSizePolicy::Expanding << QSizePolicy::Fixed;
    QTest::newRow("saveButton") << "saveButton" << QSizePolicy::Expanding << QSizePolicy::Fixed;
}

void TestTextFinder::sizePolicies()
{
    QFETCH(QString, name);
    QFETCH(QSizePolicy::Policy, horizontal);
    QFETCH(QSizePolicy::Policy, vertical);

    const QSizePolicy policy = editor->findChild<QWidget *>(name)->sizePolicy();
    QCOMPARE(policy.horizontalPolicy(), horizontal);
    QCOMPARE(policy.verticalPolicy(), vertical);
    QCOMPARE(policy.horizontalStretch(), 0);
    QCOMPARE(policy.verticalStretch(), 0);
}

void TestTextFinder::coverLimits_data()
{
    QTest::addColumn<QSize>("editorSize");
    QTest::newRow("tiny") << QSize(50, 50);
    QTest::newRow("initial") << QSize(784, 508);
    QTest::newRow("huge") << QSize(2400, 1800);
    QTest::newRow("wide and low") << QSize(2400, 300);
    QTest::newRow("narrow and tall") << QSize(300, 1800);
}

void TestTextFinder::coverLimits()
{
    QFETCH(QSize, editorSize);

    auto *cover = child<QLabel>("coverArt");
    QCOMPARE(cover->minimumSize(), QSize(240, 240));
    QCOMPARE(cover->maximumSize(), QSize(480, 480));

    // The editor fills its window, so that its layout decides the cover's size.
    auto *frame = new QVBoxLayout(host.get());
    frame->setContentsMargins(0, 0, 0, 0);
    frame->addWidget(editor);
    host->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.get()));
    host->resize(editorSize);
    QTRY_COMPARE(editor->size(), host->size());
    const QSize shown = cover->size();
    const QByteArray text
            = QByteArray::number(shown.width()) + 'x' + QByteArray::number(shown.height());
    QVERIFY2(shown.width() >= 240 && shown.height() >= 240, text.constData());
    QVERIFY2(shown.width() <= 480 && shown.height() <= 480, text.constData());
}

void TestTextFinder::focusChain()
{
    // Labels take no focus; of the rest, creation order is tab order.
    const QStringList expected
            = {"findButton",     "lineEdit_album",  "lineEdit_year",   "lineEdit_comment",
               "lineEdit_track", "lineEdit_genre",  "lineEdit_artist", "lineEdit_title",
               "textEdit",       "choosePicButton", "saveButton"};

    QStringList chain;
    QWidget *widget = editor->nextInFocusChain();
    while (widget && widget != editor && chain.size() < 100) {
        if (widget->focusPolicy() & Qt::TabFocus)
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    }
    QCOMPARE(chain, expected);
}

void TestTextFinder::tabFromGenreToArtistToTitle()
{
    host->show();
    QVERIFY(QTest::qWaitForWindowActive(host.get()));

    auto *genre = child<QLineEdit>("lineEdit_genre");
    genre->setFocus(Qt::OtherFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), genre);
    QTest::keyClick(genre, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), child<QWidget>("lineEdit_artist"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), child<QWidget>("lineEdit_title"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), child<QWidget>("textEdit"));
}

void TestTextFinder::existingObjectNameKept()
{
    QWidget named;
    named.setObjectName(QStringLiteral("myEditor"));
    Ui::TextFinder form;
    form.setupUi(&named);
    QCOMPARE(named.objectName(), QStringLiteral("myEditor"));
    QCOMPARE(form.coverArt->text(), QStringLiteral("cover"));

    QWidget unnamed;
    Ui::TextFinder form2;
    form2.setupUi(&unnamed);
    QCOMPARE(unnamed.objectName(), QStringLiteral("TextFinder"));
}

void TestTextFinder::messagesReachParent()
{
    QSignalSpy spy(editor, SIGNAL(sysInfo(QString)));
    emit editor->sysInfo(QStringLiteral("Load tag OK"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(host->received, QStringList {QStringLiteral("Load tag OK")});
}

QTEST_MAIN(TestTextFinder)
#include "tst_textfinder.moc"
