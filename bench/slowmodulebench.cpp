// How long the window is held while the module panel works with a slow module: every reply of
// the simulated module delayed by 0, 20, 50 and 150 ms, and a module that stops answering.
// Each row connects, polls for 10 s, sets the parameters, switches the output on and off,
// opens the module information, runs the self-test and saves its report, and disconnects,
// while a 10 ms timer on the GUI thread measures every gap of its event loop. Printed per row:
// the longest gap, the share of the time spent in gaps over 50 ms and the read-outs per second
// while polling. Run inside a private network namespace:
//   scripts/in-netns build/bench/slowmodulebench [poll-seconds]
#include "dialoganswerer.h"
#include "panelrig.h"
#include "rvka5630model.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int tickMs = 10;
constexpr qint64 frozenMs = 50;

// Every gap of this thread's event loop, from construction on.
class GapProbe
{
public:
    GapProbe()
    {
        timer.setInterval(tickMs);
        QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
        timer.start();
        sinceTick.start();
        total.start();
    }

    void tick()
    {
        const qint64 gap = sinceTick.restart();
        longest = std::max(longest, gap);
        if (gap > frozenMs)
            frozen += gap;
    }

    // Both count the time since the last tick too: a call that is still blocking, or one that
    // has just returned, is a gap as well.
    qint64 longestMs() const { return std::max(longest, sinceTick.elapsed()); }
    double frozenShare() const
    {
        const qint64 pending = sinceTick.elapsed() > frozenMs ? sinceTick.elapsed() : 0;
        return total.elapsed() ? double(frozen + pending) / total.elapsed() : 0;
    }

private:
    QTimer timer;
    QElapsedTimer sinceTick, total;
    qint64 longest = 0;
    qint64 frozen = 0;
};

// Processes events for ms of real time, or until done() holds.
void step(const char *what)
{
    if (qEnvironmentVariableIsSet("SLOWMODULEBENCH_TRACE"))
        std::fprintf(stderr, "  %s\n", what);
}

void spin(
    qint64 ms, const std::function<bool()> &done = [] { return false; })
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && !done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, tickMs);
}

struct Row
{
    const char *name;
    int delayMs;
    bool stopsAnswering;
};

void runRow(PanelRig &rig, const Row &row, int pollSeconds, const QString &reportPath)
{
    step("rig.reset();");
    rig.reset();
    rig.module->setReplyDelayMs(row.delayMs);
    rig.module->transcript().clear();

    GapProbe startGaps;
    QElapsedTimer clock;
    clock.start();
    step("Rvka5630panel *panel = rig.open");
    Rvka5630panel *panel = rig.open(PanelRig::moduleAddress);
    spin(50);
    const qint64 startMs = clock.elapsed();
    const qint64 startGap = startGaps.longestMs();

    GapProbe pollGaps;
    const int queriesBefore = rig.module->transcript().startingWith("MEAS:VOLT?").size();
    clock.restart();
    if (row.stopsAnswering) {
        spin(2000);
        rig.module->setMute(true);
        spin(30000, [&] { return rig.disconnectRequested(); });
        std::printf("%-22s start %5lld ms (longest gap %5lld ms) | polling: longest gap %5lld ms, "
                    "%4.0f %% frozen | closed %s after %lld ms\n",
                    row.name, startMs, startGap, pollGaps.longestMs(),
                    100.0 * pollGaps.frozenShare(), rig.disconnectRequested() ? "yes" : "NO",
                    clock.elapsed() - 2000);
        rig.module->setMute(false);
        rig.close();
        return;
    }
    step("spin(pollSeconds * 1000);");
    spin(pollSeconds * 1000);
    const int readOuts = rig.module->transcript().startingWith("MEAS:VOLT?").size() - queriesBefore;
    const double perSecond = readOuts * 1000.0 / clock.elapsed();
    const qint64 pollGap = pollGaps.longestMs();
    const double pollFrozen = pollGaps.frozenShare();

    GapProbe actionGaps;
    DialogAnswerer answerer;
    step("rig.widget<QPushButton>(\"setupParameter");
    rig.widget<QPushButton>("setupParametersButton")->click();
    spin(100);
    rig.widget<QPushButton>("outpButton")->click();
    spin(100);
    rig.widget<QPushButton>("outpButton")->click();
    spin(100);
    answerer.press(QStringLiteral("OK"));
    step("rig.widget<QPushButton>(\"aboutButton\")");
    rig.widget<QPushButton>("aboutButton")->click();
    answerer.waitUntilAnswered();
    step("answerer.press(QStringLiteral(\"Выполнит");
    answerer.press(QStringLiteral("Выполнить"));
    rig.widget<QPushButton>("selfTestButton")->click();
    answerer.waitUntilAnswered();
    // The test itself takes 12 s on the module.
    spin(30000, [&] { return panel->isEnabled() && !panel->moduleThread().busy(); });
    step("answerer.press(QStringLiteral(\"Сохранит");
    answerer.press(QStringLiteral("Сохранить результат")).choosePath(reportPath);
    rig.widget<QPushButton>("selfTestButton")->click();
    answerer.waitUntilAnswered();
    spin(30000, [&] { return !panel->moduleThread().busy(); });
    clock.restart();
    step("rig.widget<QPushButton>(\"disconnectButt");
    rig.widget<QPushButton>("disconnectButton")->click();
    rig.close();
    const qint64 disconnectMs = clock.elapsed();
    std::printf("%-22s start %5lld ms (longest gap %5lld ms) | polling: longest gap %5lld ms, "
                "%4.0f %% frozen, %4.1f read-outs/s | actions: longest gap %5lld ms | "
                "disconnect %lld ms%s\n",
                row.name, startMs, startGap, pollGap, 100.0 * pollFrozen, perSecond,
                actionGaps.longestMs(), disconnectMs,
                rig.disconnectRequests > 1 ? " (the panel asked to close on its own)" : "");
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VDVISA_BROADCAST", "0");
    if (qEnvironmentVariableIsEmpty("VXIPNPPATH"))
        qputenv("VXIPNPPATH", VOLTADESK_VXIPNP_DIR);
    QApplication application(argc, argv);
    const int pollSeconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    QTemporaryDir dir;
    PanelRig rig;
    if (!rig.ready()) {
        std::fprintf(stderr, "slowmodulebench: the simulated module did not start\n");
        return 1;
    }
    const Row rows[] = {
        {"reply 0 ms", 0, false},     {"reply 20 ms", 20, false},   {"reply 50 ms", 50, false},
        {"reply 150 ms", 150, false}, {"stops answering", 0, true},
    };
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("module panel against a slow module (gaps of a %d ms timer on the GUI thread; "
                "frozen = time in gaps over %lld ms)\n",
                tickMs, frozenMs);
    for (const Row &row : rows)
        runRow(rig, row, pollSeconds,
               dir.filePath(QString::fromLatin1(row.name).replace(' ', '-') + ".html"));
    return 0;
}
