// The module panel's polling against a simulated module served by a separate process: the GUI
// thread's time per poll (four queries), and the program's CPU use while one shown panel polls
// every 250 ms, without and with its live chart open. Run inside a private network namespace:
//   scripts/in-netns build/bench/panelpollbench [seconds]
#include "readingchart.h"
#include "readinglog.h"
#include "rvka5630panel.h"

#include <visa.h>

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
const char *resource = "TCPIP0::127.0.0.2::inst0::INSTR";

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void report(const char *what, std::vector<double> micros)
{
    if (micros.empty())
        return;
    std::sort(micros.begin(), micros.end());
    double sum = 0;
    for (double m : micros)
        sum += m;
    std::printf("%s: %zu polls, mean %.0f us, median %.0f us, p99 %.0f us, max %.0f us\n", what,
                micros.size(), sum / micros.size(), micros[micros.size() / 2],
                micros[micros.size() * 99 / 100], micros.back());
}

// Times each timer-driven poll: from the timer event to the end of the slots it runs.
class TickTimer : public QObject
{
public:
    explicit TickTimer(QTimer *timer) : timer(timer)
    {
        timer->installEventFilter(this);
        connect(timer, &QTimer::timeout, this, [this] {
            if (clock.isValid())
                ticks.push_back(clock.nsecsElapsed() / 1000.0);
            clock.invalidate();
        });
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == timer && event->type() == QEvent::Timer)
            clock.start();
        return false;
    }
    std::vector<double> ticks;

private:
    QTimer *timer;
    QElapsedTimer clock;
};
} // namespace

int main(int argc, char **argv)
{
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 60;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("VXIPNPPATH"))
        qputenv("VXIPNPPATH", VOLTADESK_VXIPNP_DIR);
    QApplication app(argc, argv);

    QProcess simulator;
    simulator.start(QStringLiteral(VOLTADESK_SIMULATOR), {"--address", "127.0.0.2"});
    if (!simulator.waitForReadyRead(10000) || !simulator.readAll().contains("ready")) {
        std::fprintf(stderr, "panelpollbench: the simulator did not start (run in-netns)\n");
        return 1;
    }

    ViSession rm = VI_NULL;
    if (viOpenDefaultRM(&rm) != VI_SUCCESS)
        return 1;

    int status = 0;
    {
        QStackedWidget host;
        QWidget list;
        host.addWidget(&list);
        auto *panel = new Rvka5630panel(QString::fromLatin1(resource), &host);
        host.addWidget(panel);
        bool disconnectRequested = false;
        QObject::connect(panel, &Rvka5630panel::disconnectDevice,
                         [&disconnectRequested] { disconnectRequested = true; });
        panel->start(rm);
        host.setCurrentWidget(panel);
        host.show();
        QTimer *pollTimer = panel->findChild<QTimer *>(QStringLiteral("pollTimer"));
        if (disconnectRequested || !pollTimer) {
            std::fprintf(stderr, "panelpollbench: the panel did not connect\n");
            return 1;
        }

        // Direct calls, back to back.
        pollTimer->stop();
        std::vector<double> direct;
        for (int i = 0; i < 500; ++i) {
            QElapsedTimer clock;
            clock.start();
            panel->gettableDataUpdate();
            direct.push_back(clock.nsecsElapsed() / 1000.0);
        }
        report("direct gettableDataUpdate", direct);

        // The shown panel polling on its own timer: alone, then with its chart open over a
        // full ten-minute span (the readings before the run are made up, at the poll's rate).
        auto measure = [&](const char *what) {
            TickTimer ticks(pollTimer);
            pollTimer->start(250);
            const double cpuBefore = cpuSeconds();
            QElapsedTimer wall;
            wall.start();
            QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
            app.exec();
            const double cpu = cpuSeconds() - cpuBefore;
            const double elapsed = wall.elapsed() / 1000.0;
            report("timer-driven poll tick", ticks.ticks);
            std::printf("CPU while polling%s: %.3f s in %.1f s = %.2f %% of one core\n", what,
                        cpu, elapsed, 100.0 * cpu / elapsed);
        };
        measure("");
        ReadingLog *log = panel->findChild<ReadingLog *>();
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (qint64 t = now - ReadingChart::visibleSpanMs; t < now; t += 250)
            log->append({t, 5 + (t % 7000) / 1000.0, 1.5, 7.5 + (t % 7000) / 700.0, 31.5});
        panel->findChild<QPushButton *>(QStringLiteral("chartButton"))->click();
        if (!panel->findChild<ReadingChart *>()) {
            std::fprintf(stderr, "panelpollbench: the chart did not open\n");
            return 1;
        }
        measure(" with the chart open");
        if (disconnectRequested) {
            std::fprintf(stderr, "panelpollbench: the panel asked to be closed\n");
            status = 1;
        }
        delete panel;
    }
    viClose(rm);
    simulator.terminate();
    simulator.waitForFinished(5000);
    return status;
}
