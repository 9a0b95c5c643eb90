#include "app/calibrationrecord.h"
#include "app/recorder.h"
#include "touchview/touchview.h"

#include <QtTest>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <csignal>

namespace {

// A limit on the size of the files this process writes, while it lives. The
// signal that would end the process at the limit is ignored, so that a write
// across it takes what fits and the next one fails with EFBIG, as a write
// onto a filling disk takes what fits and the next one fails with ENOSPC.
// A negative size leaves the limit as it is.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes)
        : signalHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit = saved;
        if (bytes >= 0)
            limit.rlim_cur = rlim_t(bytes);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, signalHandler);
    }
    Q_DISABLE_COPY_MOVE(FileSizeLimit)

private:
    rlimit saved = {};
    void (*signalHandler)(int);
};

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

    // A row's path: $TMP is the test's folder, in which "file" is a regular
    // file, $RO the read-only file system.
    bool resolve(QString &path) const
    {
        if (path.contains(QLatin1String("$RO")) && readOnly.isEmpty())
            return false;
        path.replace(QLatin1String("$TMP"), dir.path()).replace(QLatin1String("$RO"), readOnly);
        return true;
    }

    // 3,000 frames, about 160 KB, go to the file in three writes: two when
    // the 64 KiB buffer is full and one at the flush.
    static void record3000Frames(app::Recorder &recorder)
    {
        VectorCAN::Message msg;
        msg.id = 0x1BFF8301;
        msg.extended = true;
        msg.dlc = 8;
        for (int i = 0; i < 3000; ++i) {
            msg.data[7] = quint8(i);
            msg.tx = i % 2 == 0;
            recorder.record(msg, 1733580000000000 + 397 * i);
        }
        recorder.flush();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QFile file(dir.filePath(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
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

    void recordingShouldNotStart_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");

        QTest::newRow("folder is a file") << "$TMP/file/korvel.log" << "Not a directory";
        QTest::newRow("read-only file system") << "$RO/korvel.log" << "Read-only file system";
    }

    void recordingShouldNotStart()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        if (!resolve(path))
            QSKIP("no read-only file system to be mounted here");

        app::Recorder recorder;
        QString error;
        QVERIFY(!recorder.start(path, &error));
        QCOMPARE(error, reason);
        QVERIFY(!recorder.isRecording());
    }

    void recordingShouldKeepWholeLines_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("limit");  // the file size limit; -1: none
        QTest::addColumn<QString>("reason");

        QTest::newRow("disk full") << "/dev/full" << qint64(-1) << "No space left on device";
        QTest::newRow("file size limit in the first line") << "$TMP/first.log" << qint64(10) << "File too large";
        QTest::newRow("file size limit part way through the second write")
            << "$TMP/second.log" << qint64(100000) << "File too large";
    }

    void recordingShouldKeepWholeLines()
    {
        QFETCH(QString, path);
        QFETCH(qint64, limit);
        QFETCH(QString, reason);
        resolve(path);

        app::Recorder recorder;
        QSignalSpy failed(&recorder, &app::Recorder::failed);
        QString error;
        QVERIFY2(recorder.start(path, &error), qPrintable(error));
        {
            const FileSizeLimit fileSize(limit);
            record3000Frames(recorder);
        }
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), path);
        QCOMPARE(failed.at(0).at(1).toString(), reason);
        QVERIFY(!recorder.isRecording());
        if (limit < 0)
            return;

        // What fitted, back to the end of its last whole line.
        const QString wholePath = dir.filePath(QStringLiteral("whole.log"));
        QVERIFY(recorder.start(wholePath, &error));
        record3000Frames(recorder);
        recorder.stop();
        QFile whole(wholePath);
        QFile file(path);
        QVERIFY(whole.open(QIODevice::ReadOnly) && file.open(QIODevice::ReadOnly));
        const QByteArray lines = whole.readAll();
        const QByteArray kept = file.readAll();
        QCOMPARE(kept, lines.left(lines.lastIndexOf('\n', limit - 1) + 1));

        // Debian's, for which the scripts install python3-can; run in the test's
        // folder, where no "can" of ours takes the place of python-can.
        QProcess python;
        python.setWorkingDirectory(dir.path());
        python.start(QStringLiteral("/usr/bin/python3"),
                     {"-c", "import sys, can\nprint(sum(1 for m in can.CanutilsLogReader(sys.argv[1])))", path});
        QVERIFY(python.waitForFinished(30000));
        const QByteArray errors = python.readAllStandardError();
        if (errors.contains("No module named 'can'"))
            QSKIP("python3-can is not installed");
        QVERIFY2(python.exitCode() == 0, errors.constData());
        QCOMPARE(python.readAllStandardOutput().trimmed(), QByteArray::number(kept.count('\n')));
    }

    void calibrationRecordShouldSayWhy_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("limit");  // the file size limit; -1: none
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QByteArray>("kept");  // what the file holds after; null: not read

        const QByteArray header = "Zeit,Kanal,Aktion,Roh1 unbelastet,Roh2 unbelastet,Roh1 belastet,Roh2 belastet,"
                                  "sens1Mul,sens1Div,calMul,calDiv,Bytes,Ergebnis\n";
        QTest::newRow("folder under a regular file")
            << "$TMP/file/korvel/kalibrierprotokoll.csv" << qint64(-1) << "Not a directory" << QByteArray();
        QTest::newRow("folder on a read-only file system")
            << "$RO/korvel/kalibrierprotokoll.csv" << qint64(-1) << "Read-only file system" << QByteArray();
        QTest::newRow("file on a read-only file system")
            << "$RO/kalibrierprotokoll.csv" << qint64(-1) << "Read-only file system" << QByteArray();
        QTest::newRow("disk full") << "/dev/full" << qint64(-1) << "No space left on device" << QByteArray();
        QTest::newRow("file size limit part way through the line")
            << "$TMP/korvel/kalibrierprotokoll.csv" << qint64(header.size() + 20) << "File too large" << header;
    }

    void calibrationRecordShouldSayWhy()
    {
        QFETCH(QString, path);
        QFETCH(qint64, limit);
        QFETCH(QString, reason);
        QFETCH(QByteArray, kept);
        if (!resolve(path))
            QSKIP("no read-only file system to be mounted here");

        app::CalibrationRecord record(path);
        QSignalSpy failed(&record, &app::CalibrationRecord::writeFailed);
        const QByteArray message = QByteArray::fromHex("C8021110321E96C8EA27");
        record.add({QDateTime(QDate(2026, 12, 7), QTime(23, 29, 12)), QStringLiteral("CAN 1"), QStringLiteral("speichern"),
                    {1000, 1200, 1200, 1350}, {150, 200, 234, 39}, message});
        {
            const FileSizeLimit fileSize(limit);
            record.sent(message);
        }
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), path);
        QCOMPARE(failed.at(0).at(1).toString(), reason);
        if (kept.isNull())
            return;
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), kept);
    }

    // The grid's "Matrix speichern…": a CSV file of some 15 KB, a PNG image
    // of more; nothing is left where the file was to be.
    void matrixShouldNotBeSaved_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("limit");  // the file size limit; -1: none
        QTest::addColumn<QString>("reason");

        QTest::newRow("CSV under a file size limit") << "$TMP/matrix.csv" << qint64(1000) << "File too large";
        QTest::newRow("PNG under a file size limit") << "$TMP/matrix.png" << qint64(1000) << "File too large";
        QTest::newRow("read-only file system") << "$RO/matrix.png" << qint64(-1) << "Read-only file system";
    }

    void matrixShouldNotBeSaved()
    {
        QFETCH(QString, path);
        QFETCH(qint64, limit);
        QFETCH(QString, reason);
        if (!resolve(path))
            QSKIP("no read-only file system to be mounted here");

        Touchview view;
        view.resize(400, 400);
        QByteArray matrix(64 * 64, '\0');
        for (int i = 0; i < matrix.size(); ++i)
            matrix[i] = char(i * 37);
        view.setData(64, 64, matrix);
        QString error;
        {
            const FileSizeLimit fileSize(limit);
            QVERIFY(!view.save(path, &error));
        }
        QCOMPARE(error, reason);
        QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files).filter(QStringLiteral("matrix")), QStringList());
    }
};

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
