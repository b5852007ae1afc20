#include "panelrig.h"

#include "modulework.h"

#include "rvka5630model.h"
#include "rvka5630panel.h"
#include "simbench.h"

#include <vdvisa_testing.h>

#include <QCoreApplication>

const QString PanelRig::moduleAddress = QStringLiteral("127.0.0.2");
const QString PanelRig::scriptedAddress = QStringLiteral("127.0.0.3");
const QString PanelRig::absentAddress = QStringLiteral("127.0.0.9");

PanelRig::PanelRig()
{
    module = lan.addRvka5630(moduleAddress);
    model = lan.rvka5630(moduleAddress);
    scripted = lan.addScripted(scriptedAddress, &script);
    lan.publish({absentAddress});
    if (viOpenDefaultRM(&resourceManager) != VI_SUCCESS)
        resourceManager = VI_NULL;
    scriptDefaults();
    host.addWidget(&listPage);
    host.resize(800, 640);
    host.show();
}

PanelRig::~PanelRig()
{
    close();
    host.removeWidget(&listPage);
    if (resourceManager != VI_NULL)
        viClose(resourceManager);
}

QString PanelRig::resource(const QString &address)
{
    return SimBench::resourceName(address);
}

Rvka5630panel *PanelRig::open(const QString &address, bool current)
{
    close();
    panel = new Rvka5630panel(resource(address), &host);
    host.addWidget(panel);
    disconnectRequests = 0;
    QObject::connect(panel, &Rvka5630panel::disconnectDevice, panel,
                     [this] { ++disconnectRequests; });
    panel->start(resourceManager);
    host.setCurrentIndex(current ? 1 : 0);
    settle();
    return panel;
}

bool PanelRig::settle() const
{
    return !panel || waitForModuleWork(&panel->moduleThread());
}

void PanelRig::close()
{
    host.setCurrentIndex(0);
    delete panel;
    panel = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void PanelRig::reset()
{
    close();
    vdvisaClearInjections();
    for (SimModule *served : {module, scripted}) {
        served->clearFaults();
        served->transcript().clear();
    }
    model->execute("*RST\n");
    model->execute("*CLS\n");
    model->injectFault(0);
    model->setSelfTestStatus(0);
    model->setExternalLoad(ExternalLoad());
    script->reset();
    scriptDefaults();
}

void PanelRig::scriptDefaults()
{
    const QPair<const char *, const char *> replies[] = {
        {"VOLT? MIN\n", "0\n"},
        {"VOLT? MAX\n", "80\n"},
        {"CURR? MIN\n", "0\n"},
        {"CURR? MAX\n", "12.5\n"},
        {"VOLT:PROT? MIN\n", "1\n"},
        {"VOLT:PROT? MAX\n", "88\n"},
        {"VOLT?\n", "0\n"},
        {"CURR?\n", "1\n"},
        {"VOLT:PROT?\n", "88\n"},
        {"OUTP?\n", "0\n"},
        {"TRIG:CONF:SOUR?\n", "IMM\n"},
        {"TRIG:CONF:ERR?\n", "0\n"},
        {"OVPOWER?\n", "0\n"},
        {"MEAS:VOLT?\n", "0.0012\n"},
        {"MEAS:CURR?\n", "0.0003\n"},
        {"OUTP? STATE\n", "0\n"},
        {"MEAS:TEMP?\n", "25.0\n"},
        {"OUTP:PROT?\n", "0\n"},
        // The debug window's read-back and poll.
        {"PIN:ADGCTR?\n", "0\n"},
        {"PIN:OUTRELE?\n", "0\n"},
        {"PIN:ULPISTP?\n", "0\n"},
        {"CODE:IBALDACONE?\n", "0\n"},
        {"CODE:PWMVALUE?\n", "0\n"},
        {"CODE:PWMP?\n", "0\n"},
        {"CODE:PWMI?\n", "0\n"},
        {"CODE:PWMD?\n", "0\n"},
        {"PIN:OVVOUT?\n", "0\n"},
        {"PIN:CVCTR?\n", "0\n"},
        {"PIN:CCCTR?\n", "0\n"},
        {"PIN:TTFOVC?\n", "0\n"},
        {"PIN:OCP?\n", "0\n"},
        {"CODE:VDROP?\n", "0\n"},
        {"CODE:IBAL?\n", "0\n"},
        {"CODE:FBVDROP?\n", "0\n"},
        {"CODE:FBVNS?\n", "0\n"},
        {"OUTP:PROT:IGNORE?\n", "0\n"},
    };
    for (const auto &reply : replies)
        script->setReply(reply.first, reply.second);
}
