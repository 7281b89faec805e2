// Results come out in the order of the files, however the work on them ends.
#include "batchrunner.h"

#include <QTest>

#include <atomic>
#include <chrono>
#include <numeric>
#include <thread>

using namespace std::chrono_literals;

class TestBatchRunner : public QObject
{
    Q_OBJECT

private slots:
    void orderKeptPastASlowFile_data();
    void orderKeptPastASlowFile();
    void cancelHandsOverWhatBegan();
};

void TestBatchRunner::orderKeptPastASlowFile_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("jobs");
    // The index whose work ends after every other's and a few of the runner's ticks.
    QTest::addColumn<int>("slow");
    QTest::newRow("the first, 2 jobs") << 10 << 2 << 0;
    QTest::newRow("in the middle, 4 jobs") << 80 << 4 << 40;
    QTest::newRow("last of a waking run, 3 jobs") << 70 << 3 << 31;
}

void TestBatchRunner::orderKeptPastASlowFile()
{
    QFETCH(int, count);
    QFETCH(int, jobs);
    QFETCH(int, slow);
    QList<int> results(count, -1);
    std::atomic<int> othersDone {0};
    std::atomic<int> deliveries {0};
    std::atomic<qsizetype> handedTo {0};
    // Past a few ticks, unless the runner has already handed it over.
    const auto work = [&](qsizetype i) {
        while (i == slow && (othersDone < count - 1 || (deliveries < 3 && handedTo <= slow)))
            std::this_thread::sleep_for(1ms);
        results[i] = int(i);
        if (i != slow)
            ++othersDone;
    };
    QList<int> handed;
    const auto deliver = [&](qsizetype from, qsizetype to) {
        handed += results.mid(from, to - from);
        handedTo = to;
        ++deliveries;
    };

    QCOMPARE(BatchRunner(count, jobs).run(work, deliver, 2ms), qsizetype(count));
    QList<int> inOrder(count);
    std::iota(inOrder.begin(), inOrder.end(), 0);
    QCOMPARE(handed, inOrder); // a result handed over before its work ended reads -1
}

void TestBatchRunner::cancelHandsOverWhatBegan()
{
    // One job: the indices begin one after another, so the sixth is the last to begin.
    BatchRunner runner(100, 1);
    qsizetype handed = 0;
    const auto work = [&](qsizetype i) {
        if (i == 5)
            runner.cancel();
    };
    const auto deliver = [&](qsizetype from, qsizetype to) { handed += to - from; };
    QCOMPARE(runner.run(work, deliver, 5ms), qsizetype(6));
    QCOMPARE(handed, qsizetype(6));
}

QTEST_GUILESS_MAIN(TestBatchRunner)
#include "tst_batchrunner.moc"
