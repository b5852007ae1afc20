#pragma once

#include "rvka5630panel.h"
#include "simlan.h"

#include <visa.h>

#include <QByteArray>
#include <QStackedWidget>
#include <QString>

class Rvka5630Model;

// A module panel on the simulated LAN, hosted the way the main window hosts it: page 1 of a
// shown stacked widget whose page 0 stands for the instrument list. The LAN serves a simulated
// RVKA5630 module and a scripted instrument that answers every query of the panel with a
// canned reply, for exact values; the resource manager that the rig hands to its panels is
// open.
class PanelRig
{
public:
    static const QString moduleAddress;   // Rvka5630Model
    static const QString scriptedAddress; // ScriptedModel
    static const QString absentAddress;   // listed, nothing serves it

    PanelRig();
    ~PanelRig();
    PanelRig(const PanelRig &) = delete;
    PanelRig &operator=(const PanelRig &) = delete;

    bool ready() const { return module && scripted && resourceManager != VI_NULL; }

    // A new panel on the instrument at address, started as page 1 (then current unless
    // hidden), its requests to be closed counted; returns once its start-up has come back.
    Rvka5630panel *open(const QString &address, bool current = true);
    // Waits until the panel's work handed to the module's thread has come back (a click or
    // start() returns once it is handed over); false when it has not within 10 s.
    bool settle() const;
    // True once the current panel has asked to be closed, while starting or later.
    bool disconnectRequested() const { return disconnectRequests > 0; }
    // Deletes the panel at once and processes the deferred deletions it posted.
    void close();
    // Back to a fresh module, canned replies and empty transcripts, without faults.
    void reset();
    // The canned replies of a plausible idle module; tests overwrite single ones.
    void scriptDefaults();

    static QString resource(const QString &address);

    template <class T> T *widget(const char *name) const
    {
        return panel ? panel->findChild<T *>(QString::fromLatin1(name)) : nullptr;
    }

    SimLan lan;
    SimModule *module = nullptr;
    Rvka5630Model *model = nullptr;
    SimModule *scripted = nullptr;
    ScriptedModel *script = nullptr;
    ViSession resourceManager = VI_NULL;
    QStackedWidget host;
    QWidget listPage;
    Rvka5630panel *panel = nullptr;
    int disconnectRequests = 0;
};
