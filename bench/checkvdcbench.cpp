// The output-voltage verification against a simulated module and the bench multimeter on its
// serial line, with real (not accelerated) time, run twice: with a meter that answers every
// reading, and with one that stays silent for three readings in a row. Each run prints the wall
// time against the sum of the pauses and waits the procedure is meant to spend (every pause, the
// 1000 ms of silence that ends each reply, and the full 10 s first-data wait of a silent
// reading), and how well the event loop kept going meanwhile: the procedure runs on the module's
// I/O thread as it does from the debug window, a 10 ms timer ticks on the main thread, and the
// longest gap between its ticks and the number of gaps over 50 ms are what a
// window would feel. The two runs take about four minutes. Run inside a private network
// namespace:
//   scripts/in-netns build/bench/checkvdcbench
#include "modulesession.h"
#include "modulethread.h"
#include "rangeverification.h"
#include "scenariofailure.h"
#include "simbench.h"
#include "simserialmultimeter.h"
#include "timefacility.h"

#include <visa.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QVector>

#include <cstdio>

namespace {
const char *host = "127.0.0.2";
const char *resource = "TCPIP0::127.0.0.2::inst0::INSTR";
// Each reply ends after a quiet second on the line; a silent meter costs the whole first wait.
constexpr int replyQuietMs = 1000;
constexpr int firstReplyTimeoutMs = 10000;
// The meter's settling second, the preamble, eleven points of 5 s, three readings with their
// 100 ms and a second between points, the final reset and the identity.
constexpr int expectedMs =
    1000 + replyQuietMs + 3 * 100 + 11 * (100 + 5000 + 3 * (replyQuietMs + 100) + 1000) + 100 + 100;
// The silent run: the meter answers this many replies, then withholds the next three.
constexpr int repliesBeforeSilence = 10;
constexpr int silentReadings = 3;
constexpr int tickMs = 10;
constexpr int longGapMs = 50;

struct Run
{
    bool protocolWritten = false;
    qint64 wallMs = 0;
    qint64 prescribedMs = 0;
    int readings = 0;
    qint64 longestGapMs = 0;
    int longGaps = 0;
    int ticks = 0;
    QVector<qint64> longGapEnds; // ms since the start, for finding what held the loop
};

Run checkVdcOnce(ModuleThread &module, const QString &protocol, int silent)
{
    TimeFacility &time = TimeFacility::instance();
    time.clearRequests();

    Run run;
    QElapsedTimer wall;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.restart();
        run.longestGapMs = qMax(run.longestGapMs, gap);
        if (gap > longGapMs) {
            ++run.longGaps;
            run.longGapEnds.append(wall.elapsed());
        }
        ++run.ticks;
    });
    wall.start();
    sinceTick.start();
    ticker.start(tickMs);
    QEventLoop running;
    module.run(
        &ticker,
        [protocol](ModuleSession &session) {
            return RangeVerification::checkVdc(session, protocol) == ScenarioFailure::None;
        },
        [&](bool written) {
            run.protocolWritten = written;
            running.quit();
        });
    running.exec();
    ticker.stop();
    run.wallMs = wall.elapsed();

    qint64 pausedMs = 0;
    for (int ms : time.requested(TimeFacility::Kind::Pause))
        pausedMs += ms;
    for (int ms : time.requested(TimeFacility::Kind::Timeout))
        run.readings += ms == firstReplyTimeoutMs ? 1 : 0;
    run.prescribedMs = pausedMs + qint64(run.readings - silent) * replyQuietMs +
                       qint64(silent) * firstReplyTimeoutMs;
    return run;
}

void print(const char *title, const Run &run)
{
    const qint64 overheadMs = run.wallMs - run.prescribedMs;
    std::printf("check_vdc with real time, %s: %s\n", title,
                run.protocolWritten ? "protocol written" : "FAILED");
    std::printf("  wall time                %7lld ms\n", static_cast<long long>(run.wallMs));
    std::printf("  prescribed waits         %7lld ms (%d readings)\n",
                static_cast<long long>(run.prescribedMs), run.readings);
    std::printf("  overhead                 %7lld ms (%.2f %%)\n",
                static_cast<long long>(overheadMs), 100.0 * overheadMs / run.prescribedMs);
    std::printf("  %d ms timer              %7d ticks, longest gap %lld ms, %d gaps over %d ms\n",
                tickMs, run.ticks, static_cast<long long>(run.longestGapMs), run.longGaps,
                longGapMs);
    for (qint64 end : run.longGapEnds)
        std::printf("    a long gap ended %lld ms into the run\n", static_cast<long long>(end));
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SimBench bench;
    QString error;
    if (!bench.addRvka5630(QString::fromLatin1(host), &error) ||
        !bench.addMultimeter(QString::fromLatin1(host), &error)) {
        std::fprintf(stderr,
                     "cannot start the simulated bench: %s\n(run inside scripts/in-netns)\n",
                     qPrintable(error));
        return 1;
    }
    qputenv("VOLTADESK_SERIAL_PORTS", bench.serialPortList().toUtf8());
    QTemporaryDir dir;

    ViSession rm = VI_NULL;
    if (viOpenDefaultRM(&rm) != VI_SUCCESS)
        return 1;
    ModuleThread module;
    ModuleSession &session = module.session();
    if (session.open(rm, resource, 1000) != VI_SUCCESS)
        return 1;
    TimeFacility::instance().setSpeedup(1.0);

    const Run normal = checkVdcOnce(module, dir.filePath(QStringLiteral("vdc.html")), 0);
    print("meter answering", normal);
    bench.multimeter()->setSilentReplies(repliesBeforeSilence, silentReadings);
    const Run silent =
        checkVdcOnce(module, dir.filePath(QStringLiteral("vdc-silent.html")), silentReadings);
    print("meter silent for three readings", silent);

    session.close();
    viClose(rm);
    bench.stop();
    // The silent readings make their points "не норма", but the protocol is still written.
    const bool ok =
        normal.protocolWritten && normal.prescribedMs == expectedMs && silent.protocolWritten;
    return ok ? 0 : 1;
}
