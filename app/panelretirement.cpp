#include "panelretirement.h"

#include "timefacility.h"

#include <QApplication>
#include <QWidget>

namespace {
// How often a waiting retirement looks again; short next to any operator action.
constexpr int checkIntervalMs = 10;
} // namespace

PanelRetirement::PanelRetirement(QObject *parent) : QObject(parent)
{
    check.setInterval(checkIntervalMs);
    connect(&check, &QTimer::timeout, this, &PanelRetirement::deleteWhenSafe);
}

PanelRetirement::~PanelRetirement()
{
    deleteAll();
}

bool PanelRetirement::insideNestedLoop()
{
    return TimeFacility::instance().pausing() || QApplication::activeModalWidget() != nullptr;
}

void PanelRetirement::retire(QWidget *panel)
{
    panel->hide();
    panels.append(panel);
    check.start();
}

void PanelRetirement::deleteWhenSafe()
{
    if (insideNestedLoop())
        return;
    check.stop();
    // Issued from the main event loop: carried out as soon as control is back there.
    for (const QPointer<QWidget> &panel : qAsConst(panels))
        if (panel)
            panel->deleteLater();
    panels.clear();
}

void PanelRetirement::deleteAll()
{
    check.stop();
    for (const QPointer<QWidget> &panel : qAsConst(panels))
        delete panel.data();
    panels.clear();
}

int PanelRetirement::pending() const
{
    int count = 0;
    for (const QPointer<QWidget> &panel : panels)
        if (panel)
            ++count;
    return count;
}
