// The operator's firmware update of a 128 KiB image through the module panel against a
// simulated module, with real (not accelerated) waits: the wall time from the chosen file to
// the outcome box against the sum of the fixed waits (3 s after the erase, 350 ms per block,
// 5 s after the copy command, 12 s for the restart), and the GUI thread's longest stall
// meanwhile. Run inside a private network namespace:
//   scripts/in-netns build/bench/firmwareupdatebench
#include "rvka5630model.h"
#include "rvka5630panel.h"
#include "simbench.h"
#include "simfirmwareimage.h"

#include <visa.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {
const QString moduleHost = QStringLiteral("127.0.0.2");
constexpr int imageSize = 128 * 1024;
constexpr int fixedWaitsMs = 3000 + imageSize / 4096 * 350 + 5000 + 12000;
constexpr int tickMs = 10;

// Answers the update's dialogs as an operator would, and notes when the work began and ended.
class Operator : public QObject
{
public:
    explicit Operator(const QString &path) : path(path)
    {
        connect(&poll, &QTimer::timeout, this, &Operator::answer);
        poll.start(2);
    }
    QElapsedTimer clock;
    qint64 chosenAt = -1, outcomeAt = -1;
    QString outcome;

private:
    void answer()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *files = qobject_cast<QFileDialog *>(modal)) {
            files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
            static_cast<QDialog *>(files)->accept();
            chosenAt = clock.elapsed();
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (outcomeAt < 0)
                outcomeAt = clock.elapsed();
            outcome += box->text() + QLatin1Char(' ');
            box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
        }
    }
    QString path;
    QTimer poll;
};

// The longest gap between two ticks of a 10 ms timer beyond its period: how long the GUI
// thread did not process events, split by whether the progress dialog was up.
class StallMeter : public QObject
{
public:
    explicit StallMeter(QWidget *panel) : panel(panel)
    {
        connect(&timer, &QTimer::timeout, this, &StallMeter::tick);
        timer.setTimerType(Qt::PreciseTimer);
        timer.start(tickMs);
        sinceTick.start();
    }
    qint64 whileWriting = 0, otherwise = 0;
    int writingTicks = 0;

private:
    void tick()
    {
        const qint64 stall = sinceTick.restart() - tickMs;
        QProgressDialog *progress = panel->findChild<QProgressDialog *>();
        const bool writing = progress && progress->isVisible();
        if (writing && wasWriting) {
            whileWriting = std::max(whileWriting, stall);
            ++writingTicks;
        } else {
            otherwise = std::max(otherwise, stall);
        }
        wasWriting = writing;
    }
    QWidget *panel;
    QTimer timer;
    QElapsedTimer sinceTick;
    bool wasWriting = false;
};
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("VXIPNPPATH"))
        qputenv("VXIPNPPATH", VOLTADESK_VXIPNP_DIR);
    QApplication app(argc, argv);
    SimBench bench;
    QString error;
    if (!bench.addRvka5630(moduleHost, &error)) {
        std::fprintf(stderr,
                     "cannot start the simulated module: %s\n(run inside scripts/in-netns)\n",
                     qPrintable(error));
        return 1;
    }
    bench.rvka5630(moduleHost)->setMainFlash(SimFirmwareImage::generate(65536, 99));
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
    int status = 1;
    {
        QStackedWidget host;
        QWidget list;
        host.addWidget(&list);
        auto *panel = new Rvka5630panel(SimBench::resourceName(moduleHost), &host);
        host.addWidget(panel);
        bool disconnectRequested = false;
        QObject::connect(panel, &Rvka5630panel::disconnectDevice,
                         [&disconnectRequested] { disconnectRequested = true; });
        panel->start(rm);
        host.setCurrentIndex(1);
        host.show();
        if (!disconnectRequested) {
            Operator operatorAnswers(path);
            StallMeter stalls(panel);
            operatorAnswers.clock.start();
            panel->findChild<QPushButton *>(QStringLiteral("swUpdateButton"))->click();

            const qint64 wallMs = operatorAnswers.outcomeAt - operatorAnswers.chosenAt;
            const qint64 overheadMs = wallMs - fixedWaitsMs;
            std::printf("128 KiB firmware update through the panel: %s\n",
                        qPrintable(operatorAnswers.outcome.trimmed()));
            std::printf("  wall time, file chosen to outcome box  %7lld ms\n",
                        static_cast<long long>(wallMs));
            std::printf("  fixed waits                            %7d ms "
                        "(3000 + 32 x 350 + 5000 + 12000)\n",
                        fixedWaitsMs);
            std::printf("  overhead                               %7lld ms (%.2f %%)\n",
                        static_cast<long long>(overheadMs), 100.0 * overheadMs / fixedWaitsMs);
            std::printf("  GUI thread's longest stall while writing       %4lld ms (%d ticks of "
                        "%d ms)\n",
                        static_cast<long long>(stalls.whileWriting), stalls.writingTicks, tickMs);
            std::printf("  GUI thread's longest stall otherwise (file comparisons, reopen) "
                        "%4lld ms\n",
                        static_cast<long long>(stalls.otherwise));
            status = operatorAnswers.outcome.contains(QStringLiteral("успешно")) ? 0 : 1;
        }
        delete panel;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        host.removeWidget(&list);
    }
    viClose(rm);
    bench.stop();
    return status;
}
