// The output-voltage verification against a simulated module and the bench multimeter on its
// serial line, with real (not accelerated) time: the wall time of the whole procedure against
// the sum of the pauses and waits it is meant to spend, which is every pause plus the 1000 ms
// of silence that ends each multimeter reply. It takes close to two minutes. Run inside a
// private network namespace:
//   scripts/in-netns build/bench/checkvdcbench
#include "modulesession.h"
#include "rangeverification.h"
#include "scenariofailure.h"
#include "simbench.h"
#include "timefacility.h"

#include <visa.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {
const char *host = "127.0.0.2";
const char *resource = "TCPIP0::127.0.0.2::inst0::INSTR";
// Each reply ends after a quiet second on the line.
constexpr int replyQuietMs = 1000;
constexpr int firstReplyTimeoutMs = 10000;
// The meter's settling second, the preamble, eleven points of 5 s, three readings with their
// 100 ms and a second between points, the final reset and the identity.
constexpr int expectedMs =
    1000 + replyQuietMs + 3 * 100 + 11 * (100 + 5000 + 3 * (replyQuietMs + 100) + 1000) + 100 + 100;
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
    ModuleSession session;
    if (session.open(rm, resource, 1000) != VI_SUCCESS)
        return 1;

    TimeFacility &time = TimeFacility::instance();
    time.setSpeedup(1.0);
    time.clearRequests();
    QElapsedTimer wall;
    wall.start();
    const ScenarioFailure failure =
        RangeVerification::checkVdc(session, dir.filePath(QStringLiteral("vdc.html")));
    const qint64 wallMs = wall.elapsed();

    qint64 pausedMs = 0;
    for (int ms : time.requested(TimeFacility::Kind::Pause))
        pausedMs += ms;
    int readings = 0;
    for (int ms : time.requested(TimeFacility::Kind::Timeout))
        readings += ms == firstReplyTimeoutMs ? 1 : 0;
    const qint64 prescribedMs = pausedMs + qint64(readings) * replyQuietMs;
    const qint64 overheadMs = wallMs - prescribedMs;

    std::printf("check_vdc with real time: %s\n",
                failure == ScenarioFailure::None ? "protocol written" : "FAILED");
    std::printf("  wall time                %7lld ms\n", static_cast<long long>(wallMs));
    std::printf("  pauses                   %7lld ms\n", static_cast<long long>(pausedMs));
    std::printf("  reply quiet time         %7d ms (%d readings x %d ms)\n",
                readings * replyQuietMs, readings, replyQuietMs);
    std::printf("  prescribed               %7lld ms (expected %d ms)\n",
                static_cast<long long>(prescribedMs), expectedMs);
    std::printf("  overhead                 %7lld ms (%.2f %%)\n",
                static_cast<long long>(overheadMs), 100.0 * overheadMs / prescribedMs);
    session.close();
    viClose(rm);
    bench.stop();
    return failure == ScenarioFailure::None && prescribedMs == expectedMs ? 0 : 1;
}
