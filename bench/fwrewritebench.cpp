// A 128 KiB firmware rewrite through the intermediate area against a simulated module, with
// real (not accelerated) waits: the wall time of rewrite() against the sum of its fixed waits,
// and the longest stall of an event loop that reads the progress log every 100 ms meanwhile,
// as the update dialog does. Run inside a private network namespace:
//   scripts/in-netns build/bench/fwrewritebench
#include "firmwarelog.h"
#include "fwrewriter.h"
#include "modulesession.h"
#include "simbench.h"
#include "simfirmwareimage.h"

#include <visa.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {
const char *host = "127.0.0.2";
const char *resource = "TCPIP0::127.0.0.2::inst0::INSTR";
constexpr int imageSize = 128 * 1024;
// 3 s after the erase, 350 ms per 4096-byte block, 5 s after the copy command.
constexpr int fixedWaitsMs = 3000 + imageSize / 4096 * 350 + 5000;
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SimBench bench;
    QString error;
    if (!bench.addRvka5630(QString::fromLatin1(host), &error)) {
        std::fprintf(stderr,
                     "cannot start the simulated module: %s\n(run inside scripts/in-netns)\n",
                     qPrintable(error));
        return 1;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("image.bin"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(SimFirmwareImage::generate(imageSize, 11)) != imageSize)
        return 1;
    file.close();

    ViSession rm = VI_NULL;
    if (viOpenDefaultRM(&rm) != VI_SUCCESS)
        return 1;
    ModuleSession session;
    if (session.open(rm, resource, 1000) != VI_SUCCESS)
        return 1;
    FirmwareLog log;
    bool written = false;
    qint64 rewriteMs = 0;
    {
        FwRewriter rewriter(session, path.toUtf8(), log);
        QThread *worker = QThread::create([&] {
            QElapsedTimer timer;
            timer.start();
            written = rewriter.rewrite();
            rewriteMs = timer.elapsed();
        });

        QElapsedTimer sinceTick;
        qint64 longestStallMs = 0;
        int labelUpdates = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longestStallMs = std::max(longestStallMs, sinceTick.restart() - 100);
            QByteArray latest = log.latestMessage();
            labelUpdates += latest.isEmpty() ? 0 : 1;
        });
        QObject::connect(worker, &QThread::finished, &app, &QCoreApplication::quit);
        sinceTick.start();
        tick.start(100);
        worker->start();
        app.exec();
        worker->wait();
        delete worker;

        const qint64 overheadMs = rewriteMs - fixedWaitsMs;
        std::printf("128 KiB rewrite through the intermediate area: %s\n",
                    written ? "written" : "FAILED");
        std::printf("  wall time of rewrite()   %7lld ms\n", static_cast<long long>(rewriteMs));
        std::printf("  fixed waits              %7d ms (3000 + 32 x 350 + 5000)\n", fixedWaitsMs);
        std::printf("  overhead                 %7lld ms (%.2f %%)\n",
                    static_cast<long long>(overheadMs), 100.0 * overheadMs / fixedWaitsMs);
        std::printf("  longest stall of the 100 ms log poll beyond its period: %lld ms "
                    "(%d polls)\n",
                    static_cast<long long>(longestStallMs), labelUpdates);
    }
    session.close();
    viClose(rm);
    bench.stop();
    return written ? 0 : 1;
}
