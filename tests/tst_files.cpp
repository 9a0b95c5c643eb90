#include "service/calibrationrecord.h"
#include "service/recorder.h"
#include "touchview/touchview.h"

#include <QtTest>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <csignal>
#include <numeric>

namespace {

// Limits the size of the files this process writes; a negative size lifts
// the limit. As SIGXFSZ is ignored, a write across the limit takes what fits
// and the next one fails with EFBIG, as a write onto a filling disk takes
// what fits and the next one fails with ENOSPC.
void limitFileSize(qint64 bytes)
{
    rlimit limit = {};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes < 0 ? limit.rlim_max : rlim_t(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

enum What { Recording, CalibrationRecord, Matrix };

// What is written to which path ($TMP: the test's folder; $RO: the read-only
// file system) under which file size limit (-1: none), and the reason the user
// is told. A recording refused at its start is tst_consolecommandline's.
struct Refusal { What what; QString path; qint64 limit; QString reason; };

} // namespace

// What the console's files do when the system refuses: the system's reason
// shown, and no torn line left for a reader to stumble over.
class TestFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    // A read-only file system in this process's own mount namespace, gone
    // with the process whatever becomes of the test; empty where the system
    // lets it mount none.
    QString readOnly;

    // Writes what is asked under the size limit; what the user is told, each
    // reason after its path.
    static QStringList write(What what, const QString &path, qint64 limit)
    {
        QStringList told;
        const auto tell = [&told](const QString &path, const QString &reason) { told << path + ": " + reason; };
        if (what == Recording) {
            service::Recorder recorder;
            QObject::connect(&recorder, &service::Recorder::failed, tell);
            if (QString error; !recorder.start(path, &error))
                return {path + ": " + error};
            // About 160 KB in three writes: two when the 64 KiB buffer is
            // full and one at the flush.
            limitFileSize(limit);
            for (int i = 0; i < 3000; ++i)
                recorder.record({i % 2 == 0, 0x1BFF8301, true, 8, {0, 0, 0, 0, 0, 0, 0, quint8(i)}},
                                1733580000000000 + 397 * i);
            recorder.flush();
        } else if (what == CalibrationRecord) {
            service::CalibrationRecord record(path);
            QObject::connect(&record, &service::CalibrationRecord::writeFailed, tell);
            const QByteArray message = QByteArray::fromHex("C8021110321E96C8EA27");
            record.add({QDateTime(QDate(2026, 12, 7), QTime(23, 29, 12)), QStringLiteral("CAN 1"),
                        service::CalibrationRecord::Action::Save, {1000, 1200, 1200, 1350}, {150, 200, 234, 39}, message, QStringLiteral("K-0042")});
            limitFileSize(limit);
            record.sent(message);
        } else {
            // The grid's "Matrix speichern…" at a new window's size: a PNG
            // image of some 280 KB, more than Qt's write buffer holds.
            Touchview view;
            QByteArray matrix(64 * 64, '\0');
            std::iota(matrix.begin(), matrix.end(), 0);
            view.setData(64, 64, matrix);
            limitFileSize(limit);
            if (QString error; !view.save(path, &error))
                tell(path, error);
        }
        limitFileSize(-1);
        return told;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ro")));
        const QByteArray mountPoint = QFile::encodeName(dir.filePath(QStringLiteral("ro")));
        if (::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
            && ::mount("korvel-ro", mountPoint.constData(), "tmpfs", MS_RDONLY, "size=64k") == 0)
            readOnly = dir.filePath(QStringLiteral("ro"));
    }

    void cleanupTestCase()
    {
        if (!readOnly.isEmpty())
            QCOMPARE(::umount(QFile::encodeName(readOnly).constData()), 0);
    }

    // The limits fall part way through a write: the system takes what fits
    // and gives its reason only at the next write.
    void shouldSayWhyAndKeepWholeLines_data()
    {
        QTest::addColumn<Refusal>("r");

        // The cut goes back from where the write began, past the first.
        QTest::newRow("recording: size limit part way through the second write")
            << Refusal{Recording, "$TMP/second.log", 100000, "File too large"};
        // QDir::mkpath keeps the reason to itself.
        QTest::newRow("calibration record: folder on a read-only file system")
            << Refusal{CalibrationRecord, "$RO/korvel/kalibrierprotokoll.csv", -1, "Read-only file system"};
        QTest::newRow("calibration record: file on a read-only file system")
            << Refusal{CalibrationRecord, "$RO/kalibrierprotokoll.csv", -1, "Read-only file system"};
        // No whole line yet: nothing is kept.
        QTest::newRow("calibration record: size limit in the header")
            << Refusal{CalibrationRecord, "$TMP/korvel/kalibrierprotokoll.csv", 20, "File too large"};
        QTest::newRow("matrix: size limit") << Refusal{Matrix, "$TMP/matrix.png", 1000, "File too large"};
    }

    void shouldSayWhyAndKeepWholeLines()
    {
        QFETCH(Refusal, r);
        if (r.path.contains(QLatin1String("$RO")) && readOnly.isEmpty())
            QSKIP("no read-only file system to be mounted here");
        r.path.replace(QLatin1String("$TMP"), dir.path()).replace(QLatin1String("$RO"), readOnly);

        QCOMPARE(write(r.what, r.path, r.limit), QStringList{r.path + ": " + r.reason});
        // Nothing of a matrix is left.
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("matrix*")}, QDir::Files), QStringList());
        if (r.what == Matrix || r.limit < 0)
            return;
        // What fitted, back to the end of its last whole line, of what is
        // written without the limit.
        QCOMPARE(write(r.what, r.path + ".whole", -1), QStringList());
        QFile whole(r.path + ".whole"), file(r.path);
        QVERIFY(whole.open(QIODevice::ReadOnly) && file.open(QIODevice::ReadOnly));
        const QByteArray lines = whole.readAll(), kept = file.readAll();
        QVERIFY(lines.size() > r.limit);
        QCOMPARE(kept, lines.left(lines.lastIndexOf('\n', r.limit - 1) + 1));
        if (r.what != Recording)
            return;

        // Debian's, for which the scripts install python3-can; run in the test's
        // folder, where no "can" of ours takes the place of python-can.
        QProcess python;
        python.setWorkingDirectory(dir.path());
        python.start(QStringLiteral("/usr/bin/python3"),
                     {"-c", "import sys, can\nn = sum(1 for m in can.CanutilsLogReader(sys.argv[1]))\n"
                            "sys.exit(n != int(sys.argv[2]) and f'python-can read {n} frames')",
                      r.path, QString::number(kept.count('\n'))});
        QVERIFY(python.waitForFinished(30000));
        const QByteArray errors = python.readAllStandardError();
        if (errors.contains("No module named 'can'"))
            QSKIP("python3-can is not installed");
        QVERIFY2(python.exitCode() == 0, errors.constData());
    }
};

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
