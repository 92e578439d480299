// Writing whole buffers to file descriptors: at an offset, at the descriptor's position, and through the
// unbuffered device, when the file may grow only so far (a full disk, as the program meets it).
#include "core/app/FdDevice.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

// Lets files of this process grow to limit bytes (none: 0) while it lives; a write past it fails with
// EFBIG, as one on a full disk fails with ENOSPC.
class CFileSizeLimit
{
public:
    explicit CFileSizeLimit(rlim_t limit)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_previous = std::signal(SIGXFSZ, SIG_IGN);
        if (limit > 0) {
            struct rlimit small = m_saved;
            small.rlim_cur = limit;
            ::setrlimit(RLIMIT_FSIZE, &small);
        }
    }
    ~CFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previous);
    }

private:
    struct rlimit m_saved;
    void (*m_previous)(int);
};

QByteArray Pattern(qint64 size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        data[i] = char('a' + i % 26);
    return data;
}

} // namespace

class TestFdDevice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesAllOrSaysWhy_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("offset"); // -1: at the descriptor's position, which is at byte 100
        QTest::addColumn<int>("limit");     // how far the file may grow; 0: no limit
        QTest::addColumn<qint64>("written");
        QTest::addColumn<int>("error");
        QTest::newRow("nothing") << 0LL << 0LL << 0 << 0LL << 0;
        QTest::newRow("whole, at the start") << 5000LL << 0LL << 0 << 5000LL << 0;
        QTest::newRow("whole, at an offset") << 3000LL << 10000LL << 0 << 3000LL << 0;
        QTest::newRow("whole, at the position") << 3000LL << -1LL << 0 << 3000LL << 0;
        QTest::newRow("cut at the limit") << 10000LL << 0LL << 4096 << 4096LL << EFBIG;
        QTest::newRow("cut at the limit, from an offset") << 10000LL << 1000LL << 4096 << 3096LL << EFBIG;
        QTest::newRow("cut at the limit, at the position") << 10000LL << -1LL << 4096 << 3996LL << EFBIG;
        QTest::newRow("beyond the limit") << 100LL << 8192LL << 4096 << 0LL << EFBIG;
        QTest::newRow("up to the limit") << 4096LL << 0LL << 4096 << 4096LL << 0;
    }
    void writesAllOrSaysWhy()
    {
        QFETCH(qint64, size);
        QFETCH(qint64, offset);
        QFETCH(int, limit);
        QFETCH(qint64, written);
        QFETCH(int, error);
        CScratch scratch;
        const QString path = scratch.File(QStringLiteral("out.bin"));
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::lseek(fd, 100, SEEK_SET), off_t(100));
        const QByteArray data = Pattern(size);
        qint64 done = -1;
        int result = -1;
        {
            const CFileSizeLimit cap{rlim_t(limit)};
            result = PWriteAll(fd, data.constData(), size, offset == -1 ? kAtPosition : offset, &done);
        }
        ::close(fd);
        QCOMPARE(result, error);
        QCOMPARE(done, written);
        // What was written stands where it was meant to, whole.
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const qint64 start = offset == -1 ? 100 : offset;
        const QByteArray onDisk = f.readAll();
        if (written > 0) {
            QCOMPARE(onDisk.size(), start + written);
            QCOMPARE(onDisk.mid(start), data.left(written));
        }
    }

    void deviceKeepsTheFirstError()
    {
        CScratch scratch;
        const QString path = scratch.File(QStringLiteral("out.txt"));
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        QVERIFY(fd >= 0);
        {
            CFdDevice device(fd);
            const CFileSizeLimit cap{1000};
            QCOMPARE(device.write(Pattern(600)), 600LL);
            QCOMPARE(device.Error(), 0);
            QCOMPARE(device.write(Pattern(600)), -1LL);
            QCOMPARE(device.Error(), EFBIG);
            QCOMPARE(device.errorString(), QString::fromLocal8Bit(std::strerror(EFBIG)));
        }
        ::close(fd);
        QCOMPARE(QFileInfo(path).size(), 1000LL);
    }
};

QTEST_GUILESS_MAIN(TestFdDevice)
#include "tst_fddevice.moc"
