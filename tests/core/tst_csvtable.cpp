// Tables of tags as spreadsheets write them: what is read from them, and what is refused.
#include "csvtable.h"

#include <QTest>

class TestCsvTable : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void values_data();
    void values();
};

void TestCsvTable::parse_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("expected"); // rows as "line:cell|cell" joined by " / ", or the error
    QTest::newRow("plain") << QByteArray("path,TITLE\r\na.mp3,T\r\n") << "1:path|TITLE / 2:a.mp3|T";
    QTest::newRow("quoted") << QByteArray("p,T\n\"a,\"\"b\"\"\nc\",\"\"\n")
                            << "1:p|T / 2:a,\"b\"\nc|";
    QTest::newRow("bom, no last break, blank")
            << QByteArray("\xEF\xBB\xBFp,T\n\nx,\xC3\xA9") << "1:p|T / 3:x|\u00e9";
    QTest::newRow("cells") << QByteArray("p,T\nx\n") << "line 2: 1 cells where the first row has 2";
    QTest::newRow("open quote") << QByteArray("p,T\nx,\"a\n\n")
                                << "line 2: a quoted cell is not closed";
    QTest::newRow("stray quote") << QByteArray("p,T\nx,a\"b\n")
                                 << "line 2: a quote inside a cell that is not quoted";
    QTest::newRow("after quote") << QByteArray("p,T\nx,\"a\"b\n")
                                 << "line 2: text after a quoted cell's closing quote";
    QTest::newRow("not UTF-8") << QByteArray("p,T\nx,y\nx,\xE9\n")
                               << "line 3: the text is not UTF-8";
}

void TestCsvTable::parse()
{
    QFETCH(QByteArray, table);
    QFETCH(QString, expected);
    QList<csvtable::Row> rows;
    QString error;
    QStringList got;
    if (csvtable::parse(table, &rows, &error)) {
        for (const csvtable::Row &row : rows)
            got += QString::number(row.line) + QLatin1Char(':') + row.cells.join(QLatin1Char('|'));
    }
    QCOMPARE(error.isEmpty() ? got.join(QStringLiteral(" / ")) : error, expected);
}

void TestCsvTable::values_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("cell");
    QTest::newRow("one") << QStringList {"A"} << "A";
    QTest::newRow("two") << QStringList {"A", "B"} << "A;B";
    QTest::newRow("separator and backslash") << QStringList {"a;b\\", "\\;"} << "a\\;b\\\\;\\\\\\;";
}

void TestCsvTable::values()
{
    QFETCH(QStringList, values);
    QFETCH(QString, cell);
    QCOMPARE(csvtable::joinValues(values), cell);
    QCOMPARE(csvtable::splitValues(cell), values);
    // A cell written and read back is the same cell.
    QList<csvtable::Row> rows;
    QString error;
    QVERIFY(csvtable::parse(csvtable::row({cell, "x"}), &rows, &error));
    QCOMPARE(rows.value(0).cells.value(0), cell);
}

QTEST_GUILESS_MAIN(TestCsvTable)
#include "tst_csvtable.moc"
