// A tour of the program's windows on the simulated bench, saving each as a PNG for the README:
// the main window with the instruments found, the module panel, its live chart, the debug
// window, its command console, the I/O monitor and a finished verification protocol rendered to
// an image. scripts/screenshots.sh
// runs it under Xvfb with the demo's bench; it is not a test. With VOLTADESK_LANG=en it saves the
// main window and the panel in English only, as main-window-en.png and panel-en.png.
//   screenshottour OUTPUT-DIR
#include "commandconsole.h"
#include "dialoganswerer.h"
#include "ioexchangemodel.h"
#include "iomonitor.h"
#include "language.h"
#include "librarypaths.h"
#include "readingchart.h"
#include "rvka5630debug.h"
#include "rvka5630panel.h"
#include "timefacility.h"
#include "toplevelwindow.h"
#include "widget.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QtCharts/QChartView>
#include <QtTest>

#include <cstdio>

namespace {
QString outputDir;
// Added to each picture's name: "-en" for the English texts.
QString suffix;

bool save(QWidget *window, const char *name)
{
    QApplication::processEvents();
    const QString path = outputDir + QLatin1Char('/') +
                         QString::fromLatin1(name).replace(QLatin1String(".png"), suffix + ".png");
    const bool saved = window && window->grab().save(path);
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "saved" : "could not save",
                 qPrintable(path));
    return saved;
}

template <class T> T *find(QWidget *within, const char *name)
{
    T *found = within ? within->findChild<T *>(QLatin1String(name)) : nullptr;
    if (!found)
        std::fprintf(stderr, "screenshottour: no %s\n", name);
    return found;
}

// The protocol as a browser would lay it out, on a white page of the given width.
bool renderProtocol(const QString &html, const char *name)
{
    QFile file(html);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QTextDocument document;
    document.setHtml(QString::fromUtf8(file.readAll()));
    document.setTextWidth(900);
    QImage page(QSize(900, int(document.size().height()) + 1), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    document.drawContents(&painter);
    painter.end();
    const QString path = outputDir + QLatin1Char('/') + QLatin1String(name);
    const bool saved = page.save(path);
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "saved" : "could not save",
                 qPrintable(path));
    return saved;
}

void setParameters(QWidget *panel, double volts, double amperes)
{
    find<QDoubleSpinBox>(panel, "dsbVolt")->setValue(volts);
    find<QDoubleSpinBox>(panel, "dsbCurr")->setValue(amperes);
    find<QPushButton>(panel, "setupParametersButton")->click();
}
} // namespace

