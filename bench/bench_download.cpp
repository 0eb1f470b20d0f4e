// The download client against curl, side by side from the same local server (python3 -m
// http.server on 127.0.0.1): 256 MB into a file with PacketSize 10000, the resident-size growth
// of our process during that download, and a 100 MB memory-buffer download (DownloadType 1)
// with its count of buffer reallocations.
#include "DataConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <unistd.h>

using namespace corvanel;

using namespace corvanel::update;

namespace {

constexpr qint64 kFileBytes = 256LL * 1024 * 1024;
constexpr qint64 kMemoryBytes = 100LL * 1024 * 1024;

qint64 residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}

// The server and its files live for the whole run.
struct Origin
{
    QTemporaryDir served;
    QTemporaryDir scratch;
    QProcess server;
    int port = 0;
    bool ok = false;

    Origin()
    {
        if (!writePattern(served.filePath(QStringLiteral("big.bin")), kFileBytes) ||
            !writePattern(served.filePath(QStringLiteral("memory.bin")), kMemoryBytes))
            return;
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            port = probe.serverPort();
        }
        // python logs every request to its error output.
        server.setStandardOutputFile(QProcess::nullDevice());
        server.setStandardErrorFile(QProcess::nullDevice());
        server.start(QStringLiteral("python3"),
                     {QStringLiteral("-m"), QStringLiteral("http.server"), QString::number(port),
                      QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--directory"),
                      served.path()});
        if (!server.waitForStarted(5000))
            return;
        for (int i = 0; i < 200 && !ok; ++i) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
            ok = probe.waitForConnected(100);
            if (!ok)
                QThread::msleep(25);
        }
    }
    ~Origin()
    {
        server.terminate();
        if (!server.waitForFinished(3000))
            server.kill();
        server.waitForFinished(3000);
    }
    QString address(const char *name) const
    {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(port).arg(QLatin1String(name));
    }
    static bool writePattern(const QString &path, qint64 size)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        QByteArray block(1 << 20, '\0');
        for (int i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>((i * 31) & 0xFF);
        for (qint64 written = 0; written < size; written += block.size()) {
            if (file.write(block.constData(), std::min<qint64>(block.size(), size - written)) < 0)
                return false;
        }
        return true;
    }
};

Origin &origin()
{
    static Origin instance;
    return instance;
}

struct Outcome
{
    double seconds = 0;
    bool ok = false;
    qint64 rssGrowth = 0;
    int reallocations = 0;
};

Outcome download(BodyTarget type, const QString &address, const QString &target)
{
    DataConnection connection;
    connection.setDownloadType(type);
    connection.setUseTempFile(false);
    connection.setFilename(target);
    connection.setPacketSize(10000);
    QEventLoop loop;
    Outcome outcome;
    const qint64 before = residentBytes();
    qint64 peak = before;
    int blocks = 0;
    QObject::connect(&connection, &DataConnection::Disconnected, &loop, [&] {
        outcome.ok = true;
        loop.quit();
    });
    QObject::connect(&connection, &DataConnection::DownloadFailed, &loop, [&](int why) {
        std::fprintf(stderr, "download failed: %s\n", qPrintable(DataConnection::FailureToString(why)));
        loop.quit();
    });
    QObject::connect(&connection, &DataConnection::BytesReceived, &loop, [&] {
        if (++blocks % 256 == 0)
            peak = std::max(peak, residentBytes());
    });
    QElapsedTimer timer;
    timer.start();
    connection.FetchURLString(address);
    loop.exec();
    outcome.seconds = timer.nsecsElapsed() / 1e9;
    outcome.rssGrowth = std::max(peak, residentBytes()) - before;
    outcome.reallocations = connection.bufferReallocations();
    if (type == BodyTarget::Memory)
        outcome.ok = outcome.ok && connection.GetBufferSize() == kMemoryBytes;
    else
        outcome.ok = outcome.ok && QFileInfo(target).size() == kFileBytes;
    return outcome;
}

// curl's download, timed to the same point as ours: a finished download of ours is on the disk
// (synced) before it is reported, so curl's file is synced too before its clock stops.
double curlSeconds(const QString &address, const QString &target)
{
    QProcess curl;
    QElapsedTimer timer;
    timer.start();
    curl.start(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), target, address});
    if (!curl.waitForFinished(120000) || curl.exitCode() != 0 || QFileInfo(target).size() != kFileBytes)
        return -1;
    QFile written(target);
    if (!written.open(QIODevice::ReadOnly) || ::fsync(written.handle()) != 0)
        return -1;
    return timer.nsecsElapsed() / 1e9;
}

void BM_DownloadVsCurl(benchmark::State &state)
{
    Origin &server = origin();
    if (!server.ok) {
        state.SkipWithError("the local server did not start");
        return;
    }
    const QString ours = server.scratch.filePath(QStringLiteral("ours.bin"));
    const QString theirs = server.scratch.filePath(QStringLiteral("curl.bin"));
    double oursTotal = 0, curlTotal = 0;
    qint64 growth = 0;
    for (auto _ : state) {
        const double curl = curlSeconds(server.address("big.bin"), theirs);
        const Outcome outcome = download(BodyTarget::File, server.address("big.bin"), ours);
        if (!outcome.ok || curl < 0) {
            state.SkipWithError("a download failed");
            return;
        }
        QFile::remove(ours);
        QFile::remove(theirs);
        state.SetIterationTime(outcome.seconds);
        oursTotal += outcome.seconds;
        curlTotal += curl;
        growth = std::max(growth, outcome.rssGrowth);
    }
    const double mb = kFileBytes / 1e6 * static_cast<double>(state.iterations());
    state.counters["ours_MBps"] = mb / oursTotal;
    state.counters["curl_MBps"] = mb / curlTotal;
    state.counters["ratio_vs_curl"] = curlTotal / oursTotal;
    state.counters["rss_growth_MB"] = growth / 1e6;
    std::printf("download 256 MB: ours %.0f MB/s, curl %.0f MB/s, ratio %.2f (target >= 0.80), "
                "resident growth %.1f MB (target <= 16)\n",
                mb / oursTotal, mb / curlTotal, curlTotal / oursTotal, growth / 1e6);
}

void BM_MemoryBufferDownload(benchmark::State &state)
{
    Origin &server = origin();
    if (!server.ok) {
        state.SkipWithError("the local server did not start");
        return;
    }
    int reallocations = 0;
    for (auto _ : state) {
        const Outcome outcome = download(BodyTarget::Memory, server.address("memory.bin"), QString());
        if (!outcome.ok) {
            state.SkipWithError("the download failed");
            return;
        }
        state.SetIterationTime(outcome.seconds);
        reallocations = outcome.reallocations;
    }
    state.counters["reallocations"] = reallocations;
    state.counters["MBps"] =
        benchmark::Counter(kMemoryBytes / 1e6 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    std::printf("memory buffer 100 MB in blocks of up to 10000 bytes: %d reallocations\n", reallocations);
}

BENCHMARK(BM_DownloadVsCurl)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryBufferDownload)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
