// The Windows program seen working under Wine on the simulated bench: the same main window
// and module panel as voltaDesk.exe, driven through their buttons as an operator would.
// It finds the modules, connects to the first, sets 12 V and 2 A, switches the output on and
// waits for the read-back, then prints what the checks look for:
//   library-dir <the registry's Qt directory>      plugin-paths <the search list>
//   found <resources>                                readback <volts> <output state>
//   box <icon> <title>: <text>                       for every message box the program showed
// and exits 0 only when the read-back is 12 V with the output on and no critical box came.
//   winetour [SCREENSHOT.png]
#include "dialoganswerer.h"
#include "language.h"
#include "librarypaths.h"
#include "rvka5630panel.h"
#include "widget.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QDoubleSpinBox>
#include <QTableWidget>
#include <QtTest>

#include <cmath>
#include <cstdio>

namespace {

template <class T> T *find(QWidget *within, const char *name)
{
    T *found = within ? within->findChild<T *>(QLatin1String(name)) : nullptr;
    if (!found)
        std::fprintf(stderr, "winetour: no %s\n", name);
    return found;
}

int finish(const DialogAnswerer &boxes, bool ok)
{
    for (const DialogAnswerer::Shown &box : boxes.shown()) {
        std::printf("box %d %s: %s\n", int(box.icon), qPrintable(box.title),
                    qPrintable(box.text.left(200)));
        if (box.icon == QMessageBox::Critical)
            ok = false;
    }
    std::fflush(stdout);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    LibraryPaths::apply();
    QApplication app(argc, argv);
    Language::install(app);
    std::printf("library-dir %s\n", qPrintable(LibraryPaths::configuredDir()));
    std::printf("plugin-paths %s\n", qPrintable(QCoreApplication::libraryPaths().join(';')));
    std::fflush(stdout);
    DialogAnswerer boxes;

    Widget main;
    main.resize(1100, 760);
    main.show();
    QTest::qWait(500);
    find<QPushButton>(&main, "refreshInstrumentsListButton")->click();
    auto *table = find<QTableWidget>(&main, "devicesTable");
    if (!table || !QTest::qWaitFor([table] { return table->rowCount() > 0; }, 30000)) {
        std::fprintf(stderr, "winetour: no instruments found\n");
        return finish(boxes, false);
    }
    QStringList found;
    for (int row = 0; row < table->rowCount(); ++row)
        for (int column = 0; column < table->columnCount(); ++column)
            if (table->item(row, column) &&
                table->item(row, column)->text().startsWith(QLatin1String("TCPIP")))
                found << table->item(row, column)->text();
    std::printf("found %s\n", qPrintable(found.join(' ')));
    table->selectRow(0);
    emit table->cellClicked(0, 0);

    find<QPushButton>(&main, "connectButton")->click();
    Rvka5630panel *panel = nullptr;
    if (!QTest::qWaitFor(
            [&main, &panel] {
                panel = main.findChild<Rvka5630panel *>();
                return panel && panel->isVisible();
            },
            20000)) {
        std::fprintf(stderr, "winetour: the panel did not open\n");
        return finish(boxes, false);
    }
    find<QDoubleSpinBox>(panel, "dsbVolt")->setValue(12.0);
    find<QDoubleSpinBox>(panel, "dsbCurr")->setValue(2.0);
    find<QPushButton>(panel, "setupParametersButton")->click();
    find<QPushButton>(panel, "outpButton")->click();
    auto *volts = find<QLineEdit>(panel, "dispVolt");
    auto *output = find<QLineEdit>(panel, "dispOutp");
    const bool readBack = volts && output && QTest::qWaitFor(
        [volts] { return std::fabs(volts->text().toDouble() - 12.0) < 0.05; }, 30000);
    std::printf("readback %s %s\n", volts ? qPrintable(volts->text()) : "-",
                output ? qPrintable(output->text()) : "-");
    QTest::qWait(1000);
    if (argc > 1)
        main.grab().save(QString::fromLocal8Bit(argv[1]));
    return finish(boxes, readBack);
}