int main(int argc, char **argv)
{
    LibraryPaths::apply();
    QApplication app(argc, argv);
    Language::install(app);
    const bool englishOnly = qEnvironmentVariable("VOLTADESK_LANG") == QLatin1String("en");
    if (englishOnly)
        suffix = QStringLiteral("-en");
    if (argc < 2) {
        std::fprintf(stderr, "usage: screenshottour OUTPUT-DIR\n");
        return 2;
    }
    outputDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outputDir);
    // Any box the tour meets is closed; the tour says nothing to the program otherwise.
    DialogAnswerer boxes;
    // The console's history starts empty and leaves the user's settings alone.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());

    Widget main;
    main.resize(1100, 760);
    main.show();
    QTest::qWait(500);
    find<QPushButton>(&main, "refreshInstrumentsListButton")->click();
    auto *table = find<QTableWidget>(&main, "devicesTable");
    if (!table || !QTest::qWaitFor([table] { return table->rowCount() > 0; }, 20000)) {
        std::fprintf(stderr, "screenshottour: no instruments found\n");
        return 1;
    }
    table->selectRow(0);
    emit table->cellClicked(0, 0);
    bool ok = save(&main, "main-window.png");

    find<QPushButton>(&main, "connectButton")->click();
    Rvka5630panel *panel = nullptr;
    const bool opened = QTest::qWaitFor(
        [&main, &panel] {
            panel = main.findChild<Rvka5630panel *>();
            return panel && panel->isVisible();
        },
        10000);
    if (!opened) {
        std::fprintf(stderr, "screenshottour: the panel did not open\n");
        return 1;
    }
    setParameters(panel, 12.0, 2.0);
    find<QPushButton>(panel, "outpButton")->click();
    find<QPushButton>(panel, "chartButton")->click();
    // A few steps of set-point, so that the chart has something to show.
    for (double volts : {18.0, 24.0, 15.0, 30.0, 21.0}) {
        QTest::qWait(9000);
        setParameters(panel, volts, 2.0);
    }
    QTest::qWait(9000);
    ok = save(&main, "panel.png") && ok;
    if (englishOnly)
        return ok ? 0 : 1;
    auto *chart = panel->findChild<ReadingChart *>();
    if (chart) {
        chart->resize(1000, 560);
        QTest::qWait(2500);
        // The minute so far, zoomed into as the operator would, with the values under the
        // cursor.
        find<QPushButton>(chart, "pauseButton")->click();
        auto *view = find<QtCharts::QChartView>(chart, "chartView");
        const QRectF plot = view->chart()->plotArea();
        view->chart()->zoomIn(QRectF(plot.right() - plot.width() * 0.12, plot.top(),
                                     plot.width() * 0.12, plot.height()));
        QTest::mouseMove(view->viewport(),
                         view->mapFromScene(view->chart()->mapToScene(
                             QPointF(plot.left() + plot.width() * 0.6, plot.center().y()))));
        QTest::qWait(500);
    }
    ok = save(chart, "chart.png") && ok;
    if (chart)
        chart->close();

    // One verification on the bench, its waits shortened, so that the monitor shows the
    // serial instruments too and the protocol can be shown.
    find<QPushButton>(panel, "debugShowButton")->click();
    Rvka5630Debug *debug = topLevelWindow<Rvka5630Debug>();
    QTemporaryDir scratch;
    const QString protocol = scratch.filePath(QStringLiteral("protocol.html"));
    find<QLineEdit>(debug, "leVdc")->setText(protocol);
    find<QCheckBox>(debug, "cbVdc")->setChecked(true);
    QTest::qWait(500);
    ok = save(debug, "debug-window.png") && ok;

    // A few lines in the console: a query, a command with the error queue read after it, two
    // queries in one line, a block reply, and a command the module does not know.
    find<QPushButton>(debug, "consoleButton")->click();
    auto *console = debug ? debug->findChild<CommandConsole *>() : nullptr;
    if (console) {
        console->resize(980, 420);
        console->show();
        auto *input = find<QLineEdit>(console, "consoleInput");
        const auto type = [input](const char *line, bool readErrors) {
            find<QCheckBox>(input->window(), "errorQueueCheck")->setChecked(readErrors);
            input->setText(QString::fromLatin1(line));
            QTest::keyClick(input, Qt::Key_Return);
            QTest::qWait(300);
        };
        type("*IDN?", false);
        type("*CLS", false); // what the panel's steps left in the error queue
        type("VOLT 5", true);
        type("MEAS:VOLT?;:MEAS:CURR?", false);
        type("MEAS:SELFTEST?", false);
        type("SYST:BOGUS 1", true);
        input->setText(QStringLiteral("CONF:FWV?"));
        QTest::qWait(500);
    }
    ok = save(console, "console.png") && ok;
    if (console)
        console->close();
    find<QPushButton>(debug, "ioMonitorButton")->click();
    // The click only starts the run: its waits stay short until it has come back.
    TimeFacility::instance().setSpeedup(200);
    find<QPushButton>(debug, "runScriptsButton")->click();
    QTest::qWait(500);
    for (int waited = 0; debug && !debug->isEnabled() && waited < 120000; waited += 100)
        QTest::qWait(100);
    TimeFacility::instance().setSpeedup(1);
    auto *monitor = topLevelWindow<IoMonitor>();
    if (monitor) {
        monitor->resize(1100, 560);
        QTest::qWait(500);
        // Stopped where the verification talked to the multimeter and the load.
        find<QPushButton>(monitor, "pauseButton")->click();
        auto *table = find<QTableView>(monitor, "exchangeTable");
        QAbstractItemModel *rows = table->model();
        for (int row = rows->rowCount() - 1; row >= 0; --row) {
            const QModelIndex instrument = rows->index(row, IoExchangeModel::Instrument);
            if (!instrument.data().toString().startsWith(QLatin1String("TCPIP"))) {
                table->scrollTo(instrument, QAbstractItemView::PositionAtCenter);
                break;
            }
        }
    }
    QTest::qWait(500);
    ok = save(monitor, "io-monitor.png") && ok;
    ok = renderProtocol(protocol, "protocol.png") && ok;
    for (const DialogAnswerer::Shown &box : boxes.shown())
        std::fprintf(stderr, "screenshottour: closed \"%s\": %s\n", qPrintable(box.title),
                     qPrintable(box.text.left(120)));
    return ok ? 0 : 1;
}
