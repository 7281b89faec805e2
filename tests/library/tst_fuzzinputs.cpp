// The inputs that once broke readTag or saveTag under the fuzzers (fuzz/regressions/), run
// through both in every build, under every extension the fuzzers give them. A failed save leaves
// the file as it was and nothing beside it; no input may make the library ask for much memory.
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <new>

#include <sys/resource.h>
#include <unistd.h>

#include "childprocess.h"
#include "savetesting.h"
#include "testsupport.h"

using namespace testsupport;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
#    if __has_feature(address_sanitizer)
constexpr bool sanitized = true;
#    else
constexpr bool sanitized = false;
#    endif
#else
constexpr bool sanitized = false;
#endif

// What the fuzzers write each input as.
const QStringList extensions
        = {"mp3", "ogg",  "oga", "flac", "mpc", "wv",  "spx", "opus", "tta", "m4a",
           "wma", "aiff", "wav", "ape",  "mod", "s3m", "it",  "xm",   "bin"};

constexpr long long memoryAllowance = 1LL << 30;

enum Outcome { Fine, OddResult, ChangedOnFailure, LeftSomething, BadCover };

// Lets the process map no more than the allowance beyond what it maps now; past that, it ends
// at once instead of seeing the allocation fail. Sanitizers reserve far more address space than
// they use: no limit.
void limitMemory()
{
    if (sanitized)
        return;
    const QList<QByteArray> fields = readAll(QStringLiteral("/proc/self/statm")).split(' ');
    const long long mapped = fields.value(0).toLongLong() * sysconf(_SC_PAGESIZE);
    const rlim_t limit = static_cast<rlim_t>(mapped + memoryAllowance);
    const rlimit memory {limit, limit};
    setrlimit(RLIMIT_AS, &memory);
    std::set_new_handler([] { _exit(1); });
}

} // namespace

class FuzzInputsTest : public QObject
{
    Q_OBJECT

private slots:
    void inputIsSavedAndRead_data();
    void inputIsSavedAndRead();
};

void FuzzInputsTest::inputIsSavedAndRead_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("extension");
    const QString root = QStringLiteral(TAGDESK_FUZZ_REGRESSIONS);
    QDirIterator inputs(root, QDir::Files, QDirIterator::Subdirectories);
    int count = 0;
    while (inputs.hasNext()) {
        const QString input = inputs.next();
        ++count;
        for (const QString &extension : extensions) {
            const QString name
                    = QDir(root).relativeFilePath(input) + QStringLiteral(" as .") + extension;
            QTest::newRow(qPrintable(name)) << input << extension;
        }
    }
    QVERIFY2(count > 0, "no inputs in fuzz/regressions");
}

void FuzzInputsTest::inputIsSavedAndRead()
{
    QFETCH(QString, input);
    QFETCH(QString, extension);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("input.") + extension);
    const QByteArray bytes = readAll(input);
    QVERIFY(writeAll(path, bytes));

    const std::optional<int> outcome = runInChild([&] {
        limitMemory();
        const int result = save(path, record(), coverBytes("fuzz"));
        if (result != 0 && result != -1)
            return int(OddResult);
        if (result != 0 && readAll(path) != bytes)
            return int(ChangedOnFailure);
        if (entriesOf(dir.path()) != QStringList {QFileInfo(path).fileName()})
            return int(LeftSomething);
        tagstruct tag;
        readTag(wide(path), &tag);
        const bool consistent = tag.pictureSize >= 0 && (tag.picture || tag.pictureSize == 0);
        delete[] tag.picture;
        return int(consistent ? Fine : BadCover);
    });

    QVERIFY2(outcome.has_value(), "the child crashed, or asked for more than 1 GiB of memory");
    QCOMPARE(*outcome, int(Fine));
}

QTEST_GUILESS_MAIN(FuzzInputsTest)

#include "tst_fuzzinputs.moc"
