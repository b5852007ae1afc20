// Discovery of simulated modules through the main window: the wall time from pressing
// "Обновить" to a filled table with 16 responsive modules, and the longest gap between
// event-loop iterations of the GUI thread while 16 modules and one that never answers are
// questioned; the probe alone for comparison. Run inside a private network namespace:
//   scripts/in-netns build/bench/discoverybench [rounds]
#include "defaultresourcemanager.h"
#include "findlisthandle.h"
#include "instrumentprobe.h"
#include "simbench.h"
#include "widget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int moduleCount = 16;
const char *const silentAddress = "127.0.0.60";

void publish(const SimBench &bench, bool withSilent)
{
    QString resources = bench.resourceList();
    if (!withSilent) {
        QStringList names = resources.split(';');
        names.removeAll(SimBench::resourceName(silentAddress));
        resources = names.join(';');
    }
    qputenv("VDVISA_RESOURCES", resources.toLatin1());
}

// Presses refresh and returns the wall time until the slot has filled the table.
double refreshMs(Widget &window)
{
    auto *refresh = window.findChild<QPushButton *>("refreshInstrumentsListButton");
    QElapsedTimer elapsed;
    elapsed.start();
    refresh->click();
    return elapsed.nsecsElapsed() / 1e6;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VDVISA_BROADCAST", "0");
    QApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;

    SimBench bench;
    for (int i = 0; i < moduleCount; ++i) {
        QString error;
        const QString address = QStringLiteral("127.0.0.%1").arg(40 + i);
        if (!bench.addRvka5630(address, &error)) {
            std::fprintf(stderr, "discoverybench: %s: %s\n", qPrintable(address),
                         qPrintable(error));
            return 1;
        }
    }
    QString error;
    SimModule *silent = bench.addRvka5630(silentAddress, &error);
    if (!silent) {
        std::fprintf(stderr, "discoverybench: %s\n", qPrintable(error));
        return 1;
    }
    silent->setMute(true);

    Widget window;
    window.show();
    auto *table = window.findChild<QTableWidget *>("devicesTable");

    publish(bench, false);
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        times.push_back(refreshMs(window));
        if (table->rowCount() != moduleCount) {
            std::fprintf(stderr, "discoverybench: %d rows listed\n", table->rowCount());
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("list %d responsive modules: median %.1f ms, min %.1f ms, max %.1f ms "
                "(%d rounds)\n",
                moduleCount, times[times.size() / 2], times.front(), times.back(), rounds);

    // The same search without the window, for the share of the GUI side.
    std::vector<double> probeTimes;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer elapsed;
        elapsed.start();
        InstrumentProbe::run(defaultResourceManager(), std::make_shared<FindListHandle>(),
                             "RVKA5630", "CONF:PLACEID?;ADDRID?;SWITCHID?",
                             "PLACEID: %s; ADDRID: %s; SWITCHID: %s");
        probeTimes.push_back(elapsed.nsecsElapsed() / 1e6);
    }
    std::sort(probeTimes.begin(), probeTimes.end());
    std::printf("probe alone, same thread: median %.1f ms, min %.1f ms\n",
                probeTimes[probeTimes.size() / 2], probeTimes.front());

    publish(bench, true);
    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&]() { longestGap = std::max(longestGap, sinceTick.restart()); });
    ticker.start(1);
    sinceTick.start();
    const double withSilent = refreshMs(window);
    ticker.stop();
    std::printf("%d modules and one that never answers: %.0f ms; longest gap between "
                "event-loop iterations %lld ms (bound 50 ms)\n",
                moduleCount, withSilent, longestGap);
    bench.stop();
    return longestGap < 50 ? 0 : 2;
}
